#pragma once

#include <array>
#include <cstddef>
#include <functional>

#include "task_record.h"

namespace update {

// Cuts a TCP byte stream into task records. The lobby link carries nothing but
// whole records in either direction, yet TCP keeps no boundaries: one receive may
// hold part of a record or several records. Records are handed on as soon as
// their last byte has arrived, in stream order.
class RecordStream {
public:
    // Receives one record of kWireRecordSize bytes, valid during the call only.
    using RecordSink = std::function<void(const char* record)>;

    // Adds received bytes; calls `onRecord` for every record they complete.
    void append(const char* data, std::size_t length, const RecordSink& onRecord);

    // Bytes of an incomplete record held so far (less than kWireRecordSize).
    std::size_t pending() const { return m_filled; }

    // Forgets an incomplete record, for a stream that has ended: a new connection
    // starts on a record boundary. Returns the number of bytes dropped.
    std::size_t reset();

private:
    std::array<char, kWireRecordSize> m_partial{};
    std::size_t m_filled = 0;
};

} // namespace update
