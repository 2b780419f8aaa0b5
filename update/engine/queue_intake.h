#pragma once

#include "simple_socket.h"
#include "task_queue.h"

namespace update {

// Feeds a task queue from the lobby link, for hosts of the queue that are not the
// window (the window is both receivers itself).
class QueueIntake final : public ISimpleSocket, public IAnonymousPipe {
public:
    explicit QueueIntake(TaskQueue& queue)
        : m_queue(queue) {}

    void OnSocketReceive(const char* data, int length) override {
        m_queue.OnSocketReceive(data, length);
    }
    void ReadAnonymousPipe(const sUpdateStruct* record, int unused) override {
        m_queue.ReadAnonymousPipe(record, unused);
    }

private:
    TaskQueue& m_queue;
};

} // namespace update
