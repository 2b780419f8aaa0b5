#pragma once

#include <cstddef>
#include <cstdint>

namespace update {

struct sUpdateStruct;

// Milliseconds of a monotonic clock: the tick of speed samples and of agent names.
std::int64_t monotonicMilliseconds();

// Size, speed and progress of one download, written into its task record and
// row. Ticks are monotonicMilliseconds() values; the caller passes them so that
// the formulas can be checked with chosen times.
class TransferMeter {
public:
    // `contentLength` is the length the server announced, 0 when it sent none.
    TransferMeter(sUpdateStruct& record, std::int64_t contentLength, std::int64_t startTick);

    // Shows the announced size on the task's row, in KB (length / 1024, rounded
    // down), when the task has a row and a download list exists.
    void reportSize() const;

    // Counts `count` bytes read at `tick`. When the tick differs from the last
    // sample's, sets dSpeed = ((received - received at last sample) / 1024) /
    // ((tick - last tick) / 1000) KB/s and makes this the last sample; reads within
    // one millisecond so fall into one sample.
    void addBytes(std::size_t count, std::int64_t tick);

    // After the counted bytes have been written: fProgress = received / length
    // when the length is known, the task has a row and a download list exists.
    void reportProgress() const;

    // The body is complete: dSpeed 0.
    void finish() const;

    std::int64_t received() const { return m_received; }

private:
    bool rowShown() const;

    sUpdateStruct& m_record;
    std::int64_t m_contentLength;
    std::int64_t m_received = 0;
    std::int64_t m_sampleTick;
    std::int64_t m_sampleReceived = 0;
};

} // namespace update
