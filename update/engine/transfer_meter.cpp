#include "transfer_meter.h"

#include <chrono>

#include "process_state.h"
#include "task_list_view.h"
#include "task_record.h"

namespace update {

std::int64_t monotonicMilliseconds() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

TransferMeter::TransferMeter(sUpdateStruct& record, std::int64_t contentLength,
                             std::int64_t startTick)
    : m_record(record)
    , m_contentLength(contentLength)
    , m_sampleTick(startTick) {}

bool TransferMeter::rowShown() const {
    return m_record.nListIndex.load(std::memory_order_relaxed) >= 0 && taskListView() != nullptr;
}

void TransferMeter::reportSize() const {
    TaskListView* view = taskListView();
    const std::int32_t row = m_record.nListIndex.load(std::memory_order_relaxed);
    if (view && row >= 0) {
        view->SetRowSize(row, static_cast<long>(m_contentLength / 1024));
    }
}

void TransferMeter::addBytes(std::size_t count, std::int64_t tick) {
    m_received += static_cast<std::int64_t>(count);
    if (tick == m_sampleTick) {
        return;
    }
    const double kilobytes = static_cast<double>(m_received - m_sampleReceived) / 1024.0;
    const double seconds = static_cast<double>(tick - m_sampleTick) / 1000.0;
    m_record.dSpeed.store(kilobytes / seconds, std::memory_order_relaxed);
    m_sampleTick = tick;
    m_sampleReceived = m_received;
}

void TransferMeter::reportProgress() const {
    if (m_contentLength != 0 && rowShown()) {
        m_record.fProgress.store(static_cast<float>(m_received) /
                                     static_cast<float>(m_contentLength),
                                 std::memory_order_relaxed);
    }
}

void TransferMeter::finish() const {
    m_record.dSpeed.store(0.0, std::memory_order_relaxed);
}

} // namespace update
