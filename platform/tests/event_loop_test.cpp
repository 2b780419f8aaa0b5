#include "platform/event_loop.h"

#include <thread>
#include <vector>

#include <gtest/gtest.h>

namespace {

using namespace std::chrono_literals;

TEST(EventLoop, PostedWorkRunsInOrderOnTheLoopThread) {
    platform::EventLoop loop;
    std::vector<int> order;
    const auto loopThread = std::this_thread::get_id();
    bool sameThread = true;
    std::thread poster([&] {
        for (int i = 0; i < 100; ++i) {
            loop.post([&, i] {
                order.push_back(i);
                sameThread = sameThread && std::this_thread::get_id() == loopThread;
            });
        }
        loop.post([&] { loop.quit(7); });
    });
    EXPECT_EQ(loop.run(), 7);
    poster.join();
    ASSERT_EQ(order.size(), 100u);
    for (int i = 0; i < 100; ++i) {
        EXPECT_EQ(order[static_cast<size_t>(i)], i);
    }
    EXPECT_TRUE(sameThread);
}

TEST(EventLoop, DelayedWorkRunsByDeadlineAndNotBefore) {
    platform::EventLoop loop;
    std::vector<std::string> order;
    const auto start = std::chrono::steady_clock::now();
    std::chrono::steady_clock::duration lateRan{};
    loop.postDelayed(120ms, [&] {
        order.push_back("late");
        lateRan = std::chrono::steady_clock::now() - start;
        loop.quit();
    });
    loop.postDelayed(40ms, [&] { order.push_back("early"); });
    loop.post([&] { order.push_back("now"); });
    loop.run();
    EXPECT_EQ(order, (std::vector<std::string>{"now", "early", "late"}));
    EXPECT_GE(lateRan, 120ms);
}

TEST(EventLoop, WorkLeftAtQuitIsDroppedAndTheLoopCanRunAgain) {
    platform::EventLoop loop;
    int ran = 0;
    loop.post([&] { loop.quit(1); });
    loop.post([&] { ++ran; });
    loop.postDelayed(10ms, [&] { ++ran; });
    EXPECT_EQ(loop.run(), 1);
    EXPECT_EQ(ran, 0);
    loop.post([&] {
        ++ran;
        loop.quit(2);
    });
    EXPECT_EQ(loop.run(), 2);
    EXPECT_EQ(ran, 1);
}

} // namespace
