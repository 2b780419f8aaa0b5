#include "update/engine/task_queue.h"

#include <condition_variable>
#include <cstring>
#include <set>
#include <thread>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "recording_ports.h"
#include "recording_presenter.h"
#include "update/engine/process_state.h"

namespace {

using namespace update;
using namespace update::testing;
using ::testing::ElementsAre;

std::string wireRecord(std::int32_t room, const std::string& name) {
    TaskWireImage image{};
    image.bFlag = 7;
    image.reserved[0] = 0x11;
    image.reserved[2] = 0x33;
    image.nRoomID = room;
    setWireText(image.g_GameName, name);
    setWireText(image.g_url, "http://127.0.0.1/" + std::to_string(room) + "/index.ini");
    setWireText(image.g_ver, "1.0");
    return std::string(reinterpret_cast<const char*>(&image), kWireRecordSize);
}

// A task runner that holds every task until the test lets it end, then posts the
// task's end through its owner as the supervisor does.
class HeldRunner {
public:
    TaskRunner runner() {
        return [this](const std::shared_ptr<sUpdateStruct>& record) {
            std::unique_lock lock(m_mutex);
            m_started.push_back(record);
            m_changed.notify_all();
            // Polls the cancel flag as a worker does: nobody signals it.
            while (!m_changed.wait_for(lock, std::chrono::milliseconds(10), [&] {
                return m_releaseAll || m_released.count(record.get()) || record->bCancel;
            })) {
            }
            lock.unlock();
            record->pOwner->Post({MyMessageCode::TaskEnded, record, -1});
        };
    }
    void release(const sUpdateStruct* record) {
        std::lock_guard lock(m_mutex);
        m_released.insert(record);
        m_changed.notify_all();
    }
    void releaseAll() {
        std::lock_guard lock(m_mutex);
        m_releaseAll = true;
        m_changed.notify_all();
    }
    // The names of the started tasks, once `count` have started (or after 5 s).
    std::vector<std::string> startedNames(size_t count) {
        std::unique_lock lock(m_mutex);
        m_changed.wait_for(lock, std::chrono::seconds(5),
                           [&] { return m_started.size() >= count; });
        std::vector<std::string> names;
        for (const auto& record : m_started) {
            names.push_back(record->gameName());
        }
        return names;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<std::shared_ptr<sUpdateStruct>> m_started;
    std::set<const sUpdateStruct*> m_released;
    bool m_releaseAll = false;
};

class TaskQueueTest : public ::testing::Test {
protected:
    TaskQueueTest()
        : m_view(m_log)
        , m_window(m_log)
        , m_queue(m_view, m_window, m_link, m_target, m_runner.runner()) {}

    ~TaskQueueTest() override { m_runner.releaseAll(); }

    void receive(const std::string& bytes) {
        m_queue.OnSocketReceive(bytes.data(), static_cast<int>(bytes.size()));
    }

    // Delivers posted messages until none is left, as the window's thread does.
    void pump() {
        TaskMessage message;
        while (m_target.takeNext(message)) {
            m_queue.OnMyMessage(message);
        }
    }

    std::shared_ptr<sUpdateStruct> task(const std::string& name) {
        for (const auto& record : m_queue.snapshot()) {
            if (record->gameName() == name) {
                return record;
            }
        }
        return nullptr;
    }

