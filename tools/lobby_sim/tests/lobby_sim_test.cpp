// lobby-sim as a program, with the test standing in for Update: what it writes,
// how it judges the reports it gets back, and its time limit.
#include <chrono>
#include <cstring>
#include <string>
#include <thread>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "tool_process.h"
#include "update/engine/task_record.h"
#include "update/engine/tests/http_test_servers.h"

namespace {

using namespace std::chrono_literals;
using ::testing::HasSubstr;
using update_tool_test::ToolProcess;
using Clock = std::chrono::steady_clock;

// Update's end of the link, reduced to what these tests need.
class UpdateStandIn {
public:
    ~UpdateStandIn() {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
    }
    // Connects to 127.0.0.1:port, trying again until lobby-sim listens.
    bool connect(int port, std::chrono::milliseconds limit) {
        const auto deadline = Clock::now() + limit;
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<std::uint16_t>(port));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        while (Clock::now() < deadline) {
            m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
            if (::connect(m_fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) {
                return true;
            }
            ::close(m_fd);
            m_fd = -1;
            std::this_thread::sleep_for(20ms);
        }
        return false;
    }
    // What one receive gets within `limit`.
    std::string receive(std::chrono::milliseconds limit) {
        pollfd entry{m_fd, POLLIN, 0};
        char buffer[8192];
        if (::poll(&entry, 1, static_cast<int>(limit.count())) != 1) {
            return {};
        }
        const ssize_t count = ::recv(m_fd, buffer, sizeof buffer, 0);
        return count > 0 ? std::string(buffer, static_cast<std::size_t>(count)) : std::string();
    }
    std::string receiveAll(std::size_t count, std::chrono::milliseconds limit) {
        const auto deadline = Clock::now() + limit;
        std::string bytes;
        while (bytes.size() < count && Clock::now() < deadline) {
            bytes += receive(10ms);
        }
        return bytes;
    }
    bool send(const std::string& bytes) {
        return ::send(m_fd, bytes.data(), bytes.size(), MSG_NOSIGNAL) ==
               static_cast<ssize_t>(bytes.size());
    }

private:
    int m_fd = -1;
};

class LobbySimTest : public ::testing::Test {
protected:
    std::unique_ptr<ToolProcess> start(std::vector<std::string> args, int timeout = 5) {
        args.insert(args.end(),
                    {"--port", std::to_string(m_port), "--timeout", std::to_string(timeout)});
        return std::make_unique<ToolProcess>(LOBBY_SIM, args, m_folder.path());
    }

    update::test_servers::ScratchDirectory m_folder;
    int m_port = update::test_servers::unusedLoopbackPort();
};

struct ReportCase {
    const char* name;
    std::size_t offset; // the byte of the report to change
    char value;
    const char* verdict;
    int exitCode;
    bool thenTheRightReport = false; // lobby-sim still waits for one
};

TEST_F(LobbySimTest, JudgesEachReportAgainstItsRecord) {
    const ReportCase cases[] = {
        {"byte 0 cleared", 0, '\0', "report room=5 flag=0 equal name=五号", 0, false},
        {"byte 0 left set", 0, '\3', "report room=5 flag=3 equal name=五号", 1, false},
        {"a reserved byte changed", 2, '\0', "report room=5 flag=0 different name=五号", 1, false},
        {"another room", 4, '\6', "report room=6 flag=0 unexpected name=五号", 1, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto sim = start({"--task", "5:五号:1.0:http://h/i.ini", "--flag", "1"});
        UpdateStandIn update;
        ASSERT_TRUE(update.connect(m_port, 3s));
        std::string report = update.receiveAll(update::kWireRecordSize, 3s);
        ASSERT_EQ(report.size(), update::kWireRecordSize);
        EXPECT_EQ(report[0], '\1');
        report[0] = '\0';
        const std::string right = report;
        report[c.offset] = c.value;
        ASSERT_TRUE(update.send(report));
        if (c.thenTheRightReport) {
            ASSERT_TRUE(update.send(right));
        }
        const auto run = sim->wait(10);
        EXPECT_EQ(run.exitCode, c.exitCode) << run.stdoutText;
        EXPECT_THAT(run.stdoutText, HasSubstr(c.verdict));
    }
}

TEST_F(LobbySimTest, SplitWritesLeaveInTwoParts) {
    auto sim = start({"--split", "--task", "5:n:v:u"});
    UpdateStandIn update;
    ASSERT_TRUE(update.connect(m_port, 3s));
    EXPECT_EQ(update.receive(3s).size(), update::kWireRecordSize - 614);
    EXPECT_EQ(update.receiveAll(614, 3s).size(), 614u);
}

TEST_F(LobbySimTest, CoalescedRecordsLeaveInPairs) {
    auto sim = start({"--coalesce", "--task", "5:n:v:u", "--task", "6:n:v:u", "--sleep", "300",
                      "--task", "7:n:v:u"});
    UpdateStandIn update;
    ASSERT_TRUE(update.connect(m_port, 3s));
    const std::string pair = update.receive(3s);
    EXPECT_EQ(pair.size(), 2 * update::kWireRecordSize);
    // A record without a partner leaves alone, once no other follows.
    const std::string single = update.receiveAll(update::kWireRecordSize, 3s);
    EXPECT_EQ(single.size(), update::kWireRecordSize);
    std::string reports = pair + single;
    for (std::size_t at = 0; at < reports.size(); at += update::kWireRecordSize) {
        reports[at] = '\0';
    }
    ASSERT_TRUE(update.send(reports));
    const auto run = sim->wait(10);
    EXPECT_EQ(run.exitCode, 0) << run.stdoutText;
    EXPECT_THAT(run.stdoutText, HasSubstr("done reports=3"));
}

TEST_F(LobbySimTest, GivesUpWhenUpdateNeverComes) {
    const auto begun = Clock::now();
    auto sim = start({"--task", "5:n:v:u"}, 1);
    const auto run = sim->wait(10);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_LT(Clock::now() - begun, 3s);
    EXPECT_THAT(run.stdoutText, HasSubstr("timed out: steps unfinished; missing rooms (none)"));
}

TEST_F(LobbySimTest, HelpAndBadArguments) {
    auto help = update_tool_test::runTool(LOBBY_SIM, {"--help"}, m_folder.path());
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_THAT(help.stdoutText, HasSubstr("Which reports are expected"));
    auto bare = update_tool_test::runTool(LOBBY_SIM, {}, m_folder.path());
    EXPECT_EQ(bare.exitCode, 2);
    EXPECT_THAT(bare.stderrText, HasSubstr("usage: lobby-sim"));
    auto bad = update_tool_test::runTool(LOBBY_SIM, {"--task", "nope"}, m_folder.path());
    EXPECT_EQ(bad.exitCode, 2);
    EXPECT_THAT(bad.stderrText, HasSubstr("--task takes ROOM:NAME:VERSION:INDEX_URL"));
}

} // namespace
