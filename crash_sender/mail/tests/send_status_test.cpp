#include "crash_sender/mail/send_status.h"

#include <thread>

#include <gtest/gtest.h>

namespace crash_mail {
namespace {

TEST(SendStatus, RelativeProgressStopsAt100AndAbsoluteSetsIt) {
    SendStatus status;
    status.PostStatus("a", 60, true);
    status.PostStatus("b", 60, true);
    EXPECT_EQ(status.TakeStatus().progress, 100);
    status.PostStatus("c", 7, false);
    status.PostStatus("d", 0, true);
    EXPECT_EQ(status.TakeStatus().progress, 7);
    status.PostStatus("e", 2'147'483'647, true);
    EXPECT_EQ(status.TakeStatus().progress, 100);
}

TEST(SendStatus, TakeMovesTheLinesOutInOrder) {
    SendStatus status;
    status.PostStatus("first", 0, true);
    status.PostStatus("second", 0, true);
    EXPECT_EQ(status.TakeStatus().lines, (std::vector<std::string>{"first", "second"}));
    EXPECT_TRUE(status.TakeStatus().lines.empty());
}

TEST(SendStatus, CancellationStaysRequested) {
    SendStatus status;
    EXPECT_FALSE(status.cancelRequested());
    status.requestCancel();
    EXPECT_TRUE(status.cancelRequested());
    EXPECT_TRUE(status.cancelRequested());
}

TEST(SendStatus, ResultGoesFromNoneToStartedToFinished) {
    SendStatus status;
    EXPECT_EQ(status.result(), kNoResult);
    status.signalWorkerStarted();
    EXPECT_EQ(status.result(), 0);
    EXPECT_FALSE(status.waitWorkerFinishedFor(std::chrono::milliseconds(1)));
    status.signalWorkerFinished(2);
    EXPECT_TRUE(status.waitWorkerFinishedFor(std::chrono::milliseconds(1)));
    EXPECT_EQ(status.result(), 2);
}

// Lines from several threads all arrive, each thread's in its own order.
TEST(SendStatus, PostsFromManyThreadsAreAllTaken) {
    SendStatus status;
    constexpr int kThreads = 4;
    constexpr int kPosts = 500;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&status, t] {
            for (int i = 0; i < kPosts; ++i) {
                status.PostStatus(std::to_string(t) + ":" + std::to_string(i), 1, true);
            }
        });
    }
    std::vector<std::string> taken;
    while (taken.size() < kThreads * kPosts) {
        auto update = status.TakeStatus();
        taken.insert(taken.end(), update.lines.begin(), update.lines.end());
    }
    for (auto& thread : threads) {
        thread.join();
    }
    std::vector<int> next(kThreads, 0);
    for (const auto& line : taken) {
        const int t = std::stoi(line.substr(0, line.find(':')));
        EXPECT_EQ(std::stoi(line.substr(line.find(':') + 1)), next[static_cast<std::size_t>(t)]++);
    }
    EXPECT_EQ(status.TakeStatus().progress, 100);
}

} // namespace
} // namespace crash_mail
