#include "termination_signals.h"

#include <csignal>
#include <ctime>

#include <pthread.h>

namespace platform {
namespace {

sigset_t terminationSet() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    return set;
}

} // namespace

TerminationSignals::TerminationSignals(std::function<void(int signal)> onSignal) {
    const sigset_t set = terminationSet();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    m_waiter = std::thread([this, set, onSignal = std::move(onSignal)] {
        // A short wait so that the destructor is never kept waiting for a signal.
        const timespec slice{0, 100'000'000};
        while (!m_stop) {
            const int signal = sigtimedwait(&set, nullptr, &slice);
            if (signal > 0) {
                onSignal(signal);
            }
        }
    });
}

TerminationSignals::~TerminationSignals() {
    m_stop = true;
    m_waiter.join();
}

} // namespace platform
