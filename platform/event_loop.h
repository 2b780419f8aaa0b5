#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <mutex>

namespace platform {

// A message loop for programs without a window: work posted from any thread runs
// on the thread that called run(), one item at a time, in the order posted;
// delayed work runs once its time has come, in deadline order.
class EventLoop {
public:
    using Task = std::function<void()>;

    void post(Task task);
    void postDelayed(std::chrono::milliseconds delay, Task task);

    // Runs posted work until quit() is called; returns quit's code. Work still
    // queued then is dropped.
    int run();
    void quit(int code = 0);

private:
    using Clock = std::chrono::steady_clock;

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<Task> m_ready;
    std::multimap<Clock::time_point, Task> m_delayed;
    bool m_quit = false;
    int m_exitCode = 0;
};

} // namespace platform
