#pragma once

#include <memory>

namespace update {

struct sUpdateStruct;

// The codes of the window's private message; their numbers are the original's.
enum class MyMessageCode {
    TaskEnded = 0,    // record: report it, remove its row
    RefreshRow = 2,   // record: show its last progress and speed
    StartLink = 3,    // connect to the lobby client
    CancelRow = 4,    // row: cancel that row's task
    RunScheduler = 5, // start the next waiting task if none runs
};

// The message id on the original platform (the first private window message + 100).
constexpr int WM_MYMESSAGE = 1124;

struct TaskMessage {
    MyMessageCode code;
    std::shared_ptr<sUpdateStruct> record; // for TaskEnded and RefreshRow
    int row = -1;                          // for CancelRow
};

// Delivers task messages to the window's thread, one at a time, in the order they
// were posted. Post never blocks and may be called from any thread.
class MessageTarget {
public:
    virtual ~MessageTarget() = default;
    virtual void Post(TaskMessage message) = 0;
};

} // namespace update
