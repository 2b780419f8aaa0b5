#include "event_loop.h"

namespace platform {

void EventLoop::post(Task task) {
    {
        std::lock_guard lock(m_mutex);
        m_ready.push_back(std::move(task));
    }
    m_wake.notify_one();
}

void EventLoop::postDelayed(std::chrono::milliseconds delay, Task task) {
    {
        std::lock_guard lock(m_mutex);
        m_delayed.emplace(Clock::now() + delay, std::move(task));
    }
    m_wake.notify_one();
}

int EventLoop::run() {
    std::unique_lock lock(m_mutex);
    while (!m_quit) {
        // Delayed work whose time has come joins the ready queue in deadline order.
        const auto now = Clock::now();
        while (!m_delayed.empty() && m_delayed.begin()->first <= now) {
            m_ready.push_back(std::move(m_delayed.begin()->second));
            m_delayed.erase(m_delayed.begin());
        }
        if (m_ready.empty()) {
            if (m_delayed.empty()) {
                m_wake.wait(lock);
            } else {
                m_wake.wait_until(lock, m_delayed.begin()->first);
            }
            continue;
        }
        Task task = std::move(m_ready.front());
        m_ready.pop_front();
        lock.unlock();
        task();
        lock.lock();
    }
    m_quit = false;
    m_ready.clear();
    m_delayed.clear();
    return m_exitCode;
}

void EventLoop::quit(int code) {
    {
        std::lock_guard lock(m_mutex);
        m_quit = true;
        m_exitCode = code;
    }
    m_wake.notify_one();
}

} // namespace platform
