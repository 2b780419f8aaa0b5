#pragma once

#include <atomic>
#include <functional>
#include <thread>

namespace platform {

// Turns SIGINT and SIGTERM into a call on a thread of its own, so that a program
// can stop its work cleanly instead of dying mid-write. Construct it before any
// other thread starts: the signals are blocked in the constructing thread and in
// every thread started after it.
class TerminationSignals {
public:
    explicit TerminationSignals(std::function<void(int signal)> onSignal);
    ~TerminationSignals();
    TerminationSignals(const TerminationSignals&) = delete;
    TerminationSignals& operator=(const TerminationSignals&) = delete;

private:
    std::atomic<bool> m_stop{false};
    std::thread m_waiter;
};

} // namespace platform
