// update-tool serve with lobby-sim as the lobby client and the HTTP test server
// as the web: tasks over the lobby link from record to report, as programs.
#include <algorithm>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "config_store/config_store.h"
#include "tool_process.h"
#include "update/engine/tests/download_fixture.h"
#include "update/engine/tests/http_test_servers.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using platform::testing::writeFile;
using ::testing::AllOf;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using update_tool_test::ToolProcess;
using update_tool_test::ToolRun;
using Clock = std::chrono::steady_clock;

constexpr const char* kReceiveFailed = "qel: SimpleSocket->Receive(..) 错误，可能断线.";

std::vector<std::string> linesOf(const std::string& text, const std::string& prefix = "") {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (line.rfind(prefix, 0) == 0) {
            lines.push_back(line);
        }
    }
    return lines;
}

void writeLobbyConfig(const fs::path& folder, int port) {
    const CfgHandle handle = cfgOpenFile((folder / "lumgame.lcf").c_str(), "");
    ASSERT_GE(handle, 16u);
    cfgSetValue(handle, "GameSet", "UpdateSetPort", port);
    ASSERT_TRUE(cfgClose(handle));
}

// A web server, an install folder, and two working folders whose "lumgame.lcf"
// names the same free port: one for lobby-sim, one for update-tool serve.
class ServeTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* folder : {"web", "install", "lobby", "update"}) {
            fs::create_directories(m_scratch.path() / folder);
        }
        std::string error;
        m_server = update::test_servers::startFaultServer(m_scratch.path() / "web", error);
        ASSERT_TRUE(m_server) << error;
        m_port = update::test_servers::unusedLoopbackPort();
        writeLobbyConfig(folder("lobby"), m_port);
        writeLobbyConfig(folder("update"), m_port);
        writeFile(folder("web") / "small.bin", "small");
    }

    fs::path folder(const char* name) const { return m_scratch.path() / name; }

    // --task ROOM:NAME:1.0:URL for a task whose list downloads one file into
    // FILE, taking about `tenths` tenths of a second (0: at once).
    std::vector<std::string> task(int room, const std::string& name, int tenths,
                                  const std::string& file = "") {
        const std::string id = std::to_string(room) + "-" + std::to_string(m_published++);
        const std::string source =
            tenths > 0 ? m_server->url("/slow/" + std::to_string(tenths * 1000) + "/1000/100?f.bin")
                       : m_server->url("/small.bin");
        writeFile(folder("web") / ("index-" + id + ".ini"),
                  "[config]\r\nother=" + m_server->url("/list-" + id + ".ini") + "\r\n");
        writeFile(folder("web") / ("list-" + id + ".ini"),
                  "[list0]\r\naction=2\r\nsrcfile=" + source + "\r\ndestfile=" +
                      (file.empty() ? id + ".bin" : file) + "\r\ncmd=\r\n[list1]\r\naction=0\r\n");
        return {"--task", std::to_string(room) + ":" + name +
                              ":1.0:" + m_server->url("/index-" + id + ".ini")};
    }

    std::unique_ptr<ToolProcess> startLobby(std::vector<std::string> args) {
        args.insert(args.end(), {"--timeout", "20"});
        return std::make_unique<ToolProcess>(LOBBY_SIM, args, folder("lobby"));
    }
    // `args` are update-tool's: "--trace", or "serve" and options of serve.
    std::unique_ptr<ToolProcess> startServe(std::vector<std::string> args = {}) {
        if (std::find(args.begin(), args.end(), "serve") == args.end()) {
            args.push_back("serve");
        }
        args.insert(args.end(), {"--dir", folder("install").string()});
        return std::make_unique<ToolProcess>(UPDATE_TOOL, args, folder("update"));
    }

    // Runs lobby-sim with `args` against update-tool serve until both end.
    std::pair<ToolRun, ToolRun> runBoth(const std::vector<std::string>& args,
                                        const std::vector<std::string>& serveExtra = {}) {
        auto lobby = startLobby(args);
        auto serve = startServe(serveExtra);
        ToolRun lobbyRun = lobby->wait(25);
        return {lobbyRun, serve->wait(10)};
    }

    static std::vector<std::string> concat(std::initializer_list<std::vector<std::string>> parts) {
        std::vector<std::string> all;
        for (const auto& part : parts) {
            all.insert(all.end(), part.begin(), part.end());
        }
        return all;
    }

    update::test_servers::ScratchDirectory m_scratch;
    std::unique_ptr<update::test_servers::HttpTestServer> m_server;
    int m_port = 0;
    int m_published = 0;
};

