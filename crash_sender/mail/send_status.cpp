#include "send_status.h"

#include <algorithm>
#include <utility>

namespace crash_mail {
namespace {

constexpr int kFullProgress = 100;

} // namespace

void SendStatus::PostStatus(std::string_view text, int amount, bool relative) {
    const std::lock_guard lock(m_lock);
    m_lines.emplace_back(text);
    if (relative) {
        // Widened so that no amount can overflow the sum.
        const long long sum = static_cast<long long>(m_progress) + amount;
        m_progress = static_cast<int>(std::min<long long>(sum, kFullProgress));
    } else {
        m_progress = amount;
    }
}

StatusUpdate SendStatus::TakeStatus() {
    const std::lock_guard lock(m_lock);
    StatusUpdate update;
    update.lines = std::exchange(m_lines, {});
    update.progress = m_progress;
    return update;
}

int SendStatus::result() const {
    const std::lock_guard lock(m_lock);
    return m_result;
}

void SendStatus::setResult(int result) {
    const std::lock_guard lock(m_lock);
    m_result = result;
}

void SendStatus::requestCancel() {
    m_cancelRequested.store(true);
}

bool SendStatus::cancelRequested() const {
    return m_cancelRequested.load();
}

void SendStatus::signalWorkerStarted() {
    {
        const std::lock_guard lock(m_lock);
        m_result = 0;
        m_workerStarted = true;
    }
    m_workerStateChanged.notify_all();
}

void SendStatus::signalWorkerFinished(int result) {
    {
        const std::lock_guard lock(m_lock);
        m_result = result;
        m_workerFinished = true;
    }
    m_workerStateChanged.notify_all();
}

void SendStatus::waitWorkerStarted() {
    std::unique_lock lock(m_lock);
    m_workerStateChanged.wait(lock, [this] { return m_workerStarted; });
}

void SendStatus::waitWorkerFinished() {
    std::unique_lock lock(m_lock);
    m_workerStateChanged.wait(lock, [this] { return m_workerFinished; });
}

bool SendStatus::waitWorkerFinishedFor(std::chrono::milliseconds timeout) {
    std::unique_lock lock(m_lock);
    return m_workerStateChanged.wait_for(lock, timeout, [this] { return m_workerFinished; });
}

} // namespace crash_mail
