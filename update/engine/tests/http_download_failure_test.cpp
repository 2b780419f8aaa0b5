// Downloads that fail on the network or are cancelled, against real servers on
// loopback.
#include <atomic>
#include <chrono>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "update/engine/http_download.h"
#include "update/engine/tests/download_fixture.h"

namespace update::download_testing {
namespace {

using Clock = std::chrono::steady_clock;

// A failure on the network: where it happens (a URL; a path on the fault server
// when it starts with '/'; a port nobody listens on when empty) and a piece of
// curl's description of it.
struct NetworkFailureCase {
    const char* name;
    const char* where;
    const char* curlText;
};

void PrintTo(const NetworkFailureCase& c, std::ostream* out) {
    *out << c.name;
}

class NetworkFailureTest : public DownloadTest,
                           public ::testing::WithParamInterface<NetworkFailureCase> {
protected:
    void SetUp() override {
        DownloadTest::SetUp();
        setDownloadTimeouts({std::chrono::milliseconds(5000), std::chrono::seconds(1)});
    }
    std::string url() {
        const std::string where = GetParam().where;
        if (where.empty()) {
            return "http://127.0.0.1:" + std::to_string(test_servers::unusedLoopbackPort()) +
                   "/a.bin";
        }
        return where.starts_with("/") ? faultUrl(where) : where;
    }
};

using OpenFailureTest = NetworkFailureTest;

// A URL that cannot be opened shows curl's description of the failure and makes
// no local file.
TEST_P(OpenFailureTest, ShowsCurlsTextAndMakesNoFile) {
    const std::string target = url();
    EXPECT_EQ(InternetGetFileShowOnList(target, "a.bin", m_localPath, &m_record), -1);
    ASSERT_EQ(shown().size(), 1u);
    const testing::ShownMessage message = shown()[0];
    EXPECT_EQ(message.caption, "错误");
    EXPECT_EQ(message.icon, MessageIcon::Error);
    EXPECT_THAT(message.text,
                ::testing::StartsWith("InternetOpenUrl 错误.\n网址:" + target + ".\n错误信息:"));
    EXPECT_THAT(message.text, ::testing::HasSubstr(GetParam().curlText));
    EXPECT_THAT(message.text, ::testing::EndsWith("."));
    EXPECT_FALSE(fs::exists(appFolder() / "a.bin"));
}

INSTANTIATE_TEST_SUITE_P(
    Urls, OpenFailureTest,
    ::testing::Values(NetworkFailureCase{"Refused", "", "Failed to connect to 127.0.0.1"},
                      NetworkFailureCase{"SilentServer", "/silent", "Operation too slow"},
                      NetworkFailureCase{"OtherProtocol", "ftp://127.0.0.1/a.bin",
                                         "Protocol \"ftp\" not supported"}),
    [](const auto& test) { return std::string(test.param.name); });

using ReadFailureTest = NetworkFailureTest;

// A body that breaks off deletes the partial file and shows curl's description.
TEST_P(ReadFailureTest, DeletesTheFileAndShowsCurlsText) {
    const auto started = Clock::now();
    EXPECT_EQ(InternetGetFileShowOnList(url(), "a.bin", m_localPath, &m_record), -1);
    EXPECT_LT(Clock::now() - started, std::chrono::seconds(4));
    EXPECT_FALSE(fs::exists(appFolder() / "a.bin"));
    ASSERT_EQ(shown().size(), 1u);
    EXPECT_EQ(shown()[0].caption, "错误");
    EXPECT_THAT(shown()[0].text, ::testing::StartsWith("InternetReadFile 错误.\n 错误信息:"));
    EXPECT_THAT(shown()[0].text, ::testing::HasSubstr(GetParam().curlText));
}

INSTANTIATE_TEST_SUITE_P(Bodies, ReadFailureTest,
                         ::testing::Values(NetworkFailureCase{"Dropped", "/drop/100000/50000",
                                                              "with 50000 bytes remaining"},
                                           NetworkFailureCase{"Stalled", "/stall/100000/1",
                                                              "Operation too slow"}),
                         [](const auto& test) { return std::string(test.param.name); });

// Certificates are checked: a server that no authority vouches for is not talked
// to, and does not exist for UrlExists.
TEST_F(DownloadTest, UntrustedCertificateIsRefused) {
    std::string reason;
    const auto server = test_servers::startTlsFaultServer(servedFolder(), reason);
    ASSERT_TRUE(server) << reason;
    const std::string url = server->url("/pattern/10");
    EXPECT_EQ(InternetGetFileOnly(url, "a.bin", m_localPath, &m_record), -1);
    EXPECT_FALSE(UrlExists(url));
    ASSERT_EQ(shown().size(), 1u);
    EXPECT_THAT(shown()[0].text, ::testing::HasSubstr("SSL certificate problem"));
    EXPECT_FALSE(fs::exists(appFolder() / "a.bin"));
}

// A local file that cannot take the body (a full disk here) is deleted and the
// user told: the download is not reported as done.
TEST_F(DownloadTest, WriteFailureDeletesTheFileAndTellsTheUser) {
    const fs::path local = appFolder() / "full.bin";
    fs::create_symlink("/dev/full", local);
    EXPECT_EQ(
        InternetGetFileShowOnList(faultUrl("/pattern/5000"), "full.bin", m_localPath, &m_record),
        -1);
    EXPECT_FALSE(fs::exists(fs::symlink_status(local)));
    EXPECT_EQ(shown(), std::vector<testing::ShownMessage>{
                           testing::error("写入本地文件错误.\n文件:" + local.string() +
                                          ".\n错误信息:No space left on device.")});
}

enum class Flag { TaskCancel, GlobalStop };

// Runs a download on a thread of its own, as a task's worker does, and cancels
// it once `partialBytes` have reached the local file.
struct CancelCase {
    const char* name;
    std::string path;
    std::size_t partialBytes;
    Flag flag;
};

void PrintTo(const CancelCase& c, std::ostream* out) {
    *out << c.name;
}

class CancelTest : public DownloadTest, public ::testing::WithParamInterface<CancelCase> {};

// Cancelling ends the download within a second, also while the server sends
// nothing; it shows nothing and keeps what was received.
TEST_P(CancelTest, EndsSoonSilentlyAndKeepsThePartialFile) {
    const CancelCase& c = GetParam();
    const fs::path local = appFolder() / "a.bin";
    const std::string url = faultUrl(c.path);
    std::atomic<int> result{1};
    std::atomic<Clock::rep> endedAt{0};
    std::thread worker([&] {
        std::string localPath;
        result = InternetGetFileShowOnList(url, "a.bin", localPath, &m_record);
        endedAt = Clock::now().time_since_epoch().count();
    });
    const auto deadline = Clock::now() + std::chrono::seconds(10);
    std::error_code ignored;
    while (fs::file_size(local, ignored) < c.partialBytes || ignored) {
        if (Clock::now() > deadline) {
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    const auto cancelledAt = Clock::now();
    (c.flag == Flag::TaskCancel ? m_record.bCancel : g_bStop) = true;
    worker.join();

    EXPECT_EQ(result.load(), -1);
    EXPECT_LT(Clock::time_point(Clock::duration(endedAt.load())) - cancelledAt,
              std::chrono::seconds(1));
    EXPECT_TRUE(shown().empty());
    const std::string partial = readFile(local);
    EXPECT_GE(partial.size(), c.partialBytes);
    EXPECT_LT(partial.size(), 2000000u);
    EXPECT_EQ(partial, pattern(partial.size()));
}

INSTANTIATE_TEST_SUITE_P(
    Transfers, CancelTest,
    ::testing::Values(
        CancelCase{"SilentServerByTask", "/stall/2000000/3000", 3000, Flag::TaskCancel},
        CancelCase{"SilentServerByStop", "/stall/2000000/3000", 3000, Flag::GlobalStop},
        CancelCase{"FlowingByTask", "/slow/2000000/4000/20", 8000, Flag::TaskCancel},
        CancelCase{"FlowingByStop", "/slow/2000000/4000/20", 8000, Flag::GlobalStop}),
    [](const auto& test) { return std::string(test.param.name); });

// The process-wide stop, set before a download starts, ends it before anything
// is requested, without a message.
TEST_F(DownloadTest, StopBeforeTheStartFetchesNothing) {
    g_bStop = true;
    EXPECT_EQ(InternetGetFileShowOnList(faultUrl("/pattern/5000"), "a.bin", m_localPath, &m_record),
              -1);
    EXPECT_TRUE(shown().empty());
    EXPECT_FALSE(fs::exists(appFolder() / "a.bin"));
}

} // namespace
} // namespace update::download_testing
