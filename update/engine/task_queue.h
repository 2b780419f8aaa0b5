#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/reentrant_lock.h"
#include "task_message.h"
#include "task_record.h"

namespace update {

class ReportLink;
class TaskListView;
class TaskWindow;

// Runs one task to its end on a thread of its own (the supervisor); it reports
// through the record's owner.
using TaskRunner = std::function<void(const std::shared_ptr<sUpdateStruct>& record)>;

// Update's task list: accepts task records, refuses duplicates, runs one task at
// a time in list order, and when a task ends reports it to the lobby client and
// removes its row. The window (or a headless stand-in) owns one and feeds it the
// messages its MessageTarget delivers.
//
// Locks: acceptance holds the intake lock, message handling the dialog lock, the
// scheduler the scheduling lock, always taken in that order; every walk or change
// of the task list itself holds m_tasksMutex, innermost and briefly.
class TaskQueue {
public:
    TaskQueue(TaskListView& view, TaskWindow& window, ReportLink& link, MessageTarget& target,
              TaskRunner runner);
    // Cancels every task and waits for their threads: a record and this queue stay
    // valid as long as any thread works for them.
    ~TaskQueue();
    TaskQueue(const TaskQueue&) = delete;
    TaskQueue& operator=(const TaskQueue&) = delete;

    // One receive from the lobby link. Anything but exactly one wire record is ignored.
    void OnSocketReceive(const char* data, int length);
    // The second intake: queues and starts a record at once, without duplicate tests.
    void ReadAnonymousPipe(const sUpdateStruct* record, int unused);

    bool IsTaskWaiting(const TaskWireImage& record);
    bool IsTaskRunning(const TaskWireImage& record);
    std::shared_ptr<sUpdateStruct> FindNextWaitingTask();
    // The scheduler: starts the first waiting task when none is running.
    void StartWaitingTasks();

    // Handles TaskEnded, RefreshRow, CancelRow and RunScheduler; returns false for a
    // code that belongs to the window (StartLink).
    bool OnMyMessage(const TaskMessage& message);

    // The window's refresh timer: every row shows its task's state, progress, speed.
    void RefreshRows();

    // Called a second after the last task ended: true when the window should close.
    // A task accepted within that second keeps it open.
    bool CloseTimerFired();

    // Closing: sets the stop flag and cancels and drops every task.
    void CancelAll();

    // The task list as it is now, in row order.
    std::vector<std::shared_ptr<sUpdateStruct>> snapshot();

private:
    std::shared_ptr<sUpdateStruct> acceptRecord(const char* data);
    void refuse(const char* format, const TaskWireImage& record);
    void taskEnded(const std::shared_ptr<sUpdateStruct>& record);
    void cancelRow(int row);
    void refreshRow(const std::shared_ptr<sUpdateStruct>& record);
    void startSupervisor(const std::shared_ptr<sUpdateStruct>& record);
    void reapThreads();
    std::size_t taskCount();

    template <typename Predicate>
    bool anyTask(Predicate predicate);

    TaskListView& m_view;
    TaskWindow& m_window;
    ReportLink& m_link;
    MessageTarget& m_target;
    TaskRunner m_runner;

    platform::ReentrantLock m_csIntake;
    platform::ReentrantLock m_csDialog;
    platform::ReentrantLock m_csSchedule;

    std::mutex m_tasksMutex;
    std::vector<std::shared_ptr<sUpdateStruct>> m_tasks;

    // Supervisors and refusal boxes; joined when they have finished or at the end.
    struct OwnedThread {
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> finished;
    };
    std::mutex m_threadsMutex;
    std::vector<OwnedThread> m_threads;
    void startOwnedThread(std::function<void()> body);
};

} // namespace update
