// update-tool run and unpack as programs: a whole task headless, its trace log,
// its exit code, Ctrl-C, and a missing unpacking library.
#include <chrono>
#include <csignal>
#include <filesystem>
#include <thread>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/text_codec.h"
#include "tool_process.h"
#include "update/engine/tests/download_fixture.h"
#include "update/engine/tests/http_test_servers.h"
#include "zip_writer.h"

namespace {

namespace fs = std::filesystem;
using platform::testing::readFile;
using platform::testing::writeFile;
using ::testing::HasSubstr;
using update_tool_test::runTool;
using update_tool_test::ToolProcess;

class RunCommandTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_web = m_scratch.path() / "web";
        m_install = m_scratch.path() / "install";
        fs::create_directories(m_web);
        fs::create_directories(m_install);
        std::string error;
        m_server = update::test_servers::startFaultServer(m_web, error);
        ASSERT_TRUE(m_server) << error;
        writeFile(m_web / "index.ini", "[config]\r\nother=" + m_server->url("/list.ini") + "\r\n");
        writeFile(
            m_web / "game.zip",
            unzip_test::buildZip({{"bin/game.dat", "game data", false},
                                  {platform::legacyFromUtf8("存档/说明.txt"), "说明", false}}));
    }

    // Entries "action|srcfile|destfile|cmd" and the terminator.
    void publishList(const std::vector<std::array<std::string, 4>>& entries) {
        std::string text;
        int n = 0;
        for (const auto& [action, src, dest, cmd] : entries) {
            text += "[list" + std::to_string(n++) + "]\r\naction=" + action + "\r\nsrcfile=" + src +
                    "\r\ndestfile=" + dest + "\r\ncmd=" + cmd + "\r\n";
        }
        text += "[list" + std::to_string(n) + "]\r\naction=0\r\n";
        writeFile(m_web / "list.ini", text);
    }

    std::vector<std::string> runArgs() const {
        return {"run",     m_server->url("/index.ini"), "1.0",
                "--dir",   m_install.string(),          "--name",
                "测试游戏"};
    }

    update::test_servers::ScratchDirectory m_scratch;
    fs::path m_web;
    fs::path m_install;
    std::unique_ptr<update::test_servers::HttpTestServer> m_server;
};

TEST_F(RunCommandTest, RunsATaskToItsEndAndTracesInTheStartingFolder) {
    publishList({{"3", m_server->url("/game.zip"), "game.zip", "DEC"}});
    const auto run = runTool(UPDATE_TOOL, runArgs(), m_scratch.path());
    EXPECT_EQ(run.exitCode, 0) << run.stderrText;
    EXPECT_THAT(run.stderrText, HasSubstr("task: 测试游戏"));
    EXPECT_EQ(readFile(m_install / "bin/game.dat"), "game data");
    EXPECT_EQ(readFile(m_install / fs::u8path("存档/说明.txt")), "说明");
    EXPECT_FALSE(fs::exists(m_install / "game.zip"));
    EXPECT_EQ(platform::utf8FromLegacy(readFile(m_scratch.path() / "output.txt")),
              m_server->url("/index.ini") + "\r\n执行命令:" + m_server->url("/game.zip") +
                  "-----game.zip-----3-----DEC\r\n下载完毕开始解压\r\n"
                  "解压完毕，开始删除文件\r\n删除完毕\r\n");
    EXPECT_FALSE(fs::exists(m_install / "output.txt"));
}

TEST_F(RunCommandTest, AFailingListEndsWithExitCodeOne) {
    publishList({{"1", m_server->url("/index.ini"), "x", "del"}});
    const auto run = runTool(UPDATE_TOOL, runArgs(), m_scratch.path());
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_THAT(run.stderrText, HasSubstr("[错误] 未知的更新命令. del"));
}

TEST_F(RunCommandTest, AMissingUnpackingLibraryIsReported) {
    // A copy of the tool in a folder without the library, Update's folder too.
    const fs::path lonely = m_scratch.path() / "lonely";
    fs::create_directories(lonely);
    fs::copy_file(UPDATE_TOOL, lonely / "update-tool");
    publishList({{"3", m_server->url("/game.zip"), "game.zip", "DEC"}});
    auto args = runArgs();
    args[4] = lonely.string();
    const auto run = runTool(lonely / "update-tool", args, m_scratch.path());
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_THAT(run.stderrText, HasSubstr("[] 动态库加载,返回文件解压进度函数失败!"));
}

TEST_F(RunCommandTest, InterruptStopsTheTaskAndDeletesThePartialDownload) {
    // 8 MB at 64 KB every 50 ms: far from done when the signal comes.
    publishList({{"2", m_server->url("/slow/8388608/65536/50?f.zip"), "big.zip", ""}});
    ToolProcess tool(UPDATE_TOOL, runArgs(), m_scratch.path());
    ASSERT_TRUE(tool.started());
    for (int i = 0; i < 500 && !fs::exists(m_install / "big.zip"); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ASSERT_TRUE(fs::exists(m_install / "big.zip"));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    const auto interrupted = std::chrono::steady_clock::now();
    tool.signal(SIGINT);
    const auto run = tool.wait(10);
    EXPECT_EQ(run.exitCode, 1) << run.stderrText;
    EXPECT_LT(std::chrono::steady_clock::now() - interrupted, std::chrono::seconds(3));
    EXPECT_FALSE(fs::exists(m_install / "big.zip"));
}

struct UsageCase {
    const char* name;
    std::vector<std::string> args;
    const char* printed;
};

TEST(UpdateToolUsage, BadArgumentsAreUsageErrors) {
    update::test_servers::ScratchDirectory folder;
    const UsageCase cases[] = {
        {"run without version", {"run", "http://h/i.ini"}, "usage: update-tool run"},
        {"room not a number", {"run", "u", "1", "--room", "x1"}, "--room takes a whole number"},
        {"unknown option", {"run", "u", "1", "--nope", "1"}, "unknown option --nope"},
        {"folder missing", {"run", "u", "1", "--dir", "/nonexistent/x"}, "is not a folder"},
        {"unpack without archive", {"unpack"}, "usage: update-tool unpack"},
        {"unknown command", {"frobnicate"}, "unknown command 'frobnicate'"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto run = runTool(UPDATE_TOOL, c.args, folder.path());
        EXPECT_EQ(run.exitCode, 2);
        EXPECT_THAT(run.stderrText, HasSubstr(c.printed));
    }
}

TEST(UnpackCommand, UnpacksThroughTheLibraryOrFails) {
    update::test_servers::ScratchDirectory folder;
    writeFile(folder.path() / "good.zip", unzip_test::buildZip({{"a/b.txt", "b", false}}));
    writeFile(folder.path() / "bad.zip", "not an archive at all");

    auto run = runTool(UPDATE_TOOL, {"unpack", "good.zip", "--dir", "out"}, folder.path());
    EXPECT_EQ(run.exitCode, 0) << run.stderrText;
    EXPECT_THAT(run.stderrText, HasSubstr("100.0%"));
    EXPECT_EQ(readFile(folder.path() / "out/a/b.txt"), "b");

    run = runTool(UPDATE_TOOL, {"unpack", "bad.zip", "--dir", "out2"}, folder.path());
    EXPECT_EQ(run.exitCode, 1);
    run = runTool(UPDATE_TOOL, {"unpack", "missing.zip"}, folder.path());
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_THAT(run.stderrText, HasSubstr("no archive"));
}

} // namespace