    // Lets a started task end and delivers the messages that follows from it.
    void finish(const std::string& name) {
        const auto record = task(name);
        ASSERT_NE(record, nullptr) << name;
        const size_t reports = m_link.reports().size();
        m_runner.release(record.get());
        for (int i = 0; i < 1000 && m_link.reports().size() == reports; ++i) {
            pump();
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        pump();
    }

    std::vector<int> rows() {
        std::vector<int> result;
        for (const auto& record : m_queue.snapshot()) {
            result.push_back(record->nListIndex);
        }
        return result;
    }

    CallLog m_log;
    RecordingView m_view;
    RecordingWindow m_window;
    RecordingLink m_link;
    ManualTarget m_target;
    RecordingPresenter m_presenter;
    HeldRunner m_runner;
    TaskQueue m_queue;
};

TEST_F(TaskQueueTest, OnlyExactlyOneWireRecordIsATask) {
    const std::string record = wireRecord(1, "剑侠");
    receive(record.substr(0, kWireRecordSize - 1));
    receive(record + "x");
    receive("");
    EXPECT_TRUE(m_queue.snapshot().empty());
    m_queue.OnSocketReceive(nullptr, static_cast<int>(kWireRecordSize));
    EXPECT_TRUE(m_queue.snapshot().empty());

    receive(record);
    EXPECT_THAT(m_log.calls(), ElementsAre("insert 0 剑侠"));
    EXPECT_THAT(m_runner.startedNames(1), ElementsAre("剑侠"));
    EXPECT_EQ(task("剑侠")->nState, 1);
}

TEST_F(TaskQueueTest, DuplicatesAreRefusedWhileWaitingOrRunningButNotOnceUnpacked) {
    receive(wireRecord(1, "A"));
    receive(wireRecord(2, "B"));
    ASSERT_THAT(m_runner.startedNames(1), ElementsAre("A"));
    receive(wireRecord(2, "B again")); // B waits
    receive(wireRecord(1, "A again")); // A runs
    task("A")->nState = 2;
    receive(wireRecord(1, "A new")); // A unpacked: a new task for the room

    // Refusals are shown from threads of their own.
    for (int i = 0; i < 1000 && m_presenter.shown().size() < 2; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    EXPECT_THAT(m_presenter.shown(), ::testing::UnorderedElementsAre(
                                         notice("抱歉,您已经添加'B again'游戏,不能重复添加"),
                                         notice("抱歉,您已经在下载'A again'游戏,不能重复下载")));
    EXPECT_THAT(m_log.calls(), ::testing::Contains("insert 2 A new"));
    EXPECT_TRUE(m_link.reports().empty());
}

TEST_F(TaskQueueTest, TasksRunOneAtATimeInListOrder) {
    receive(wireRecord(1, "A"));
    receive(wireRecord(2, "B"));
    receive(wireRecord(3, "C"));
    EXPECT_THAT(m_runner.startedNames(1), ElementsAre("A"));
    EXPECT_EQ(task("B")->nState, 0);

    finish("A");
    EXPECT_THAT(m_runner.startedNames(2), ElementsAre("A", "B"));
    EXPECT_EQ(task("C")->nState, 0);
    finish("B");
    EXPECT_THAT(m_runner.startedNames(3), ElementsAre("A", "B", "C"));
}

TEST_F(TaskQueueTest, AnUnpackedTaskLetsTheNextOneStart) {
    receive(wireRecord(1, "A"));
    receive(wireRecord(2, "B"));
    ASSERT_THAT(m_runner.startedNames(1), ElementsAre("A"));
    task("A")->nState = 2;
    m_queue.OnMyMessage({MyMessageCode::RunScheduler, nullptr, -1});
    EXPECT_THAT(m_runner.startedNames(2), ElementsAre("A", "B"));
}

TEST_F(TaskQueueTest, TheEndOfRowZeroRenumbersTheOthersAndReportsTheRecord) {
    const std::string sent = wireRecord(1, "A");
    receive(sent);
    receive(wireRecord(2, "B"));
    receive(wireRecord(3, "C"));
    ASSERT_THAT(m_runner.startedNames(1), ElementsAre("A"));
    m_log.clear();

    finish("A");

    EXPECT_THAT(rows(), ElementsAre(0, 1));
    EXPECT_EQ(task("B")->nListIndex, 0);
    EXPECT_EQ(task("C")->nListIndex, 1);
    EXPECT_THAT(m_log.calls(), ElementsAre("delete 0", "hide-button 0", "column 0 85"));
    ASSERT_EQ(m_link.reports().size(), 1u);
    std::string expected = sent;
    expected[0] = 0;
    EXPECT_EQ(m_link.reports()[0], expected);
}

TEST_F(TaskQueueTest, CancellingAWaitingTaskEndsItOnceEvenWhenPressedTwice) {
    receive(wireRecord(1, "A"));
    receive(wireRecord(2, "B"));
    ASSERT_THAT(m_runner.startedNames(1), ElementsAre("A"));
    m_log.clear();

    m_queue.OnMyMessage({MyMessageCode::CancelRow, nullptr, 1});
    m_queue.OnMyMessage({MyMessageCode::CancelRow, nullptr, 1});
    pump();

    ASSERT_EQ(m_link.reports().size(), 1u);
    EXPECT_EQ(m_link.reports()[0].substr(8, 1), "B");
    EXPECT_THAT(m_log.calls(), ElementsAre("delete 1", "hide-button 1", "column 0 85"));
    EXPECT_EQ(task("B"), nullptr);
    EXPECT_NE(task("A"), nullptr);
    // Rows that hold no task, and negative rows, are ignored.
    m_queue.OnMyMessage({MyMessageCode::CancelRow, nullptr, 5});
    m_queue.OnMyMessage({MyMessageCode::CancelRow, nullptr, -1});
    EXPECT_FALSE(task("A")->bCancel);
}

TEST_F(TaskQueueTest, CancellingTheRunningTaskStopsItThroughItsFlag) {
    receive(wireRecord(1, "A"));
    ASSERT_THAT(m_runner.startedNames(1), ElementsAre("A"));
    m_queue.OnMyMessage({MyMessageCode::CancelRow, nullptr, 0});
    EXPECT_TRUE(task("A")->bCancel);
    for (int i = 0; i < 1000 && m_link.reports().empty(); ++i) {
        pump();
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    EXPECT_EQ(m_link.reports().size(), 1u);
    EXPECT_TRUE(m_queue.snapshot().empty());
}

TEST_F(TaskQueueTest, TheWindowGrowsOnceWhenTheThirdTaskArrives) {
    receive(wireRecord(1, "A"));
    receive(wireRecord(2, "B"));
    receive(wireRecord(3, "C"));
    receive(wireRecord(4, "D"));
    EXPECT_THAT(m_log.calls(),
                ElementsAre("insert 0 A", "insert 1 B", "grow", "insert 2 C", "insert 3 D"));
}

TEST_F(TaskQueueTest, CloseTimerStartsAfterTheLastTaskAndATaskWithinTheSecondKeepsTheWindow) {
    receive(wireRecord(1, "A"));
    receive(wireRecord(2, "B"));
    finish("A");
    EXPECT_THAT(m_log.calls(), ::testing::Not(::testing::Contains("close-timer")));
    finish("B");
    EXPECT_THAT(m_log.calls(), ::testing::Contains("close-timer"));
    EXPECT_TRUE(m_queue.CloseTimerFired());

    // A task accepted within that second must not be lost with the window.
    receive(wireRecord(3, "C"));
    EXPECT_FALSE(m_queue.CloseTimerFired());
}

TEST_F(TaskQueueTest, RowRefreshShowsEachTasksStateProgressAndSpeed) {
    receive(wireRecord(1, "A"));
    receive(wireRecord(2, "B"));
    task("A")->fProgress = 0.5f;
    task("A")->dSpeed = 120.0;
    task("A")->bInstalling = true;
    m_queue.RefreshRows();
    EXPECT_THAT(m_view.refreshes(),
                ElementsAre("state 0 installing", "progress 0 0.500000", "speed 0 120.000000",
                            "state 1 downloading", "progress 1 0.000000", "speed 1 0.000000"));

    // The supervisor's last refresh of a complete task shows no speed.
    task("A")->fProgress = 1.0f;
    m_queue.OnMyMessage({MyMessageCode::RefreshRow, task("A"), -1});
    EXPECT_EQ(task("A")->dSpeed, 0.0);
    EXPECT_FALSE(m_queue.OnMyMessage({MyMessageCode::StartLink, nullptr, -1}));
}

TEST_F(TaskQueueTest, ClosingCancelsEveryTaskAndSetsTheStopFlag) {
    receive(wireRecord(1, "A"));
    receive(wireRecord(2, "B"));
    const auto a = task("A");
    const auto b = task("B");
    m_queue.CancelAll();
    EXPECT_TRUE(g_bStop);
    EXPECT_TRUE(a->bCancel);
    EXPECT_TRUE(b->bCancel);
    EXPECT_TRUE(m_queue.snapshot().empty());
    // The records stay valid for the threads that still hold them.
    EXPECT_EQ(a->gameName(), "A");
    g_bStop = false;
}

TEST_F(TaskQueueTest, AcceptanceFromManyThreadsWhileTasksEnd) {
    // The lobby link's thread and the window's thread change the list at once.
    m_runner.releaseAll();
    std::atomic<bool> done{false};
    std::thread window([&] {
        while (!done) {
            pump();
            m_queue.RefreshRows();
        }
        pump();
    });
    std::vector<std::thread> senders;
    for (int t = 0; t < 4; ++t) {
        senders.emplace_back([&, t] {
            for (int i = 0; i < 25; ++i) {
                receive(wireRecord(t * 100 + i, "T" + std::to_string(t * 100 + i)));
            }
        });
    }
    for (auto& sender : senders) {
        sender.join();
    }
    for (int i = 0; i < 2000 && m_link.reports().size() < 100; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    done = true;
    window.join();
    EXPECT_EQ(m_link.reports().size(), 100u);
    EXPECT_TRUE(m_queue.snapshot().empty());
    EXPECT_EQ(m_view.RowCount(), 0);
}

} // namespace
