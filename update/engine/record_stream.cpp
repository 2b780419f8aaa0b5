#include "record_stream.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace update {

void RecordStream::append(const char* data, std::size_t length, const RecordSink& onRecord) {
    if (!data || length == 0) {
        return;
    }
    if (m_filled > 0) {
        const std::size_t taken = std::min(length, kWireRecordSize - m_filled);
        std::memcpy(m_partial.data() + m_filled, data, taken);
        m_filled += taken;
        data += taken;
        length -= taken;
        if (m_filled < kWireRecordSize) {
            return;
        }
        m_filled = 0;
        onRecord(m_partial.data());
    }
    // Whole records are handed on where they lie; only a tail is copied.
    for (; length >= kWireRecordSize; data += kWireRecordSize, length -= kWireRecordSize) {
        onRecord(data);
    }
    if (length > 0) {
        std::memcpy(m_partial.data(), data, length);
        m_filled = length;
    }
}

std::size_t RecordStream::reset() {
    return std::exchange(m_filled, 0);
}

} // namespace update
