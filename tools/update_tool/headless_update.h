#pragma once

#include <chrono>
#include <functional>

#include "platform/event_loop.h"
#include "update/engine/task_message.h"
#include "update/engine/task_queue.h"
#include "update/engine/task_window.h"

namespace update_tool {

// Update without its window: the task queue driven by a message loop on the
// calling thread, with the window's timers (the 100 ms row refresh and the close
// timer) and its closing. The list is whatever view the tool shows.
class HeadlessUpdate : public update::TaskWindow, public update::MessageTarget {
public:
    HeadlessUpdate(update::TaskListView& view, update::ReportLink& link, update::TaskRunner runner,
                   std::chrono::milliseconds closeDelay);
    ~HeadlessUpdate() override;

    update::TaskQueue& queue() { return m_queue; }
    platform::EventLoop& loop() { return m_loop; }

    // Code 3 (connect to the lobby client) is the host's: this is called for it.
    void setStartLink(std::function<void()> startLink) { m_startLink = std::move(startLink); }
    // Called on the loop's thread when closing begins, before the tasks are
    // dropped: the place to stop whatever feeds the queue.
    void setBeforeClose(std::function<void()> beforeClose) {
        m_beforeClose = std::move(beforeClose);
    }

    // Runs until closed; returns the code given to close().
    int run();
    // As closing the window: stops and drops every task, then ends run(). Any thread.
    void close(int exitCode);

    // Window
    bool IsShorterThanGrownSkin() override { return false; }
    void GrowSkinByRow() override {}
    void BringListToFront() override {}
    void StartCloseTimer() override;

    // Message target
    void Post(update::TaskMessage message) override;

private:
    void refreshRows();

    update::TaskListView& m_view;
    std::chrono::milliseconds m_closeDelay;
    std::function<void()> m_startLink;
    std::function<void()> m_beforeClose;
    // Only the latest close timer may close, as restarting a window timer
    // replaces it. Touched on the loop's thread only.
    unsigned m_closeTimerGeneration = 0;
    platform::EventLoop m_loop;
    update::TaskQueue m_queue; // after the loop: its threads post into the loop
};

} // namespace update_tool
