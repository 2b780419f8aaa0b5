#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace crash_mail {

// `result` before any worker ran.
constexpr int kNoResult = -1;

// What TakeStatus hands the progress display: the lines posted since the last call,
// oldest first, and the current percentage.
struct StatusUpdate {
    std::vector<std::string> lines;
    int progress = 0;
};

// The channel through which the sending threads report to the display. Shared by
// the worker, its supervisor and the display thread, so every thread that may
// outlive another holds it through a std::shared_ptr.
//
// m_lock guards the lines, the percentage, the result and the worker's start and
// end flags; it is never held during a network call or a wait of a caller.
class SendStatus {
public:
    SendStatus() = default;
    SendStatus(const SendStatus&) = delete;
    SendStatus& operator=(const SendStatus&) = delete;

    // Appends `text` to the lines. With `relative` adds `amount` to the percentage,
    // which stops at 100; otherwise sets it to `amount`.
    void PostStatus(std::string_view text, int amount, bool relative);

    // Moves every line posted so far out of the channel and reads the percentage.
    StatusUpdate TakeStatus();

    // kNoResult before any worker ran, 0 while the worker runs, then the worker's
    // result, then whatever the supervisor makes of it.
    int result() const;
    void setResult(int result);

    // The cancellation request: once made it stays made for every later test.
    void requestCancel();
    bool cancelRequested() const;

    // The worker's start and end are two separate signals, so the end cannot be lost
    // when the worker finishes before anyone waited for its start. Starting sets the
    // result to 0; finishing stores the worker's result.
    void signalWorkerStarted();
    void signalWorkerFinished(int result);
    void waitWorkerStarted();
    void waitWorkerFinished();
    // False when the worker has not finished within `timeout`.
    bool waitWorkerFinishedFor(std::chrono::milliseconds timeout);

private:
    mutable std::mutex m_lock;
    std::condition_variable m_workerStateChanged;
    std::vector<std::string> m_lines;
    int m_progress = 0;
    int m_result = kNoResult;
    bool m_workerStarted = false;
    bool m_workerFinished = false;
    std::atomic<bool> m_cancelRequested{false};
};

} // namespace crash_mail
