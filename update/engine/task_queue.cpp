#include "task_queue.h"

#include <algorithm>
#include <cstring>

#include "message_presenter.h"
#include "platform/debug_trace.h"
#include "process_state.h"
#include "task_list_view.h"
#include "task_window.h"

namespace update {
namespace {

constexpr const char* kAlreadyAdded = "抱歉,您已经添加'%s'游戏,不能重复添加";
constexpr const char* kAlreadyDownloading = "抱歉,您已经在下载'%s'游戏,不能重复下载";
constexpr int kNarrowNameColumn = 85;
constexpr int kRowsBeforeNarrowing = 4;

std::string formatWithName(const char* format, const std::string& name) {
    std::string text = format;
    text.replace(text.find("%s"), 2, name);
    return text;
}

void traceMessage(const char* step) {
    platform::debugTrace(
        std::string("qel:  CUpDateDlg::OnMyMessage(WPARAM wParam, LPARAM lParam) : ") + step);
}

} // namespace

TaskQueue::TaskQueue(TaskListView& view, TaskWindow& window, ReportLink& link,
                     MessageTarget& target, TaskRunner runner)
    : m_view(view)
    , m_window(window)
    , m_link(link)
    , m_target(target)
    , m_runner(std::move(runner)) {}

TaskQueue::~TaskQueue() {
    CancelAll();
    std::vector<OwnedThread> threads;
    {
        std::lock_guard lock(m_threadsMutex);
        threads.swap(m_threads);
    }
    for (auto& owned : threads) {
        owned.thread.join();
    }
}

template <typename Predicate>
bool TaskQueue::anyTask(Predicate predicate) {
    std::lock_guard lock(m_tasksMutex);
    return std::any_of(m_tasks.begin(), m_tasks.end(),
                       [&](const auto& task) { return task && predicate(*task); });
}

bool TaskQueue::IsTaskWaiting(const TaskWireImage& record) {
    return anyTask([&](const sUpdateStruct& task) {
        return task.nRoomID == record.nRoomID && task.nState.load() == 0;
    });
}

bool TaskQueue::IsTaskRunning(const TaskWireImage& record) {
    return anyTask([&](const sUpdateStruct& task) {
        return task.nRoomID == record.nRoomID && task.nState.load() == 1;
    });
}

std::shared_ptr<sUpdateStruct> TaskQueue::FindNextWaitingTask() {
    std::lock_guard lock(m_tasksMutex);
    const auto it = std::find_if(m_tasks.begin(), m_tasks.end(), [](const auto& task) {
        return task && !task->bCancel.load() && task->nState.load() == 0;
    });
    return it == m_tasks.end() ? nullptr : *it;
}

std::size_t TaskQueue::taskCount() {
    std::lock_guard lock(m_tasksMutex);
    return m_tasks.size();
}

std::vector<std::shared_ptr<sUpdateStruct>> TaskQueue::snapshot() {
    std::lock_guard lock(m_tasksMutex);
    return m_tasks;
}

void TaskQueue::OnSocketReceive(const char* data, int length) {
    if (!data || length != static_cast<int>(kWireRecordSize)) {
        return;
    }
    std::lock_guard intake(m_csIntake);
    // The list changes and its rows must move together, so acceptance also holds
    // the dialog lock (intake before dialog; the dialog's thread never takes intake).
    std::lock_guard dialog(m_csDialog);
    TaskWireImage incoming;
    std::memcpy(&incoming, data, kWireRecordSize);
    if (IsTaskWaiting(incoming)) {
        refuse(kAlreadyAdded, incoming);
        return;
    }
    if (IsTaskRunning(incoming)) {
        refuse(kAlreadyDownloading, incoming);
        return;
    }
    const auto record = acceptRecord(data);
    if (m_view.RowCount() > 1 && m_window.IsShorterThanGrownSkin()) {
        m_window.GrowSkinByRow();
    }
    m_view.InsertRow(record->nListIndex, record->gameName());
    m_window.BringListToFront();
    StartWaitingTasks();
}

std::shared_ptr<sUpdateStruct> TaskQueue::acceptRecord(const char* data) {
    auto record = std::make_shared<sUpdateStruct>();
    std::memcpy(static_cast<TaskWireImage*>(record.get()), data, kWireRecordSize);
    record->pOwner = &m_target;
    std::lock_guard lock(m_tasksMutex);
    record->nListIndex = static_cast<std::int32_t>(m_tasks.size());
    m_tasks.push_back(record);
    return record;
}

void TaskQueue::refuse(const char* format, const TaskWireImage& record) {
    sUpdateStruct named;
    std::memcpy(named.g_GameName, record.g_GameName, sizeof named.g_GameName);
    // The box waits for the user on a thread of its own; the link keeps receiving.
    startOwnedThread([text = formatWithName(format, named.gameName())] {
        showMessage({text, "提示", MessageIcon::None, MessageButtons::Ok});
    });
    StartWaitingTasks();
    m_window.BringListToFront();
}

void TaskQueue::ReadAnonymousPipe(const sUpdateStruct* record, int /*unused*/) {
    if (!record) {
        return;
    }
    std::lock_guard intake(m_csIntake);
    std::lock_guard dialog(m_csDialog);
    platform::debugTrace("qel: CUpDateDlg::ReadAnonymousPipe(..)");
    platform::debugTrace("qel: nRoomID = " + std::to_string(record->nRoomID) +
                         " ,g_GameName = " + record->gameName() + ",  g_url = " + record->url() +
                         ", g_ver = " + record->version());
    const auto accepted =
        acceptRecord(reinterpret_cast<const char*>(static_cast<const TaskWireImage*>(record)));
    m_view.InsertRow(accepted->nListIndex, accepted->gameName());
    m_view.EnsureRowVisible(m_view.RowCount() - 1);
    startSupervisor(accepted);
}

void TaskQueue::StartWaitingTasks() {
    std::lock_guard schedule(m_csSchedule);
    std::size_t waiting = 0;
    std::size_t running = 0;
    {
        std::lock_guard lock(m_tasksMutex);
        for (const auto& task : m_tasks) {
            if (!task) {
                continue;
            }
            waiting += task->nState.load() == 0 ? 1 : 0;
            running += task->nState.load() == 1 && !task->bCancel.load() ? 1 : 0;
        }
    }
    if (waiting == 0 || running >= 1) {
        return;
    }
    g_bStop = false;
    if (const auto next = FindNextWaitingTask()) {
        next->nState = 1;
        startSupervisor(next);
    }
}

bool TaskQueue::OnMyMessage(const TaskMessage& message) {
    std::lock_guard dialog(m_csDialog);
    switch (message.code) {
    case MyMessageCode::TaskEnded:
        taskEnded(message.record);
        return true;
    case MyMessageCode::RefreshRow:
        refreshRow(message.record);
        return true;
    case MyMessageCode::CancelRow:
        cancelRow(message.row);
        return true;
    case MyMessageCode::RunScheduler:
        StartWaitingTasks();
        return true;
    case MyMessageCode::StartLink:
        return false;
    }
    return false;
}

void TaskQueue::taskEnded(const std::shared_ptr<sUpdateStruct>& record) {
    traceMessage("0_1");
    std::size_t position = 0;
    {
        std::lock_guard lock(m_tasksMutex);
        const auto it = std::find(m_tasks.begin(), m_tasks.end(), record);
        // A record whose end was handled already (a second cancel of a waiting
        // task posts its end twice) is neither reported nor removed again.
        if (!record || it == m_tasks.end()) {
            traceMessage("0_2");
            return;
        }
        position = static_cast<std::size_t>(it - m_tasks.begin());
    }
    TaskWireImage report;
    std::memcpy(&report, static_cast<const TaskWireImage*>(record.get()), kWireRecordSize);
    report.bFlag = 0;
    m_link.SendReport(reinterpret_cast<const char*>(&report), static_cast<int>(kWireRecordSize));

    const int row = record->nListIndex;
    if (row >= 0) {
        m_view.DeleteRow(row);
        m_view.HideRowButton(row);
        std::lock_guard lock(m_tasksMutex);
        m_tasks.erase(m_tasks.begin() + static_cast<std::ptrdiff_t>(position));
        for (auto it = m_tasks.begin() + static_cast<std::ptrdiff_t>(position); it != m_tasks.end();
             ++it) {
            if (*it) {
                --(*it)->nListIndex;
            }
        }
    }
    if (m_view.RowCount() < kRowsBeforeNarrowing) {
        m_view.SetColumnWidth(0, kNarrowNameColumn);
    }
    if (taskCount() == 0) {
        m_window.StartCloseTimer();
    }
    m_target.Post({MyMessageCode::RunScheduler, nullptr, -1});
    traceMessage("0_2");
}

void TaskQueue::cancelRow(int row) {
    traceMessage("4");
    if (row < 0) {
        return;
    }
    std::shared_ptr<sUpdateStruct> task;
    {
        std::lock_guard lock(m_tasksMutex);
        const auto it = std::find_if(m_tasks.begin(), m_tasks.end(), [row](const auto& candidate) {
            return candidate && candidate->nListIndex.load() == row;
        });
        if (it == m_tasks.end()) {
            return;
        }
        task = *it;
    }
    task->bCancel = true;
    if (IsTaskWaiting(*task)) {
        m_target.Post({MyMessageCode::TaskEnded, task, -1});
    }
}

void TaskQueue::refreshRow(const std::shared_ptr<sUpdateStruct>& record) {
    traceMessage("2_1");
    if (record && anyTask([&](const sUpdateStruct& task) { return &task == record.get(); })) {
        const int row = record->nListIndex;
        if (record->fProgress.load() >= 1.0f && record->dSpeed.load() != 0.0) {
            record->dSpeed = 0.0;
        }
        m_view.SetRowProgress(row, record->fProgress);
        m_view.SetRowSpeed(row, static_cast<float>(record->dSpeed.load()));
    }
    traceMessage("2_2");
}

void TaskQueue::RefreshRows() {
    std::lock_guard dialog(m_csDialog);
    for (const auto& task : snapshot()) {
        const int row = task->nListIndex;
        if (row >= 0) {
            m_view.SetRowState(row, task->bInstalling);
            m_view.SetRowProgress(row, task->fProgress);
            m_view.SetRowSpeed(row, static_cast<float>(task->dSpeed.load()));
        }
    }
}

bool TaskQueue::CloseTimerFired() {
    return taskCount() == 0;
}

void TaskQueue::CancelAll() {
    g_bStop = true;
    std::lock_guard dialog(m_csDialog);
    std::lock_guard lock(m_tasksMutex);
    for (const auto& task : m_tasks) {
        task->bCancel = true;
    }
    m_tasks.clear();
}

void TaskQueue::startSupervisor(const std::shared_ptr<sUpdateStruct>& record) {
    startOwnedThread([this, record] { m_runner(record); });
}

void TaskQueue::startOwnedThread(std::function<void()> body) {
    std::lock_guard lock(m_threadsMutex);
    reapThreads();
    auto finished = std::make_shared<std::atomic<bool>>(false);
    std::thread thread([body = std::move(body), finished] {
        body();
        finished->store(true);
    });
    m_threads.push_back({std::move(thread), std::move(finished)});
}

void TaskQueue::reapThreads() {
    for (auto it = m_threads.begin(); it != m_threads.end();) {
        if (it->finished->load()) {
            it->thread.join();
            it = m_threads.erase(it);
        } else {
            ++it;
        }
    }
}

} // namespace update
