// The size, speed and progress formulas of a download, with chosen ticks.
#include "update/engine/transfer_meter.h"

#include <ostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "update/engine/process_state.h"
#include "update/engine/task_record.h"
#include "update/engine/tests/recording_ports.h"

namespace {

using update::TransferMeter;

class TransferMeterTest : public ::testing::Test {
protected:
    void SetUp() override { update::setTaskListView(&m_view); }
    void TearDown() override { update::setTaskListView(nullptr); }

    update::testing::CallLog m_log;
    update::testing::RecordingView m_view{m_log};
    update::sUpdateStruct m_record;
};

struct SizeCase {
    std::int64_t contentLength;
    long sizeKb;
};

void PrintTo(const SizeCase& c, std::ostream* out) {
    *out << c.contentLength;
}

class SizeTest : public TransferMeterTest, public ::testing::WithParamInterface<SizeCase> {};

TEST_P(SizeTest, IsTheLengthInWholeKilobytes) {
    m_record.nListIndex = 3;
    TransferMeter(m_record, GetParam().contentLength, 0).reportSize();
    EXPECT_EQ(m_log.calls(),
              std::vector<std::string>{"size 3 " + std::to_string(GetParam().sizeKb)});
}

INSTANTIATE_TEST_SUITE_P(Lengths, SizeTest,
                         ::testing::Values(SizeCase{0, 0}, SizeCase{1023, 0}, SizeCase{1024, 1},
                                           SizeCase{5000000, 4882}, SizeCase{5000000000, 4882812}));

TEST_F(TransferMeterTest, SpeedIsKilobytesOverSecondsSinceTheLastSample) {
    TransferMeter meter(m_record, 0, 1000);
    meter.addBytes(10240, 1500); // 10 KB in 0.5 s
    EXPECT_DOUBLE_EQ(m_record.dSpeed.load(), 20.0);
    meter.addBytes(512, 1750); // 0.5 KB in 0.25 s
    EXPECT_DOUBLE_EQ(m_record.dSpeed.load(), 2.0);
    meter.addBytes(0, 1751); // a read of nothing is a sample too
    EXPECT_DOUBLE_EQ(m_record.dSpeed.load(), 0.0);
    meter.finish();
    EXPECT_EQ(m_record.dSpeed.load(), 0.0);
    EXPECT_EQ(meter.received(), 10752);
}

// Reads within the same millisecond make one sample that covers all of them.
TEST_F(TransferMeterTest, ReadsWithinOneTickShareASample) {
    TransferMeter meter(m_record, 0, 1000);
    meter.addBytes(1024, 1002);
    EXPECT_DOUBLE_EQ(m_record.dSpeed.load(), 500.0);
    m_record.dSpeed = -1.0;
    meter.addBytes(1024, 1002);
    meter.addBytes(2048, 1002);
    EXPECT_EQ(m_record.dSpeed.load(), -1.0); // not recomputed within the tick
    meter.addBytes(1024, 1003);
    EXPECT_DOUBLE_EQ(m_record.dSpeed.load(), 4000.0); // 4 KB since the 1002 sample, in 1 ms
}

struct ProgressCase {
    const char* name;
    std::int64_t contentLength;
    int row;
    bool viewExists;
    float expected; // the record starts at 0.5
};

void PrintTo(const ProgressCase& c, std::ostream* out) {
    *out << c.name;
}

class ProgressTest : public TransferMeterTest,
                     public ::testing::WithParamInterface<ProgressCase> {};

TEST_P(ProgressTest, IsReceivedOverLengthWhenShown) {
    const ProgressCase& c = GetParam();
    m_record.nListIndex = c.row;
    m_record.fProgress = 0.5f;
    if (!c.viewExists) {
        update::setTaskListView(nullptr);
    }
    TransferMeter meter(m_record, c.contentLength, 0);
    meter.addBytes(300, 1);
    meter.reportProgress();
    EXPECT_EQ(m_record.fProgress.load(), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Rows, ProgressTest,
                         ::testing::Values(ProgressCase{"Shown", 1200, 0, true, 0.25f},
                                           ProgressCase{"NoLength", 0, 0, true, 0.5f},
                                           ProgressCase{"NoRow", 1200, -1, true, 0.5f},
                                           ProgressCase{"NoList", 1200, 0, false, 0.5f}),
                         [](const auto& test) { return std::string(test.param.name); });

} // namespace