TEST_F(ServeTest, TasksRunOneAtATimeAndEachIsReportedOnce) {
    // Were they run side by side, the shortest would end first.
    const auto [lobby, serve] =
        runBoth(concat({task(1, "一号", 6, "one.bin"), task(2, "二号", 3), task(3, "三号", 0)}));
    EXPECT_EQ(lobby.exitCode, 0) << lobby.stdoutText << serve.stderrText;
    EXPECT_THAT(linesOf(lobby.stdoutText, "report "),
                ElementsAre("report room=1 flag=0 equal name=一号",
                            "report room=2 flag=0 equal name=二号",
                            "report room=3 flag=0 equal name=三号"));
    EXPECT_EQ(serve.exitCode, 0) << serve.stderrText;
    EXPECT_THAT(linesOf(serve.stdoutText), ElementsAre("ended room=1 result=completed name=一号",
                                                       "ended room=2 result=completed name=二号",
                                                       "ended room=3 result=completed name=三号"));
    EXPECT_EQ(fs::file_size(folder("install") / "one.bin"), 6000u);
}

TEST_F(ServeTest, ARepeatedRoomIsRefusedAndNeverReported) {
    const auto [lobby, serve] = runBoth(concat(
        {task(1, "一号", 5), task(1, "一号又来", 0), task(2, "二号", 0), task(2, "二号又来", 0)}));
    EXPECT_EQ(lobby.exitCode, 0) << lobby.stdoutText << serve.stderrText;
    EXPECT_THAT(linesOf(lobby.stdoutText, "sent "),
                ElementsAre("sent room=1 name=一号",
                            "sent room=1 name=一号又来 duplicate: no report expected",
                            "sent room=2 name=二号",
                            "sent room=2 name=二号又来 duplicate: no report expected"));
    EXPECT_THAT(linesOf(lobby.stdoutText, "report "),
                ElementsAre("report room=1 flag=0 equal name=一号",
                            "report room=2 flag=0 equal name=二号"));
    EXPECT_THAT(serve.stderrText,
                AllOf(HasSubstr("[提示] 抱歉,您已经在下载'一号又来'游戏,不能重复下载"),
                      HasSubstr("[提示] 抱歉,您已经添加'二号又来'游戏,不能重复添加")));
    EXPECT_THAT(linesOf(serve.stdoutText), ElementsAre("ended room=1 result=completed name=一号",
                                                       "ended room=2 result=completed name=二号"));
}

class ServeWriteTest : public ServeTest,
                       public ::testing::WithParamInterface<std::vector<std::string>> {};

// The original took a record only when one receive held exactly one record.
TEST_P(ServeWriteTest, EveryRecordBecomesATaskHoweverItIsWritten) {
    const auto [lobby, serve] =
        runBoth(concat({GetParam(), task(1, "一号", 0), task(2, "二号", 0), task(3, "三号", 0)}));
    EXPECT_EQ(lobby.exitCode, 0) << lobby.stdoutText << serve.stderrText;
    EXPECT_EQ(linesOf(lobby.stdoutText, "report ").size(), 3u);
    EXPECT_EQ(linesOf(serve.stdoutText, "ended ").size(), 3u);
    EXPECT_EQ(serve.exitCode, 0);
}

