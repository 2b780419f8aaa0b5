// The window's timers without a window: the close timer restarts as the
// window's does, so only a second after the last end closes.
#include "headless_update.h"

#include <chrono>
#include <cstring>

#include <gtest/gtest.h>

#include "update/engine/task_record.h"
#include "update/engine/tests/recording_ports.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

std::string wireRecord(std::int32_t room) {
    update::TaskWireImage image{};
    image.nRoomID = room;
    update::setWireText(image.g_GameName, "game " + std::to_string(room));
    return std::string(reinterpret_cast<const char*>(&image), update::kWireRecordSize);
}

TEST(HeadlessUpdate, ClosesOneSecondAfterTheLastEndNotAnEarlierOne) {
    update::testing::CallLog log;
    update::testing::RecordingView view(log);
    update::testing::RecordingLink link;
    // Every task ends at once, as a task with an unreachable list would.
    const auto endAtOnce = [](const std::shared_ptr<update::sUpdateStruct>& record) {
        record->pOwner->Post({update::MyMessageCode::TaskEnded, record, -1});
    };
    update_tool::HeadlessUpdate update(view, link, endAtOnce, 1000ms);
    const std::string first = wireRecord(1);
    const std::string second = wireRecord(2);
    Clock::time_point secondSent;
    update.loop().post([&] { update.queue().OnSocketReceive(first.data(), 1228); });
    // The second task comes and ends while the first one's close timer runs.
    update.loop().postDelayed(500ms, [&] {
        secondSent = Clock::now();
        update.queue().OnSocketReceive(second.data(), 1228);
    });
    EXPECT_EQ(update.run(), 0);
    const auto closedAfter = Clock::now() - secondSent;
    EXPECT_GE(closedAfter, 950ms);
    EXPECT_LT(closedAfter, 3s);
    EXPECT_EQ(link.reports().size(), 2u);
}

TEST(HeadlessUpdate, ClosingRunsTheHostsHookFirstAndDropsTheTasks) {
    update::testing::CallLog log;
    update::testing::RecordingView view(log);
    update::testing::RecordingLink link;
    std::atomic<bool> released{false};
    size_t tasksWhenHooked = 0;
    {
        update_tool::HeadlessUpdate update(
            view, link,
            [&released](const std::shared_ptr<update::sUpdateStruct>& record) {
                while (!record->bCancel) {
                    std::this_thread::sleep_for(5ms);
                }
                released = true;
            },
            1000ms);
        update.setBeforeClose([&] { tasksWhenHooked = update.queue().snapshot().size(); });
        const std::string record = wireRecord(7);
        update.loop().post([&] {
            update.queue().OnSocketReceive(record.data(), 1228);
            update.close(3);
        });
        EXPECT_EQ(update.run(), 3);
        EXPECT_TRUE(update.queue().snapshot().empty());
    } // waits for the task's thread, which ends once closing has cancelled it
    EXPECT_EQ(tasksWhenHooked, 1u);
    EXPECT_TRUE(released);
}

} // namespace
