#pragma once

#include <random>
#include <string>
#include <vector>

#include "platform/loopback_listener.h"
#include "sim_script.h"
#include "update/engine/record_stream.h"

namespace lobby_sim {

using Clock = platform::LoopbackListener::Clock;

// Carries out the steps of the command line against one Update, checking each
// report against the record it answers, and prints what happens (see --help).
class LobbySession {
public:
    LobbySession(const SimOptions& options, int port);

    // Returns the exit status: 0 when every expected report came equal and
    // nothing unexpected came, otherwise 1.
    int run();

private:
    bool runStep(const Step& step);
    bool ensureConnected();
    bool restart();
    void sendTask(const SimTask& task);
    void sendGarbage(std::size_t count);
    // True when the record is expected to be reported, and then notes it.
    bool expect(const std::string& record);
    void flushHeld();
    void writeOut(const std::string& bytes);
    // Reads and handles reports until one read has happened or `until` passed.
    void pump(Clock::time_point until);
    // Handles the reports that have already arrived.
    void drainReports();
    void received(const std::string& bytes);
    void onReport(const std::string& report);
    bool waitUntil(std::size_t reports);
    bool timedOut() const { return Clock::now() >= m_deadline; }

    const SimOptions& m_options;
    const int m_port;
    const Clock::time_point m_deadline;
    platform::LoopbackListener m_server; // where Update connects
    update::RecordStream m_reportStream;
    std::vector<std::string> m_outstanding; // sent, expected, not yet reported
    std::string m_held;                     // a record waiting for its pair (--coalesce)
    std::size_t m_reports = 0;
    bool m_failed = false;
    std::mt19937 m_random;
};

} // namespace lobby_sim
