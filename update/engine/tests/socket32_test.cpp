#include "update/engine/socket32.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "config_store/config_store.h"
#include "download_fixture.h"
#include "http_test_servers.h"
#include "platform/loopback_listener.h"
#include "update/engine/simple_socket.h"
#include "update/engine/task_record.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using platform::LoopbackListener;
using ::testing::Contains;
using ::testing::ElementsAreArray;
using ::testing::HasSubstr;
using update::CSocket32;
using update::kWireRecordSize;
using update::download_testing::TraceRecorder;
using Clock = std::chrono::steady_clock;

constexpr const char* kReceiveFailed = "qel: SimpleSocket->Receive(..) 错误，可能断线.";

std::string wireRecord(std::int32_t room) {
    update::TaskWireImage image{};
    image.bFlag = 0x5A;
    image.reserved[1] = 0x22;
    image.nRoomID = room;
    update::setWireText(image.g_GameName, "游戏" + std::to_string(room));
    update::setWireText(image.g_url, "http://127.0.0.1/" + std::to_string(room) + "/index.ini");
    update::setWireText(image.g_ver, "1." + std::to_string(room));
    return std::string(reinterpret_cast<const char*>(&image), kWireRecordSize);
}

// The dialog's side: records every call of the link, as bytes.
class RecordingSink final : public update::ISimpleSocket {
public:
    void OnSocketReceive(const char* data, int length) override {
        std::lock_guard lock(m_mutex);
        m_calls.emplace_back(data, static_cast<std::size_t>(length));
        m_changed.notify_all();
    }
    // The calls so far, once there are `count` of them or `limit` has passed.
    std::vector<std::string> waitFor(std::size_t count, std::chrono::milliseconds limit) {
        std::unique_lock lock(m_mutex);
        m_changed.wait_for(lock, limit, [&] { return m_calls.size() >= count; });
        return m_calls;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<std::string> m_calls;
};

std::size_t countLines(const std::vector<std::string>& lines, const std::string& wanted) {
    return static_cast<std::size_t>(std::count(lines.begin(), lines.end(), wanted));
}

// A lobby client listening on a free port written into the link's configuration.
class LinkTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(m_listener.listen(0, error)) << error;
        writePort(m_listener.port());
    }

    void writePort(int port) {
        const CfgHandle handle = cfgOpenFile(configFile().c_str(), "");
        ASSERT_GE(handle, 16u);
        cfgSetValue(handle, "GameSet", "UpdateSetPort", port);
        ASSERT_TRUE(cfgClose(handle));
    }

    fs::path configFile() const { return m_folder.path() / update::kLobbyConfigFile; }

    CSocket32& startLink() {
        m_link = std::make_unique<CSocket32>(update::systemSocketLibrary(), configFile().string());
        EXPECT_TRUE(m_link->Start(&m_sink));
        return *m_link;
    }

    update::test_servers::ScratchDirectory m_folder;
    TraceRecorder m_trace;
    LoopbackListener m_listener;
    RecordingSink m_sink;
    std::unique_ptr<CSocket32> m_link; // stopped before the sink goes
};

TEST_F(LinkTest, ConnectsToTheConfiguredPortOnce) {
    CSocket32& link = startLink();
    EXPECT_EQ(link.port(), m_listener.port());
    ASSERT_TRUE(m_listener.accept(Clock::now() + 2s));
    EXPECT_THAT(m_trace.lines(), Contains("dorp123: update SetClientSimpleSocket port no  " +
                                          std::to_string(m_listener.port())));
    EXPECT_FALSE(link.Start(&m_sink));
    EXPECT_FALSE(m_listener.accept(Clock::now() + 300ms))
        << "a second Start made a second connection";
}

struct WritePattern {
    const char* name;
    std::vector<std::size_t> writes; // sizes, written 30 ms apart
};

void PrintTo(const WritePattern& pattern, std::ostream* out) {
    *out << pattern.name;
}

