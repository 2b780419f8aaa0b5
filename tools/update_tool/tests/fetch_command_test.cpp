// update-tool fetch run as a program: where the file lands, what it prints and
// its exit code, against a real server on loopback.
#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "tool_process.h"
#include "update/engine/tests/download_fixture.h"
#include "update/engine/tests/http_test_servers.h"

namespace {

namespace fs = std::filesystem;
using platform::testing::readFile;
using update::download_testing::pattern;
using update::test_servers::HttpTestServer;
using update::test_servers::ScratchDirectory;

using update_tool_test::runTool;

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

    const auto run = runTool(UPDATE_TOOL, {"fetch", url, file}, folder.path());

    EXPECT_EQ(run.exitCode, c.exitCode) << run.stderrText;
    EXPECT_THAT(run.stderrText, ::testing::HasSubstr(c.printed));
    const fs::path landed = fs::path(file).is_absolute() ? fs::path(file) : folder.path() / file;
    if (c.body.empty()) {
        EXPECT_FALSE(fs::is_regular_file(landed));
    } else {
        EXPECT_EQ(readFile(landed), c.body);
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
    const auto run = runTool(UPDATE_TOOL, {"fetch", "http://127.0.0.1:1/x"}, folder.path());
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_THAT(run.stderrText, ::testing::HasSubstr("usage: update-tool fetch URL FILE"));
}

} // namespace
