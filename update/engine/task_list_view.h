#pragma once

namespace update {

// What the engine needs of the download list that shows one row per task. The
// window implements it; tests record the calls. Called from task threads, so an
// implementation hands the change to the thread that owns the list.
class TaskListView {
public:
    virtual ~TaskListView() = default;

    // Shows a download's announced size, in KB (bytes / 1024), on a row.
    virtual void SetRowSize(int row, long sizeKb) = 0;
};

} // namespace update
