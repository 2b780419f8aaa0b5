#include "lobby_session.h"

#include <algorithm>
#include <cstdio>
#include <thread>

#include "sim_records.h"
#include "update/engine/task_record.h"

namespace lobby_sim {
namespace {

// --split cuts a write this many bytes before its end: half a record.
constexpr std::size_t kSplitTail = update::kWireRecordSize / 2;
constexpr std::chrono::milliseconds kSplitPause{100};
// Long enough for Update to fail one connection attempt while nobody listens.
constexpr std::chrono::milliseconds kRestartPause{600};

// Names of garbage records hold control characters; they must not break the line.
void print(std::string line) {
    std::replace_if(
        line.begin(), line.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20; }, '?');
    line += '\n';
    std::fputs(line.c_str(), stdout);
    std::fflush(stdout);
}

} // namespace

LobbySession::LobbySession(const SimOptions& options, int port)
    : m_options(options)
    , m_port(port)
    , m_deadline(Clock::now() + std::chrono::seconds(options.timeoutSeconds))
    , m_random(options.seed) {}

int LobbySession::run() {
    std::string error;
    if (!m_server.listen(m_port, error)) {
        std::fprintf(stderr, "lobby-sim: %s\n", error.c_str());
        return 1;
    }
    print("listening on 127.0.0.1:" + std::to_string(m_port));
    bool completed = ensureConnected();
    for (const Step& step : m_options.steps) {
        if (!completed) {
            break;
        }
        completed = runStep(step);
    }
    if (completed) {
        flushHeld();
        while (!m_outstanding.empty() && !timedOut()) {
            pump(m_deadline);
        }
    }
    if (!m_outstanding.empty() || !completed) {
        std::string rooms;
        for (const auto& record : m_outstanding) {
            rooms += " " + std::to_string(recordRoom(record));
        }
        print("timed out:" + (completed ? std::string() : std::string(" steps unfinished;")) +
              " missing rooms" + (rooms.empty() ? std::string(" (none)") : rooms));
        return 1;
    }
    print("done reports=" + std::to_string(m_reports));
    return m_failed ? 1 : 0;
}

bool LobbySession::runStep(const Step& step) {
    if (step.kind != StepKind::Task) {
        flushHeld();
    }
    switch (step.kind) {
    case StepKind::Task:
        sendTask(step.task);
        return true;
    case StepKind::WaitReports:
        return waitUntil(static_cast<std::size_t>(step.number));
    case StepKind::Sleep: {
        const auto end = Clock::now() + std::chrono::milliseconds(step.number);
        while (Clock::now() < end) {
            pump(end);
        }
        return true;
    }
    case StepKind::Restart:
        return restart();
    case StepKind::Garbage:
        sendGarbage(static_cast<std::size_t>(step.number));
        return true;
    }
    return false;
}

bool LobbySession::ensureConnected() {
    if (m_server.connected()) {
        return true;
    }
    if (!m_server.accept(m_deadline)) {
        return false;
    }
    // A new connection starts on a record boundary.
    m_reportStream.reset();
    print("connected");
    return true;
}

bool LobbySession::restart() {
    drainReports();
    m_server.closeAll();
    print("restarting");
    std::this_thread::sleep_for(kRestartPause);
    std::string error;
    if (!m_server.listen(m_port, error)) {
        std::fprintf(stderr, "lobby-sim: %s\n", error.c_str());
        return false;
    }
    return ensureConnected();
}

bool LobbySession::expect(const std::string& record) {
    const std::int32_t room = recordRoom(record);
    const bool duplicate = std::any_of(m_outstanding.begin(), m_outstanding.end(),
                                       [&](const auto& sent) { return recordRoom(sent) == room; });
    if (!duplicate) {
        m_outstanding.push_back(record);
    }
    return !duplicate;
}

void LobbySession::sendTask(const SimTask& task) {
    // What has been reported decides whether the room is still outstanding.
    drainReports();
    const std::string record = buildRecord(task, m_options.flag, m_options.noNul);
    const bool expected = expect(record);
    print("sent room=" + std::to_string(task.room) + " name=" + recordName(record) +
          (expected ? "" : " duplicate: no report expected"));
    if (!m_options.coalesce) {
        writeOut(record);
    } else if (m_held.empty()) {
        m_held = record;
    } else {
        writeOut(m_held + record);
        m_held.clear();
    }
}

void LobbySession::sendGarbage(std::size_t count) {
    drainReports();
    const std::string bytes = garbageBytes(m_random, count);
    const std::size_t records = count / update::kWireRecordSize;
    for (std::size_t i = 0; i < records; ++i) {
        expect(bytes.substr(i * update::kWireRecordSize, update::kWireRecordSize));
    }
    print("sent garbage bytes=" + std::to_string(count) + " records=" + std::to_string(records));
    writeOut(bytes);
}

void LobbySession::flushHeld() {
    if (!m_held.empty()) {
        writeOut(m_held);
        m_held.clear();
    }
}

void LobbySession::writeOut(const std::string& bytes) {
    if (!ensureConnected()) {
        return;
    }
    bool written;
    if (m_options.split && bytes.size() > kSplitTail) {
        const std::size_t cut = bytes.size() - kSplitTail;
        written = m_server.write(std::string_view(bytes).substr(0, cut));
        std::this_thread::sleep_for(kSplitPause);
        written = written && m_server.write(std::string_view(bytes).substr(cut));
    } else {
        written = m_server.write(bytes);
    }
    if (!written) {
        print("connection closed by Update");
    }
}

void LobbySession::pump(Clock::time_point until) {
    if (!m_server.connected()) {
        if (m_server.accept(until)) {
            m_reportStream.reset();
            print("connected");
        }
        return;
    }
    std::string bytes;
    if (!m_server.readSome(until, bytes)) {
        print("connection closed by Update");
    }
    received(bytes);
}

void LobbySession::drainReports() {
    for (;;) {
        std::string bytes;
        if (!m_server.connected()) {
            return;
        }
        if (!m_server.readSome(Clock::now(), bytes)) {
            print("connection closed by Update");
        }
        if (bytes.empty()) {
            return;
        }
        received(bytes);
    }
}

void LobbySession::received(const std::string& bytes) {
    m_reportStream.append(bytes.data(), bytes.size(), [this](const char* report) {
        onReport(std::string(report, update::kWireRecordSize));
    });
}

void LobbySession::onReport(const std::string& report) {
    ++m_reports;
    const std::int32_t room = recordRoom(report);
    const unsigned flag = static_cast<unsigned char>(report[0]);
    const auto sent = std::find_if(m_outstanding.begin(), m_outstanding.end(),
                                   [&](const auto& record) { return recordRoom(record) == room; });
    std::string verdict = "unexpected";
    if (sent != m_outstanding.end()) {
        verdict = report.compare(1, std::string::npos, *sent, 1) == 0 ? "equal" : "different";
        m_outstanding.erase(sent);
    }
    m_failed = m_failed || verdict != "equal" || flag != 0;
    print("report room=" + std::to_string(room) + " flag=" + std::to_string(flag) + " " + verdict +
          " name=" + recordName(report));
}

bool LobbySession::waitUntil(std::size_t reports) {
    while (m_reports < reports) {
        if (timedOut()) {
            return false;
        }
        pump(m_deadline);
    }
    return true;
}

} // namespace lobby_sim
