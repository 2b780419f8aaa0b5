#pragma once

#include <string>

namespace update {

// What the engine needs of the download list that shows one row per task. The
// window implements it; tools and tests record or print the calls. SetRowSize is
// called from task threads and the row changes from the lobby link's thread, so an
// implementation hands each change to the thread that owns the list, in order.
class TaskListView {
public:
    virtual ~TaskListView() = default;

    // Shows a download's announced size, in KB (bytes / 1024), on a row.
    virtual void SetRowSize(int row, long sizeKb) = 0;

    virtual void InsertRow(int row, const std::string& text) = 0;
    // Removes a row and repaints the list.
    virtual void DeleteRow(int row) = 0;
    virtual void HideRowButton(int row) = 0;
    virtual void EnsureRowVisible(int row) = 0;
    virtual int RowCount() = 0;
    virtual void SetColumnWidth(int column, int width) = 0;

    // The row refresh: downloading or installing, progress 0..1, speed in KB/s.
    virtual void SetRowState(int row, bool installing) = 0;
    virtual void SetRowProgress(int row, float progress) = 0;
    virtual void SetRowSpeed(int row, float speedKb) = 0;
};

} // namespace update
