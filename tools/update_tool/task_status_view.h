#pragma once

#include <atomic>
#include <chrono>
#include <string>

#include "update/engine/task_list_view.h"

namespace update_tool {

// The download list of a headless Update with one task shown at a time: each
// row refresh (100 ms) redraws the task's line on a terminal, or prints it once
// a second otherwise, on standard error.
class TaskStatusView : public update::TaskListView {
public:
    explicit TaskStatusView(bool live);

    void SetRowSize(int row, long sizeKb) override;
    void InsertRow(int row, const std::string& text) override;
    void DeleteRow(int row) override;
    void HideRowButton(int) override {}
    void EnsureRowVisible(int) override {}
    int RowCount() override { return m_rows; }
    void SetColumnWidth(int, int) override {}
    void SetRowState(int row, bool installing) override;
    void SetRowProgress(int row, float progress) override;
    // The last call of a refresh: the line is shown here.
    void SetRowSpeed(int row, float speedKb) override;

private:
    void show(bool last);

    const bool m_live;
    std::atomic<int> m_rows{0};
    std::atomic<long> m_sizeKb{0};
    // Written and read on the loop's thread only.
    bool m_installing = false;
    float m_progress = 0.0f;
    float m_speed = 0.0f;
    std::chrono::steady_clock::time_point m_lastPrinted{};
};

} // namespace update_tool
