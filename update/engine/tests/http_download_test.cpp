// Downloads against real servers on loopback: where the bytes land, what the
// task record and its row are told, and what the user is told when it fails.
#include "update/engine/http_download.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "update/engine/tests/download_fixture.h"
#include "update/engine/tests/recording_ports.h"

namespace update::download_testing {
namespace {

using update::testing::error;
using update::testing::ShownMessage;

constexpr const char* kOnly = "qel: int InternetGetFileOnly(...)";

struct LocalNameCase {
    const char* localName;
    const char* expectedRelativePath;
};

void PrintTo(const LocalNameCase& c, std::ostream* out) {
    *out << c.localName;
}

class LocalNameTest : public DownloadTest, public ::testing::WithParamInterface<LocalNameCase> {};

// A leading backslash is dropped and the others name folders, which are created.
TEST_P(LocalNameTest, LandsInUpdatesDirectory) {
    writeFile(servedFolder() / "game.bin", pattern(70000));
    ASSERT_EQ(InternetGetFileShowOnList(nginxUrl("/game.bin"), GetParam().localName, m_localPath,
                                        &m_record),
              0);
    const fs::path expected = appFolder() / GetParam().expectedRelativePath;
    EXPECT_EQ(m_localPath, expected.string());
    EXPECT_EQ(readFile(expected), pattern(70000));
    EXPECT_TRUE(shown().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Names, LocalNameTest,
    ::testing::Values(LocalNameCase{"game.bin", "game.bin"},
                      LocalNameCase{"\\game.bin", "game.bin"},
                      LocalNameCase{"data\\maps\\game.bin", "data/maps/game.bin"},
                      LocalNameCase{"\\data\\maps\\game.bin", "data/maps/game.bin"}));

struct BodyCase {
    const char* name;
    bool nginx;
    std::string path;
    std::string body;
    long sizeKb;          // announced to the row; 0 without a length
    bool lengthAnnounced; // else fProgress stays as it was
};

void PrintTo(const BodyCase& c, std::ostream* out) {
    *out << c.name;
}

class BodyTest : public DownloadTest, public ::testing::WithParamInterface<BodyCase> {};

// Every shape of body is stored whole, the row gets the announced size and the
// record ends at full progress (when a length was announced) and speed 0.
TEST_P(BodyTest, IsStoredWholeAndReported) {
    const BodyCase& c = GetParam();
    writeFile(servedFolder() / "plain.bin", pattern(300000));
    writeFile(servedFolder() / "empty.bin", "");
    writeFile(appFolder() / "out.bin", pattern(900000)); // longer: must be truncated
    testing::CallLog log;
    testing::RecordingView view(log);
    setTaskListView(&view);
    m_record.nListIndex = 2;
    m_record.fProgress = 0.25f;
    m_record.dSpeed = 7.0;

    const std::string url = c.nginx ? nginxUrl(c.path) : faultUrl(c.path);
    ASSERT_EQ(InternetGetFileShowOnList(url, "out.bin", m_localPath, &m_record), 0);

    EXPECT_EQ(readFile(appFolder() / "out.bin"), c.body);
    EXPECT_EQ(log.calls(), std::vector<std::string>{"size 2 " + std::to_string(c.sizeKb)});
    EXPECT_EQ(m_record.fProgress.load(), c.lengthAnnounced ? 1.0f : 0.25f);
    EXPECT_EQ(m_record.dSpeed.load(), 0.0);
    EXPECT_TRUE(shown().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Bodies, BodyTest,
    ::testing::Values(
        BodyCase{"NginxFile", true, "/plain.bin", pattern(300000), 292, true},
        BodyCase{"NginxEmptyFile", true, "/empty.bin", "", 0, false},
        BodyCase{"ZeroLength", false, "/pattern/0", "", 0, false},
        BodyCase{"UnderOneKb", false, "/pattern/1023", pattern(1023), 0, true},
        BodyCase{"NoContentLength", false, "/nolength/123456", pattern(123456), 0, false},
        BodyCase{"Chunked", false, "/chunked/123456", pattern(123456), 0, false},
        BodyCase{"Redirected", false, "/redirect/302?to=/pattern/5000", pattern(5000), 4, true},
        BodyCase{"NotFoundBody", false, "/status/404", "status 404 body", 0, true},
        BodyCase{"ServerErrorBody", false, "/status/500", "status 500 body", 0, true},
        BodyCase{"ForbiddenBody", false, "/status/403", "status 403 body", 0, true}),
    [](const auto& test) { return std::string(test.param.name); });

// While a slow body arrives, the record shows a speed and a growing fraction, as
// the window's refresh would read them.
TEST_F(DownloadTest, SpeedAndProgressMoveWhileTheBodyArrives) {
    testing::CallLog log;
    testing::RecordingView view(log);
    setTaskListView(&view);
    const std::string url = faultUrl("/slow/400000/40000/40");
    std::atomic<bool> done{false};
    std::vector<float> progress;
    double fastest = 0.0;
    std::thread refresh([&] {
        while (!done) {
            progress.push_back(m_record.fProgress.load());
            fastest = std::max(fastest, m_record.dSpeed.load());
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    });
    const int result = InternetGetFileShowOnList(url, "a.bin", m_localPath, &m_record);
    done = true;
    refresh.join();
    ASSERT_EQ(result, 0);
    EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end()));
    EXPECT_TRUE(std::any_of(progress.begin(), progress.end(),
                            [](float p) { return p > 0.0f && p < 1.0f; }));
    EXPECT_GT(fastest, 0.0);
    EXPECT_EQ(m_record.fProgress.load(), 1.0f);
    EXPECT_EQ(m_record.dSpeed.load(), 0.0);
    EXPECT_EQ(log.calls(), std::vector<std::string>{"size 0 390"});
}

// Without a row, or without a list, neither size nor progress is reported; the
// speed still is, and ends at 0.
TEST_F(DownloadTest, WithoutARowOnlyTheSpeedIsReported) {
    testing::CallLog log;
    testing::RecordingView view(log);
    for (const bool viewExists : {true, false}) {
        setTaskListView(viewExists ? &view : nullptr);
        m_record.nListIndex = viewExists ? -1 : 0;
        m_record.fProgress = 0.25f;
        m_record.dSpeed = 7.0;
        ASSERT_EQ(
            InternetGetFileShowOnList(faultUrl("/pattern/100000"), "a.bin", m_localPath, &m_record),
            0);
        EXPECT_EQ(m_record.fProgress.load(), 0.25f);
        EXPECT_EQ(m_record.dSpeed.load(), 0.0);
    }
    EXPECT_TRUE(log.calls().empty());
}

// The record is left alone by InternetGetFileOnly, which only traces its steps.
TEST_F(DownloadTest, FileOnlyReportsNothingAndTracesEveryStep) {
    testing::CallLog log;
    testing::RecordingView view(log);
    setTaskListView(&view);
    m_record.fProgress = 0.25f;
    m_record.dSpeed = 7.0;
    const std::string url = faultUrl("/pattern/5000");
    TraceRecorder trace;
    ASSERT_EQ(InternetGetFileOnly(url, "a.bin", m_localPath, &m_record), 0);
    EXPECT_EQ(readFile(appFolder() / "a.bin"), pattern(5000));
    EXPECT_EQ(trace.lines(), (std::vector<std::string>{
                                 kOnly, std::string(kOnly) + "---InternetGetConnectedState(..)",
                                 std::string(kOnly) + "---!(dwFlags & INTERNET_CONNECTION_PROXY)",
                                 std::string(kOnly) + "---InternetOpen(..)", "qel: szurl = " + url,
                                 std::string(kOnly) + "---InternetOpenUrl(..)",
                                 std::string(kOnly) + "---file.Open(..)"}));
    EXPECT_TRUE(log.calls().empty());
    EXPECT_EQ(m_record.fProgress.load(), 0.25f);
    EXPECT_EQ(m_record.dSpeed.load(), 7.0);
}

TEST_F(DownloadTest, ShowOnListTracesItsStartOnly) {
    TraceRecorder trace;
    ASSERT_EQ(InternetGetFileShowOnList(faultUrl("/pattern/10"), "a.bin", m_localPath, &m_record),
              0);
    EXPECT_EQ(trace.lines(), std::vector<std::string>{"qel: int InternetGetFileShowOnList(...)"});
}

// With a proxy in the environment the trace says so, and curl really uses it: an
// unreachable proxy makes the URL fail to open.
TEST_F(DownloadTest, ProxyFromTheEnvironmentIsTracedAndUsed) {
    const std::string proxyPort = std::to_string(test_servers::unusedLoopbackPort());
    const std::string proxy = "http://127.0.0.1:" + proxyPort;
    const ScopedEnvironment httpProxy("http_proxy", proxy.c_str());
    const ScopedEnvironment noProxy("no_proxy", nullptr);
    const ScopedEnvironment noProxyUpper("NO_PROXY", nullptr);
    TraceRecorder trace;
    const std::string url = "http://127.0.0.1:9/file.bin";
    EXPECT_EQ(InternetGetFileOnly(url, "a.bin", m_localPath, &m_record), -1);
    const std::vector<std::string> lines = trace.lines();
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[2], std::string(kOnly) + "---INTERNET_CONNECTION_PROXY");
    ASSERT_EQ(shown().size(), 1u);
    EXPECT_THAT(shown()[0].text, ::testing::HasSubstr("port " + proxyPort)) << shown()[0];
}

// The request carries a new agent name, takes anything and asks caches to stand
// aside.
TEST_F(DownloadTest, SendsAgentAcceptAndNoCacheHeaders) {
    ASSERT_EQ(InternetGetFileOnly(faultUrl("/headers"), "h.txt", m_localPath, &m_record), 0);
    const std::string headers = readFile(appFolder() / "h.txt");
    EXPECT_THAT(headers, ::testing::ContainsRegex("\r\nUser-Agent: Agent[0-9]+\r\n"));
    EXPECT_THAT(headers, ::testing::HasSubstr("\r\nAccept: */*\r\n"));
    EXPECT_THAT(headers, ::testing::HasSubstr("\r\nCache-Control: no-cache\r\n"));
    EXPECT_THAT(headers, ::testing::HasSubstr("\r\nPragma: no-cache\r\n"));
}

// Blanks and non-ASCII characters of a list's URL are encoded on the way out.
TEST_F(DownloadTest, UrlWithBlanksAndChineseReachesTheFile) {
    writeFile(servedFolder() / "游戏 补丁.bin", pattern(3000));
    ASSERT_EQ(InternetGetFileOnly(nginxUrl("/游戏 补丁.bin"), "p.bin", m_localPath, &m_record), 0);
    EXPECT_EQ(readFile(appFolder() / "p.bin"), pattern(3000));
}

TEST_F(DownloadTest, WithoutALocalNameLandsInANewTemporaryFile) {
    const fs::path tmp = appFolder() / "tmp";
    fs::create_directories(tmp);
    const ScopedEnvironment tmpdir("TMPDIR", tmp.c_str());
    std::string first;
    ASSERT_EQ(InternetGetFileOnly(faultUrl("/pattern/2000"), nullptr, first, &m_record), 0);
    ASSERT_EQ(InternetGetFileOnly(faultUrl("/pattern/10"), nullptr, m_localPath, &m_record), 0);
    EXPECT_NE(first, m_localPath);
    for (const std::string& path : {first, m_localPath}) {
        EXPECT_EQ(fs::path(path).parent_path(), tmp);
        EXPECT_TRUE(fs::path(path).filename().string().starts_with("kiv")) << path;
    }
    EXPECT_EQ(readFile(first), pattern(2000));
    EXPECT_EQ(readFile(m_localPath), pattern(10));
}

struct LocalFailureCase {
    const char* name;
    const char* tmpdir;    // TMPDIR during the download
    const char* localName; // null: a temporary file
    std::string message;   // "$PATH" stands for the local path
};

void PrintTo(const LocalFailureCase& c, std::ostream* out) {
    *out << c.name;
}

class LocalFailureTest : public DownloadTest,
                         public ::testing::WithParamInterface<LocalFailureCase> {};

// When the local file cannot be made, nothing is fetched and the user is told.
TEST_P(LocalFailureTest, EndsWithAMessage) {
    const LocalFailureCase& c = GetParam();
    writeFile(appFolder() / "blocker", "a file where a folder should be");
    const ScopedEnvironment tmpdir("TMPDIR", c.tmpdir);
    for (const bool onList : {true, false}) {
        const auto run = onList ? InternetGetFileShowOnList : InternetGetFileOnly;
        EXPECT_EQ(run(faultUrl("/pattern/10"), c.localName, m_localPath, &m_record), -1);
    }
    std::string message = c.message;
    if (const auto at = message.find("$PATH"); at != std::string::npos) {
        message.replace(at, 5, (appFolder() / "blocker/file.bin").string());
    }
    EXPECT_EQ(shown(), std::vector<ShownMessage>(2, error(message)));
}

INSTANTIATE_TEST_SUITE_P(
    Failures, LocalFailureTest,
    ::testing::Values(LocalFailureCase{"NoTemporaryDirectory", "/nonexistent/folder", nullptr,
                                       "获取临时文件路径出错."},
                      LocalFailureCase{"NoTemporaryName", "/proc", nullptr, "获取临时文件名出错."},
                      LocalFailureCase{"FolderIsAFile", nullptr, "blocker\\file.bin",
                                       "无法打开本地文件.\n文件:$PATH.\n错误信息:Not a directory."},
                      LocalFailureCase{
                          "OutsideUpdatesDirectory", nullptr, "data\\..\\..\\escape.bin",
                          "本地文件名不能指向更新目录之外.\n文件名:data\\..\\..\\escape.bin."}),
    [](const auto& test) { return std::string(test.param.name); });

TEST_F(DownloadTest, WithoutATaskRecordNothingIsFetched) {
    for (const auto run : {InternetGetFileShowOnList, InternetGetFileOnly}) {
        EXPECT_EQ(run(faultUrl("/pattern/10"), "a.bin", m_localPath, nullptr), -1);
    }
    EXPECT_EQ(shown(),
              std::vector<ShownMessage>(2, error("sUpdateStruct *pupdateStruct  为 NULL.")));
    EXPECT_FALSE(fs::exists(appFolder() / "a.bin"));
}

} // namespace
} // namespace update::download_testing