INSTANTIATE_TEST_SUITE_P(Writes, ServeWriteTest,
                         ::testing::Values(std::vector<std::string>{"--split"},
                                           std::vector<std::string>{"--coalesce"},
                                           std::vector<std::string>{"--coalesce", "--split"}),
                         [](const auto& test) {
                             std::string name;
                             for (const auto& option : test.param) {
                                 name += option == "--split" ? "Split" : "Coalesced";
                             }
                             return name;
                         });

// The original never connected again after its lobby client had gone.
TEST_F(ServeTest, ALobbyClientThatRestartsGetsItsLaterTasksThrough) {
    // The first task runs through the restart, so Update stays open meanwhile.
    const auto [lobby, serve] =
        runBoth(concat({task(1, "一号", 18), {"--restart"}, task(2, "二号", 0)}), {"--trace"});
    EXPECT_EQ(lobby.exitCode, 0) << lobby.stdoutText << serve.stderrText;
    EXPECT_THAT(linesOf(lobby.stdoutText),
                ElementsAre(HasSubstr("listening on"), "connected", "sent room=1 name=一号",
                            "restarting", "connected", "sent room=2 name=二号",
                            "report room=1 flag=0 equal name=一号",
                            "report room=2 flag=0 equal name=二号", "done reports=2"));
    EXPECT_THAT(linesOf(serve.stderrText), Contains(kReceiveFailed));
    EXPECT_EQ(serve.exitCode, 0);
}

TEST_F(ServeTest, ItEndsOneSecondAfterTheLastTaskNotAfterAnEarlierOne) {
    auto lobby = startLobby(concat(
        {task(1, "一号", 0), {"--wait-reports", "1", "--sleep", "500"}, task(2, "二号", 8)}));
    auto serve = startServe();
    const ToolRun lobbyRun = lobby->wait(25);
    const auto lastReport = Clock::now();
    const ToolRun serveRun = serve->wait(10);
    const auto waited = Clock::now() - lastReport;
    EXPECT_EQ(lobbyRun.exitCode, 0) << lobbyRun.stdoutText << serveRun.stderrText;
    EXPECT_EQ(linesOf(lobbyRun.stdoutText, "report ").size(), 2u);
    EXPECT_EQ(serveRun.exitCode, 0);
    EXPECT_GE(waited, 900ms);
    EXPECT_LT(waited, 2000ms);
}

TEST_F(ServeTest, GarbageAndTextsWithoutNulNeitherCrashNorStallUpdate) {
    // 3000 random bytes: two whole records, then 544 bytes of one that never
    // ends, dropped when the lobby client restarts. The first task keeps Update
    // busy through the restart.
    const auto [lobby, serve] = runBoth(concat({{"--no-nul"},
                                                task(7, "长任务", 20),
                                                {"--garbage", "3000", "--restart"},
                                                task(8, "名字", 0)}),
                                        {"--trace"});
    EXPECT_EQ(lobby.exitCode, 0) << lobby.stdoutText << serve.stderrText;
    EXPECT_THAT(linesOf(lobby.stdoutText), Contains("sent garbage bytes=3000 records=2"));
    EXPECT_EQ(linesOf(lobby.stdoutText, "report ").size(), 4u);
    EXPECT_EQ(serve.exitCode, 0);
    // A name without its NUL ends with its 200-byte field (6 bytes of GBK, then
    // padding), not in the URL that follows it.
    const auto ended = linesOf(serve.stdoutText);
    ASSERT_EQ(ended.size(), 4u);
    EXPECT_EQ(ended.front(), "ended room=7 result=completed name=长任务" + std::string(194, '_'));
    EXPECT_EQ(ended.back(), "ended room=8 result=completed name=名字" + std::string(196, '_'));
    EXPECT_THAT(ended[1], HasSubstr("result=failed"));
    EXPECT_THAT(ended[2], HasSubstr("result=failed"));
    EXPECT_THAT(
        linesOf(serve.stderrText),
        Contains("qel: lobby link closed in the middle of a task record; 544 bytes dropped"));
}