class LinkRecordTest : public LinkTest, public ::testing::WithParamInterface<WritePattern> {};

// The original passed each receive on as it came, so its dialog dropped a record
// split over two receives and both records of a receive that held two.
TEST_P(LinkRecordTest, EveryWrittenRecordBecomesExactlyOneCall) {
    startLink();
    ASSERT_TRUE(m_listener.accept(Clock::now() + 2s));
    const std::vector<std::string> records{wireRecord(1), wireRecord(2), wireRecord(3)};
    std::string stream;
    for (const auto& record : records) {
        stream += record;
    }
    std::size_t at = 0;
    for (const std::size_t size : GetParam().writes) {
        ASSERT_TRUE(m_listener.write(std::string_view(stream).substr(at, size)));
        at += size;
        std::this_thread::sleep_for(30ms);
    }
    ASSERT_EQ(at, stream.size());
    EXPECT_THAT(m_sink.waitFor(3, 2s), ElementsAreArray(records));
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(m_sink.waitFor(4, 0ms).size(), 3u);
}

INSTANTIATE_TEST_SUITE_P(Writes, LinkRecordTest,
                         ::testing::Values(WritePattern{"OnePerWrite", {1228, 1228, 1228}},
                                           WritePattern{"SplitOverTwoWrites",
                                                        {600, 628, 1228, 1, 1227}},
                                           WritePattern{"TwoInOneWrite", {2456, 1228}},
                                           WritePattern{"OneAndAHalfPerWrite", {1842, 1842}},
                                           WritePattern{"AllInOneWrite", {3684}}),
                         [](const auto& test) { return std::string(test.param.name); });

TEST_F(LinkTest, ReportsGoBackWhole) {
    CSocket32& link = startLink();
    ASSERT_TRUE(m_listener.accept(Clock::now() + 2s));
    const std::string report = wireRecord(9);
    link.SendReport(report.data(), static_cast<int>(report.size()));
    link.SendReport(report.data(), static_cast<int>(report.size()));
    EXPECT_EQ(m_listener.readFully(2 * kWireRecordSize, Clock::now() + 2s), report + report);
}

// The original never connected again: once the lobby client had restarted,
// tasks stopped arriving for good.
TEST_F(LinkTest, ALobbyClientThatRestartsIsConnectedAgain) {
    CSocket32& link = startLink();
    ASSERT_TRUE(m_listener.accept(Clock::now() + 2s));
    // The client ends in the middle of a record; the part must not prefix the
    // first record of the next connection.
    ASSERT_TRUE(m_listener.write(wireRecord(1).substr(0, 600)));
    std::this_thread::sleep_for(50ms);
    m_listener.closeAll();
    std::this_thread::sleep_for(600ms); // at least one refused attempt
    std::string error;
    ASSERT_TRUE(m_listener.listen(m_listener.port(), error)) << error;
    ASSERT_TRUE(m_listener.accept(Clock::now() + 2s));
    ASSERT_TRUE(m_listener.write(wireRecord(2)));
    EXPECT_THAT(m_sink.waitFor(1, 2s), ElementsAreArray({wireRecord(2)}));

    const std::string report = wireRecord(2);
    link.SendReport(report.data(), static_cast<int>(report.size()));
    EXPECT_EQ(m_listener.readFully(kWireRecordSize, Clock::now() + 2s), report);
    const auto lines = m_trace.lines();
    EXPECT_GE(countLines(lines, kReceiveFailed), 2u);
    EXPECT_THAT(
        lines,
        Contains("qel: lobby link closed in the middle of a task record; 600 bytes dropped"));
}

