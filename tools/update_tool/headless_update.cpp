#include "headless_update.h"

#include "update/engine/process_state.h"

namespace update_tool {
namespace {

constexpr std::chrono::milliseconds kRefreshPeriod{100};

} // namespace

HeadlessUpdate::HeadlessUpdate(update::TaskListView& view, update::ReportLink& link,
                               update::TaskRunner runner, std::chrono::milliseconds closeDelay)
    : m_view(view)
    , m_closeDelay(closeDelay)
    , m_queue(view, *this, link, *this, std::move(runner)) {
    update::setTaskListView(&m_view);
}

HeadlessUpdate::~HeadlessUpdate() {
    update::setTaskListView(nullptr);
}

int HeadlessUpdate::run() {
    m_loop.postDelayed(kRefreshPeriod, [this] { refreshRows(); });
    return m_loop.run();
}

void HeadlessUpdate::refreshRows() {
    m_queue.RefreshRows();
    m_loop.postDelayed(kRefreshPeriod, [this] { refreshRows(); });
}

void HeadlessUpdate::close(int exitCode) {
    m_loop.post([this, exitCode] {
        if (m_beforeClose) {
            m_beforeClose();
        }
        // In this same turn of the loop, so that no scheduler run still queued
        // can start a task that closing drops.
        m_queue.CancelAll();
        m_loop.quit(exitCode);
    });
}

void HeadlessUpdate::StartCloseTimer() {
    const unsigned generation = ++m_closeTimerGeneration;
    m_loop.postDelayed(m_closeDelay, [this, generation] {
        if (generation == m_closeTimerGeneration && m_queue.CloseTimerFired()) {
            close(0);
        }
    });
}

void HeadlessUpdate::Post(update::TaskMessage message) {
    m_loop.post([this, message = std::move(message)] {
        if (!m_queue.OnMyMessage(message) && message.code == update::MyMessageCode::StartLink &&
            m_startLink) {
            m_startLink();
        }
    });
}

} // namespace update_tool