TEST_F(ServeTest, InterruptStopsEveryTaskAndDeletesThePartialDownload) {
    writeFile(folder("web") / "index-big.ini",
              "[config]\r\nother=" + m_server->url("/list-big.ini") + "\r\n");
    writeFile(folder("web") / "list-big.ini",
              "[list0]\r\naction=2\r\nsrcfile=" + m_server->url("/slow/8388608/65536/50?f.zip") +
                  "\r\ndestfile=big.zip\r\ncmd=\r\n[list1]\r\naction=0\r\n");
    auto lobby = startLobby(concat({task(1, "一号", 0),
                                    {"--wait-reports", "1"},
                                    {"--task", "2:大的:1.0:" + m_server->url("/index-big.ini")},
                                    task(3, "三号", 0)}));
    auto serve = startServe();
    for (int i = 0; i < 500 && !fs::exists(folder("install") / "big.zip"); ++i) {
        std::this_thread::sleep_for(10ms);
    }
    ASSERT_TRUE(fs::exists(folder("install") / "big.zip"));
    std::this_thread::sleep_for(200ms);
    const auto interrupted = Clock::now();
    serve->signal(SIGINT);
    const ToolRun run = serve->wait(10);
    EXPECT_LT(Clock::now() - interrupted, 3s);
    EXPECT_EQ(run.exitCode, 1) << run.stderrText;
    EXPECT_FALSE(fs::exists(folder("install") / "big.zip"));
    EXPECT_THAT(linesOf(run.stdoutText), ElementsAre("ended room=1 result=completed name=一号",
                                                     "ended room=3 result=cancelled name=三号",
                                                     "ended room=2 result=cancelled name=大的"));
}

TEST_F(ServeTest, WithoutALobbyClientItKeepsTryingUntilTerminated) {
    auto serve = startServe({"--trace"});
    std::this_thread::sleep_for(1300ms);
    serve->signal(SIGTERM);
    const ToolRun run = serve->wait(5);
    EXPECT_EQ(run.exitCode, 1) << run.stderrText;
    EXPECT_THAT(run.stdoutText, IsEmpty());
    const auto lines = linesOf(run.stderrText);
    EXPECT_GE(std::count(lines.begin(), lines.end(), kReceiveFailed), 2);
    EXPECT_GE(
        std::count(lines.begin(), lines.end(),
                   "dorp123: update SetClientSimpleSocket port no  " + std::to_string(m_port)),
        3);
}

TEST_F(ServeTest, PortOptionOverridesTheConfiguration) {
    writeLobbyConfig(folder("update"), update::test_servers::unusedLoopbackPort());
    auto lobby = startLobby(task(1, "一号", 0));
    auto serve = startServe({"serve", "--port", std::to_string(m_port)});
    EXPECT_EQ(lobby->wait(25).exitCode, 0);
    EXPECT_EQ(serve->wait(10).exitCode, 0);
}

struct UsageCase {
    const char* name;
    std::vector<std::string> args;
    const char* printed;
};

TEST(ServeUsage, BadArgumentsAreUsageErrors) {
    update::test_servers::ScratchDirectory folder;
    const UsageCase cases[] = {
        {"positional argument", {"serve", "x"}, "usage: update-tool serve"},
        {"port not a number", {"serve", "--port", "x"}, "--port takes a whole number"},
        {"port out of range", {"serve", "--port", "70000"}, "--port takes a TCP port"},
        {"folder missing", {"serve", "--dir", "/nonexistent/x"}, "is not a folder"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto run = update_tool_test::runTool(UPDATE_TOOL, c.args, folder.path());
        EXPECT_EQ(run.exitCode, 2);
        EXPECT_THAT(run.stderrText, HasSubstr(c.printed));
    }
}

} // namespace