TEST_F(LinkTest, KeepsTryingWhileNobodyListensAndConnectsOnceSomeoneDoes) {
    const int port = update::test_servers::unusedLoopbackPort();
    writePort(port);
    startLink();
    std::this_thread::sleep_for(1200ms);
    const auto lines = m_trace.lines();
    const std::string connectLine =
        "dorp123: update SetClientSimpleSocket port no  " + std::to_string(port);
    EXPECT_GE(countLines(lines, kReceiveFailed), 2u);
    EXPECT_GE(countLines(lines, connectLine), 3u);

    LoopbackListener late;
    std::string error;
    ASSERT_TRUE(late.listen(port, error)) << error;
    ASSERT_TRUE(late.accept(Clock::now() + 2s));
    ASSERT_TRUE(late.write(wireRecord(4)));
    EXPECT_THAT(m_sink.waitFor(1, 2s), ElementsAreArray({wireRecord(4)}));
}

TEST_F(LinkTest, StopEndsAReceiveInProgressAtOnce) {
    CSocket32& link = startLink();
    ASSERT_TRUE(m_listener.accept(Clock::now() + 2s));
    std::this_thread::sleep_for(100ms); // the loop waits in its receive
    const auto before = Clock::now();
    link.stop();
    EXPECT_LT(Clock::now() - before, 300ms);
    EXPECT_TRUE(m_listener.peerClosed(Clock::now() + 1s));
    // A report after closing is lost quietly.
    const std::string report = wireRecord(5);
    link.SendReport(report.data(), static_cast<int>(report.size()));
    link.stop();
    EXPECT_FALSE(link.Start(&m_sink));
    EXPECT_FALSE(m_listener.accept(Clock::now() + 200ms));
}

TEST_F(LinkTest, StopEndsTheRetryPauseAtOnce) {
    writePort(update::test_servers::unusedLoopbackPort());
    CSocket32& link = startLink();
    std::this_thread::sleep_for(100ms); // the first receive has failed: the loop pauses
    const auto before = Clock::now();
    link.stop();
    EXPECT_LT(Clock::now() - before, 300ms);
}

TEST_F(LinkTest, AReportToAClientThatHasGoneIsLostWithoutEndingTheProcess) {
    CSocket32& link = startLink();
    ASSERT_TRUE(m_listener.accept(Clock::now() + 2s));
    m_listener.closeAll();
    const std::string report = wireRecord(6);
    // The first send may still be taken by the kernel; the second meets the
    // reset connection, which would raise SIGPIPE without MSG_NOSIGNAL.
    for (int i = 0; i < 3; ++i) {
        link.SendReport(report.data(), static_cast<int>(report.size()));
        std::this_thread::sleep_for(20ms);
    }
    EXPECT_THAT(m_trace.lines(), Contains(HasSubstr("report lost")));
}

// The platform's socket library in a state the link cannot work with.
class FakeSocketLibrary : public update::SocketLibrary {
public:
    FakeSocketLibrary(bool starts, update::SocketLibraryVersion offered)
        : m_starts(starts)
        , m_offered(offered) {}
    bool startup(update::SocketLibraryVersion requested,
                 update::SocketLibraryVersion& obtained) override {
        EXPECT_EQ(requested, (update::SocketLibraryVersion{2, 2}));
        obtained = m_offered;
        return m_starts;
    }
    void cleanup() override { ++cleanups; }
    int cleanups = 0;

private:
    bool m_starts;
    update::SocketLibraryVersion m_offered;
};

struct LibraryCase {
    const char* name;
    bool starts;
    update::SocketLibraryVersion offered;
    int cleanups;
};

TEST_F(LinkTest, WithoutAUsableSocketLibraryTheLinkStaysUnconfigured) {
    const LibraryCase cases[] = {
        {"cannot be started", false, {0, 0}, 0},
        {"offers another version", true, {2, 1}, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FakeSocketLibrary library(c.starts, c.offered);
        CSocket32 link(library, configFile().string());
        EXPECT_EQ(link.port(), 0);
        EXPECT_EQ(library.cleanups, c.cleanups);
        EXPECT_FALSE(link.Start(&m_sink));
        EXPECT_FALSE(m_listener.accept(Clock::now() + 200ms));
    }
}

} // namespace
