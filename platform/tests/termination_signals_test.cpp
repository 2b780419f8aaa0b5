#include "platform/termination_signals.h"

#include <atomic>
#include <chrono>
#include <csignal>
#include <thread>

#include <gtest/gtest.h>
#include <unistd.h>

namespace {

TEST(TerminationSignals, InterruptAndTerminateReachTheHandlerInsteadOfEndingTheProcess) {
    std::atomic<int> last{0};
    std::atomic<int> count{0};
    {
        platform::TerminationSignals signals([&](int signal) {
            last = signal;
            ++count;
        });
        for (const int signal : {SIGINT, SIGTERM}) {
            const int before = count;
            ::kill(::getpid(), signal);
            for (int i = 0; i < 300 && count == before; ++i) {
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
            EXPECT_EQ(last, signal);
        }
    }
    EXPECT_EQ(count, 2);
}

} // namespace
