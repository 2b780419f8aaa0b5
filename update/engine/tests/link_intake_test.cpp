// The lobby link feeding the task queue with what a broken or hostile lobby
// client might send: random records whose texts have no NUL, repeated rooms,
// records cut anywhere, and a connection that ends in the middle of a record.
#include <algorithm>
#include <chrono>
#include <cstring>
#include <map>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "platform/event_loop.h"
#include "platform/loopback_listener.h"
#include "platform/text_codec.h"
#include "recording_ports.h"
#include "recording_presenter.h"
#include "update/engine/process_state.h"
#include "update/engine/queue_intake.h"
#include "update/engine/record_stream.h"
#include "update/engine/socket32.h"
#include "update/engine/task_queue.h"

namespace {

using namespace std::chrono_literals;
using namespace update;
using namespace update::testing;
using platform::LoopbackListener;
using Clock = std::chrono::steady_clock;

// The window's thread: hands posted messages to the queue, in order.
class LoopTarget : public MessageTarget {
public:
    void attach(TaskQueue& queue) { m_queue = &queue; }
    void Post(TaskMessage message) override {
        m_loop.post([this, message = std::move(message)] { m_queue->OnMyMessage(message); });
    }
    platform::EventLoop& loop() { return m_loop; }

private:
    platform::EventLoop m_loop;
    TaskQueue* m_queue = nullptr;
};

std::string randomBytes(std::mt19937& random, std::size_t count, bool noNul) {
    std::string bytes(count, '\0');
    for (char& byte : bytes) {
        byte = static_cast<char>(noNul ? 1 + random() % 255 : random() % 256);
    }
    return bytes;
}

// Random records; every fifth takes the room of an earlier one. Half of them have
// no NUL anywhere, so no text field ends inside its bounds.
std::vector<std::string> randomRecords(std::mt19937& random, std::size_t count) {
    std::vector<std::string> records;
    for (std::size_t i = 0; i < count; ++i) {
        std::string record = randomBytes(random, kWireRecordSize, i % 2 == 0);
        if (i % 5 == 4) {
            std::memcpy(record.data() + 4, records[random() % i].data() + 4, 4);
        }
        records.push_back(std::move(record));
    }
    return records;
}

std::int32_t roomOf(const std::string& record) {
    std::int32_t room;
    std::memcpy(&room, record.data() + 4, sizeof room);
    return room;
}

// The name a row must show: the name field up to its NUL or its end, decoded.
std::string boundedName(const std::string& record) {
    const std::string field = record.substr(8, 200);
    return platform::utf8FromLegacy(field.substr(0, field.find('\0')));
}

class LinkIntakeTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(m_listener.listen(0, error)) << error;
        m_link.setPort(m_listener.port());
        m_target.attach(m_queue);
        m_loopThread = std::thread([this] { m_target.loop().run(); });
        ASSERT_TRUE(m_link.Start(&m_intake));
        ASSERT_TRUE(m_listener.accept(Clock::now() + 2s));
    }

    void TearDown() override {
        m_link.stop();
        m_target.loop().quit();
        m_loopThread.join();
    }

    // Reads reports until `done` says enough, for at most `limit`.
    template <typename Done>
    void readReports(std::chrono::milliseconds limit, Done done) {
        const auto deadline = Clock::now() + limit;
        while (!done() && Clock::now() < deadline) {
            const std::string bytes = m_listener.readFully(kWireRecordSize, Clock::now() + 50ms);
            m_reportStream.append(bytes.data(), bytes.size(), [this](const char* report) {
                m_reports.emplace_back(report, kWireRecordSize);
            });
        }
    }

    RecordingPresenter m_presenter;
    CallLog m_log;
    RecordingView m_view{m_log};
    RecordingWindow m_window{m_log};
    LoopbackListener m_listener;
    CSocket32 m_link;
    LoopTarget m_target;
    // Ends each task at once, as a worker that failed would.
    TaskQueue m_queue{m_view, m_window, m_link, m_target,
                      [](const std::shared_ptr<sUpdateStruct>& record) {
                          record->pOwner->Post({MyMessageCode::TaskEnded, record, -1});
                      }};
    QueueIntake m_intake{m_queue};
    std::thread m_loopThread;
    RecordStream m_reportStream;
    std::vector<std::string> m_reports;
};

TEST_F(LinkIntakeTest, RandomRecordsCutAnywhereAreEachReportedOrRefused) {
    std::mt19937 random(7);
    const std::vector<std::string> records = randomRecords(random, 60);
    std::string stream;
    for (const auto& record : records) {
        stream += record;
    }
    for (std::size_t at = 0; at < stream.size();) {
        const std::size_t piece = std::min<std::size_t>(1 + random() % 3000, stream.size() - at);
        ASSERT_TRUE(m_listener.write(std::string_view(stream).substr(at, piece)));
        at += piece;
        if (random() % 4 == 0) {
            std::this_thread::sleep_for(2ms);
        }
    }
    readReports(5s,
                [&] { return m_reports.size() + m_presenter.shown().size() >= records.size(); });
    const auto refusals = m_presenter.shown();
    ASSERT_EQ(m_reports.size() + refusals.size(), records.size());

    // Each report is one record, but for its cleared first byte, and none twice.
    std::map<std::string, int> reported;
    for (const auto& report : m_reports) {
        ASSERT_EQ(report[0], '\0');
        ++reported[report.substr(1)];
    }
    std::set<std::int32_t> seenRooms;
    for (const auto& record : records) {
        const int times = reported[record.substr(1)];
        EXPECT_LE(times, 1);
        // Only a room seen before may be refused.
        EXPECT_TRUE(times == 1 || seenRooms.count(roomOf(record)));
        seenRooms.insert(roomOf(record));
    }
    // Rows show names cut at their field's end, never running into the URL.
    std::multiset<std::string> expectedRows;
    for (const auto& record : records) {
        if (reported[record.substr(1)] == 1) {
            expectedRows.insert("insert " + boundedName(record));
        }
    }
    std::multiset<std::string> rows;
    for (const auto& call : m_log.calls()) {
        if (call.rfind("insert ", 0) == 0) {
            rows.insert("insert " + call.substr(call.find(' ', 7) + 1));
        }
    }
    EXPECT_EQ(rows, expectedRows);
}

TEST_F(LinkIntakeTest, AConnectionEndingInsideARecordLeavesTheNextConnectionInStep) {
    std::mt19937 random(11);
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        ASSERT_TRUE(
            m_listener.write(randomBytes(random, 1 + random() % (kWireRecordSize - 1), false)));
        m_listener.closeAll();
        std::string error;
        ASSERT_TRUE(m_listener.listen(m_listener.port(), error)) << error;
        ASSERT_TRUE(m_listener.accept(Clock::now() + 2s));
        std::string record = randomBytes(random, kWireRecordSize, true);
        ASSERT_TRUE(m_listener.write(record));
        m_reports.clear();
        readReports(2s, [&] { return !m_reports.empty(); });
        record[0] = '\0';
        EXPECT_EQ(m_reports, std::vector<std::string>{record});
    }
}

} // namespace
