#pragma once

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

#include "update/engine/task_list_view.h"

namespace update {
struct sUpdateStruct;
}

namespace update_tool {

// One line about a task's download: its size (KB), progress and speed (KB/s).
// With a bar of `barWidth` cells when barWidth > 0.
std::string progressLine(long sizeKb, float progress, double speedKbPerSecond, int barWidth);

// Shows the download of one task on standard error while it runs, the way the
// window's download list shows its row: it takes the size the engine reports for
// the row and reads speed and progress from the task record on a timer of its
// own. On a terminal a bar is redrawn in place ten times a second; otherwise a
// plain line is printed once per second. stop() prints the last line.
class ProgressPrinter : public update::TaskListView {
public:
    ProgressPrinter(const update::sUpdateStruct& record, bool live);
    ~ProgressPrinter() override;
    ProgressPrinter(const ProgressPrinter&) = delete;
    ProgressPrinter& operator=(const ProgressPrinter&) = delete;

    // Called by the download's thread.
    void SetRowSize(int row, long sizeKb) override;

    // One task shown on one line: the row operations change nothing, and the
    // printer's own timer reads the record in place of the window's refresh.
    void InsertRow(int, const std::string&) override {}
    void DeleteRow(int) override {}
    void HideRowButton(int) override {}
    void EnsureRowVisible(int) override {}
    int RowCount() override { return 1; }
    void SetColumnWidth(int, int) override {}
    void SetRowState(int, bool) override {}
    void SetRowProgress(int, float) override {}
    void SetRowSpeed(int, float) override {}

    void start();
    void stop();

private:
    void run();
    void print(bool last) const;

    const update::sUpdateStruct& m_record;
    const bool m_live;
    std::atomic<long> m_sizeKb{0};
    std::mutex m_stopMutex;
    std::condition_variable m_stopped;
    bool m_stopRequested = false; // guarded by m_stopMutex
    std::thread m_thread;
};

} // namespace update_tool
