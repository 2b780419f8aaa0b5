#pragma once

#include <atomic>
#include <string>

#include "update/engine/task_list_view.h"

namespace update {
struct sUpdateStruct;
}

namespace update_tool {

// What update-tool serve shows of its tasks: the name of each queued task on
// standard error, and one line per task on standard output once it has ended:
//   ended room=ROOM result=completed|failed|cancelled name=NAME
// Progress is the window's business and is not shown.
class ServeStatusView : public update::TaskListView {
public:
    // `workerResult` is what the task's supervisor returned (0: the list ran to
    // its end).
    void showEnd(const update::sUpdateStruct& record, int workerResult);
    // A task that closing dropped before it started.
    void showDropped(const update::sUpdateStruct& record);

    void SetRowSize(int, long) override {}
    void InsertRow(int row, const std::string& text) override;
    void DeleteRow(int) override { --m_rows; }
    void HideRowButton(int) override {}
    void EnsureRowVisible(int) override {}
    int RowCount() override { return m_rows; }
    void SetColumnWidth(int, int) override {}
    void SetRowState(int, bool) override {}
    void SetRowProgress(int, float) override {}
    void SetRowSpeed(int, float) override {}

private:
    std::atomic<int> m_rows{0};
};

} // namespace update_tool
