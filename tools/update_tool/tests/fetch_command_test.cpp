// update-tool fetch run as a program: where the file lands, what it prints and
// its exit code, against a real server on loopback.
#include <chrono>
#include <filesystem>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "update/engine/tests/download_fixture.h"
#include "update/engine/tests/http_test_servers.h"

namespace {

namespace fs = std::filesystem;
using update::download_testing::pattern;
using update::download_testing::readBytes;
using update::test_servers::HttpTestServer;
using update::test_servers::ScratchDirectory;

struct ToolRun {
    int exitCode = -1;
    std::string stderrText;
};

// Runs update-tool with `args` in `directory`; kills it after 30 s.
ToolRun runTool(const std::vector<std::string>& args, const fs::path& directory) {
    std::vector<char*> argv{const_cast<char*>(UPDATE_TOOL)};
    for (const std::string& arg : args) {
        argv.push_back(const_cast<char*>(arg.c_str()));
    }
    argv.push_back(nullptr);
    const fs::path errors = directory / "stderr.txt";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addchdir_np(&actions, directory.c_str());
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errors.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t pid = -1;
    ToolRun run;
    if (posix_spawn(&pid, UPDATE_TOOL, &actions, nullptr, argv.data(), environ) != 0) {
        ADD_FAILURE() << "cannot start " << UPDATE_TOOL;
        posix_spawn_file_actions_destroy(&actions);
        return run;
    }
    posix_spawn_file_actions_destroy(&actions);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    int status = 0;
    while (::waitpid(pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            ADD_FAILURE() << "update-tool did not end within 30 s";
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.stderrText = readBytes(errors);
    return run;
}

struct FetchCase {
    const char* name;
    std::string path; // on the server; empty: a port nobody listens on
    std::string file; // FILE argument; "$DIR" stands for the working folder
    int exitCode;
    std::string body;    // expected in FILE after the run; empty: no such file
    std::string printed; // expected on standard error
};

void PrintTo(const FetchCase& c, std::ostream* out) {
    *out << c.name;
}

class FetchCommandTest : public ::testing::TestWithParam<FetchCase> {};

TEST_P(FetchCommandTest, DownloadsAndExitsWithTheResult) {
    const FetchCase& c = GetParam();
    ScratchDirectory folder;
    ASSERT_FALSE(folder.path().empty());
    std::string error;
    const auto server = update::test_servers::startFaultServer(folder.path(), error);
    ASSERT_TRUE(server) << error;
    const std::string url =
        c.path.empty()
            ? "http://127.0.0.1:" + std::to_string(update::test_servers::unusedLoopbackPort()) +
                  "/x"
            : server->url(c.path);
    std::string file = c.file;
    if (file.starts_with("$DIR")) {
        file.replace(0, 4, folder.path().string());
    }

    const ToolRun run = runTool({"fetch", url, file}, folder.path());

    EXPECT_EQ(run.exitCode, c.exitCode) << run.stderrText;
    EXPECT_THAT(run.stderrText, ::testing::HasSubstr(c.printed));
    const fs::path landed = fs::path(file).is_absolute() ? fs::path(file) : folder.path() / file;
    if (c.body.empty()) {
        EXPECT_FALSE(fs::is_regular_file(landed));
    } else {
        EXPECT_EQ(readBytes(landed), c.body);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Runs, FetchCommandTest,
    ::testing::Values(FetchCase{"RelativeFile", "/pattern/300000", "sub/out.bin", 0,
                                pattern(300000), "100.0% of 292 KB"},
                      FetchCase{"AbsoluteFile", "/chunked/5000", "$DIR/deep/er/out.bin", 0,
                                pattern(5000), "saved "},
                      FetchCase{"ServerErrorBodyIsSaved", "/status/404", "out.bin", 0,
                                "status 404 body", "100.0% of 0 KB"},
                      FetchCase{"Unreachable", "", "out.bin", 1, "",
                                "[错误] InternetOpenUrl 错误.\n网址:"},
                      FetchCase{"BrokenBody", "/drop/100000/500", "out.bin", 1, "",
                                "[错误] InternetReadFile 错误.\n 错误信息:"},
                      FetchCase{"NotAFile", "/pattern/10", "$DIR/", 2, "", "does not name a file"}),
    [](const auto& test) { return std::string(test.param.name); });

TEST(FetchCommand, WrongArgumentCountIsAUsageError) {
    ScratchDirectory folder;
    const ToolRun run = runTool({"fetch", "http://127.0.0.1:1/x"}, folder.path());
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_THAT(run.stderrText, ::testing::HasSubstr("usage: update-tool fetch URL FILE"));
}

} // namespace
