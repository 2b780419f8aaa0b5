#pragma once

#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "update/engine/task_list_view.h"
#include "update/engine/task_message.h"
#include "update/engine/task_window.h"

namespace update::testing {

// Stand-ins for the window, its list, the lobby link and the message queue that
// record what the engine asked of them, as text lines, in order.
class CallLog {
public:
    void add(std::string call) {
        std::lock_guard lock(m_mutex);
        m_calls.push_back(std::move(call));
    }
    std::vector<std::string> calls() {
        std::lock_guard lock(m_mutex);
        return m_calls;
    }
    void clear() {
        std::lock_guard lock(m_mutex);
        m_calls.clear();
    }

private:
    std::mutex m_mutex;
    std::vector<std::string> m_calls;
};

class RecordingView : public TaskListView {
public:
    explicit RecordingView(CallLog& log)
        : m_log(log) {}
    void SetRowSize(int row, long sizeKb) override {
        m_log.add("size " + std::to_string(row) + " " + std::to_string(sizeKb));
    }
    void InsertRow(int row, const std::string& text) override {
        m_log.add("insert " + std::to_string(row) + " " + text);
        std::lock_guard lock(m_mutex);
        ++m_rows;
    }
    void DeleteRow(int row) override {
        m_log.add("delete " + std::to_string(row));
        std::lock_guard lock(m_mutex);
        --m_rows;
    }
    void HideRowButton(int row) override { m_log.add("hide-button " + std::to_string(row)); }
    void EnsureRowVisible(int row) override { m_log.add("visible " + std::to_string(row)); }
    int RowCount() override {
        std::lock_guard lock(m_mutex);
        return m_rows;
    }
    void SetColumnWidth(int column, int width) override {
        m_log.add("column " + std::to_string(column) + " " + std::to_string(width));
    }
    // The refresh is frequent and not what most tests look at: counted apart.
    void SetRowState(int row, bool installing) override {
        refresh("state " + std::to_string(row) + (installing ? " installing" : " downloading"));
    }
    void SetRowProgress(int row, float progress) override {
        refresh("progress " + std::to_string(row) + " " + std::to_string(progress));
    }
    void SetRowSpeed(int row, float speed) override {
        refresh("speed " + std::to_string(row) + " " + std::to_string(speed));
    }
    std::vector<std::string> refreshes() {
        std::lock_guard lock(m_mutex);
        return m_refreshes;
    }

private:
    void refresh(std::string line) {
        std::lock_guard lock(m_mutex);
        m_refreshes.push_back(std::move(line));
    }
    CallLog& m_log;
    std::mutex m_mutex;
    int m_rows = 0;
    std::vector<std::string> m_refreshes;
};

class RecordingWindow : public TaskWindow {
public:
    explicit RecordingWindow(CallLog& log)
        : m_log(log) {}
    bool IsShorterThanGrownSkin() override { return !m_grown; }
    void GrowSkinByRow() override {
        m_log.add("grow");
        m_grown = true;
    }
    void BringListToFront() override {}
    void StartCloseTimer() override { m_log.add("close-timer"); }

private:
    CallLog& m_log;
    bool m_grown = false;
};

class RecordingLink : public ReportLink {
public:
    void SendReport(const char* bytes, int length) override {
        std::lock_guard lock(m_mutex);
        m_reports.emplace_back(bytes, static_cast<size_t>(length));
    }
    std::vector<std::string> reports() {
        std::lock_guard lock(m_mutex);
        return m_reports;
    }

private:
    std::mutex m_mutex;
    std::vector<std::string> m_reports;
};

// Holds posted messages until the test delivers them, as the window's thread would.
class ManualTarget : public MessageTarget {
public:
    void Post(TaskMessage message) override {
        std::lock_guard lock(m_mutex);
        m_pending.push_back(std::move(message));
    }
    bool takeNext(TaskMessage& message) {
        std::lock_guard lock(m_mutex);
        if (m_pending.empty()) {
            return false;
        }
        message = std::move(m_pending.front());
        m_pending.pop_front();
        return true;
    }

private:
    std::mutex m_mutex;
    std::deque<TaskMessage> m_pending;
};

} // namespace update::testing
