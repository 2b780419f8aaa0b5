// Fetching index files and update lists, and the final existence test, against a
// real HTTP server on loopback.
#include "update/engine/update_list.h"

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/testing/test_files.h"
#include "platform/text_codec.h"
#include "update/engine/process_state.h"
#include "update/engine/task_record.h"
#include "update/engine/tests/http_test_servers.h"
#include "update/engine/tests/recording_presenter.h"
#include "update/engine/trace_log.h"

namespace {

namespace fs = std::filesystem;
using platform::testing::readFile;
using platform::testing::ScratchDirectory;
using platform::testing::writeFile;
using update::CheckedUpdateList;
using update::UpdateListResult;
using update::test_servers::HttpTestServer;
using update::testing::error;
using update::testing::notice;
using update::testing::RecordingPresenter;
using update::testing::ShownMessage;

// The process's trace log is opened once, in the directory current at its first
// use; open it in a folder of this test program's own, so that the folders of
// single tests can come and go.
class TraceLogEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        s_folderPath = m_folder.path();
        const fs::path previous = fs::current_path();
        fs::current_path(s_folderPath);
        update::traceLog();
        fs::current_path(previous);
    }
    static fs::path logPath() { return s_folderPath / "output.txt"; }

private:
    ScratchDirectory m_folder;
    inline static fs::path s_folderPath;
};

[[maybe_unused]] const auto* const kTraceLogEnvironment =
    ::testing::AddGlobalTestEnvironment(new TraceLogEnvironment);

// A server publishing files from a folder, and a folder standing in for
// Update's directory.
class UpdateListServerTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_startDirectory = fs::current_path();
        update::setAppPath(m_updateDirectory.path());
        // Fetched files stay in the temporary directory: keep them in the test's.
        if (const char* previous = std::getenv("TMPDIR")) {
            m_previousTmpdir = previous;
        }
        ::setenv("TMPDIR", m_temporaryDirectory.path().c_str(), 1);
        std::string reason;
        m_server = update::test_servers::startFaultServer(m_webRoot.path(), reason);
        ASSERT_TRUE(m_server) << reason;
        m_traceLogSize = readFile(TraceLogEnvironment::logPath()).size();
    }

    void TearDown() override {
        if (m_server) {
            m_server->stop();
        }
        fs::current_path(m_startDirectory);
        if (m_previousTmpdir) {
            ::setenv("TMPDIR", m_previousTmpdir->c_str(), 1);
        } else {
            ::unsetenv("TMPDIR");
        }
    }

    // Publishes `utf8` in the legacy code page under `name`; returns its URL.
    std::string publish(const std::string& name, const std::string& utf8) const {
        writeFile(m_webRoot.path() / name, platform::legacyFromUtf8(utf8));
        return url(name);
    }
    std::string url(const std::string& name) const { return m_server->url("/" + name); }

    // What the trace log received since the test started.
    std::string newTraceLines() const {
        return readFile(TraceLogEnvironment::logPath()).substr(m_traceLogSize);
    }

    ScratchDirectory m_webRoot;
    ScratchDirectory m_updateDirectory;
    ScratchDirectory m_temporaryDirectory;
    std::optional<std::string> m_previousTmpdir;
    fs::path m_startDirectory;
    std::unique_ptr<HttpTestServer> m_server;
    std::size_t m_traceLogSize = 0;
};

std::string notExist(const std::string& url) {
    return "更新URL(" + url + ")文件不存在.";
}

// One FetchUpdateList run for a task that names `indexUrl` and `version`, with
// the messages it showed. The out-parameters start as "untouched", so a run that
// fails can be seen to leave them alone.
struct FetchRun {
    bool fetched = false;
    std::string listPath = "untouched";
    std::string listUrl = "untouched";
    std::vector<ShownMessage> shown;
};

FetchRun fetchList(const std::string& indexUrl, const std::string& version = {}) {
    RecordingPresenter presenter;
    update::sUpdateStruct task;
    update::setWireText(task.g_url, indexUrl);
    update::setWireText(task.g_ver, version);
    FetchRun run;
    run.fetched = update::FetchUpdateList(task, run.listPath, run.listUrl);
    run.shown = presenter.shown();
    return run;
}

const std::string kList = "[list0]\naction=1\ncmd=CRE\ndestfile=games\n[list1]\naction=0\n";

struct FetchCase {
    const char* name;
    std::string index;    // the index file; "$A" and "$B" stand for the URLs of lists a and b
    std::string version;  // the task's installed version
    const char* listName; // the list expected to be fetched; null when the fetch must fail
};

class UpdateListFetchTest : public UpdateListServerTest,
                            public ::testing::WithParamInterface<FetchCase> {};

TEST_P(UpdateListFetchTest, FetchesTheListTheIndexNamesForTheVersion) {
    const FetchCase& c = GetParam();
    const std::string listA = publish("a.ini", kList);
    const std::string listB = publish("b.ini", kList + "; b\n");
    std::string index = c.index;
    for (const auto& [mark, value] : {std::pair{"$A", listA}, std::pair{"$B", listB}}) {
        for (auto at = index.find(mark); at != std::string::npos; at = index.find(mark)) {
            index.replace(at, 2, value);
        }
    }
    const std::string indexUrl = publish("index.ini", index);

    const FetchRun run = fetchList(indexUrl, c.version);

    EXPECT_EQ(fs::current_path(), m_updateDirectory.path());
    EXPECT_EQ(newTraceLines(), indexUrl + "\r\n");
    if (c.listName == nullptr) {
        EXPECT_FALSE(run.fetched);
        EXPECT_EQ(run.shown, std::vector<ShownMessage>{
                                 notice("更新URL(" + indexUrl + ")文件内other项配置错误.")});
        EXPECT_EQ(run.listPath, "untouched");
        EXPECT_EQ(run.listUrl, "untouched");
        return;
    }
    ASSERT_TRUE(run.fetched);
    EXPECT_TRUE(run.shown.empty());
    EXPECT_EQ(run.listUrl, url(c.listName));
    EXPECT_EQ(readFile(run.listPath), readFile(m_webRoot.path() / c.listName));
    // Index and list both stay behind as temporary files "kiv…".
    std::vector<std::string> temporaryFiles;
    for (const auto& file : fs::directory_iterator(m_temporaryDirectory.path())) {
        temporaryFiles.push_back(file.path().filename().string());
    }
    ASSERT_EQ(temporaryFiles.size(), 2u);
    EXPECT_TRUE(temporaryFiles[0].starts_with("kiv") && temporaryFiles[1].starts_with("kiv"));
    EXPECT_EQ(fs::path(run.listPath).parent_path(), m_temporaryDirectory.path());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, UpdateListFetchTest,
    ::testing::Values(
        FetchCase{"VersionKeyWinsOverOther", "[config]\nother=$B\n1.0.3=$A\n", "1.0.3", "a.ini"},
        FetchCase{"OtherForVersionWithoutKey", "[config]\n1.0.3=$A\nother=$B\n", "0.9", "b.ini"},
        FetchCase{"EmptyVersionValueCountsAsAbsent", "[config]\n1.0.3=\nother=$B\n", "1.0.3",
                  "b.ini"},
        FetchCase{"NamesWithoutCaseAndQuotedValue", "[CONFIG]\r\nV1.0=\"$A\"\r\n", "v1.0", "a.ini"},
        FetchCase{"NeitherKey", "[config]\n2.0=$A\n", "1.0", nullptr},
        FetchCase{"KeysOutsideConfigDoNotCount", "[other]\nother=$A\n1.0=$A\n", "1.0", nullptr},
        FetchCase{"EmptyVersionUsesOther", "[config]\n=$A\nother=$B\n", "", "b.ini"}),
    [](const ::testing::TestParamInfo<FetchCase>& test) { return test.param.name; });

TEST_F(UpdateListServerTest, MissingIndexGivesNotExistMessageAndNoTraceLine) {
    const std::string indexUrl = url("missing-index.ini");
    const FetchRun run = fetchList(indexUrl, "1.0");
    EXPECT_FALSE(run.fetched);
    EXPECT_EQ(run.shown, std::vector<ShownMessage>{notice(notExist(indexUrl))});
    EXPECT_EQ(newTraceLines(), "");
}

TEST_F(UpdateListServerTest, MissingListGivesNotExistMessageWithListUrl) {
    const std::string listUrl = url("missing-list.ini");
    const std::string indexUrl = publish("index.ini", "[config]\nother=" + listUrl + "\n");
    const FetchRun run = fetchList(indexUrl);
    EXPECT_FALSE(run.fetched);
    EXPECT_EQ(run.shown, std::vector<ShownMessage>{notice(notExist(listUrl))});
    EXPECT_EQ(newTraceLines(), indexUrl + "\r\n");
}

TEST_F(UpdateListServerTest, ListUrlLongerThanItsBufferIsRefused) {
    const std::string longUrl = url(std::string(998, 'x'));
    const std::string indexUrl = publish("index.ini", "[config]\nother=" + longUrl + "\n");
    const FetchRun run = fetchList(indexUrl);
    EXPECT_FALSE(run.fetched);
    EXPECT_EQ(run.shown, std::vector<ShownMessage>{error(
                             "更新URL(" + indexUrl + ")文件内other项配置错误,网址超过998字节.")});
}

TEST_F(UpdateListServerTest, UnreachableIndexHostGivesNotExistMessage) {
    const std::string indexUrl =
        "http://127.0.0.1:" + std::to_string(update::test_servers::unusedLoopbackPort()) +
        "/index.ini";
    const FetchRun run = fetchList(indexUrl);
    EXPECT_FALSE(run.fetched);
    EXPECT_EQ(run.shown, std::vector<ShownMessage>{notice(notExist(indexUrl))});
}

// Going on in the wrong directory would install the update's files there.
TEST(UpdateListDirectoryTest, MissingUpdateDirectoryStopsBeforeAnyDownload) {
    const ScratchDirectory parent;
    const fs::path missing = parent.path() / "gone";
    update::setAppPath(missing);
    const fs::path start = fs::current_path();
    const FetchRun run = fetchList("http://127.0.0.1:1/index.ini");
    EXPECT_FALSE(run.fetched);
    EXPECT_EQ(run.shown,
              std::vector<ShownMessage>{error("设置当前目录失败,目录:" + missing.string() +
                                              "/.错误号:" + std::to_string(ENOENT))});
    EXPECT_EQ(fs::current_path(), start);
}

struct ExistenceCase {
    const char* name;
    std::string list;    // "$BASE" stands for the server's URL
    const char* missing; // srcfile of the not-exist message ("$BASE" likewise); null: passes
};

class UpdateListExistenceTest : public UpdateListServerTest,
                                public ::testing::WithParamInterface<ExistenceCase> {};

TEST_P(UpdateListExistenceTest, TestsOnlyTheLastSourceBeforeTheTerminator) {
    const ExistenceCase& c = GetParam();
    publish("game.zip", "archive");
    const auto withBase = [this](std::string text) {
        for (auto at = text.find("$BASE"); at != std::string::npos; at = text.find("$BASE")) {
            text.replace(at, 5, m_server->url(""));
        }
        return text;
    };
    const std::string listUrl = publish("list.ini", withBase(c.list));
    std::string listPath;
    std::string fetchedUrl;
    RecordingPresenter presenter;
    update::sUpdateStruct task;
    update::setWireText(task.g_url, publish("index.ini", "[config]\nother=" + listUrl + "\n"));
    ASSERT_TRUE(update::FetchUpdateList(task, listPath, fetchedUrl));

    const CheckedUpdateList checked = update::CheckUpdateList(listPath, fetchedUrl, task);
    if (c.missing == nullptr) {
        EXPECT_EQ(checked.result, UpdateListResult::Ok);
        EXPECT_TRUE(presenter.shown().empty());
    } else {
        EXPECT_EQ(checked.result, UpdateListResult::Refused);
        EXPECT_EQ(presenter.shown(),
                  std::vector<ShownMessage>{notice(notExist(withBase(c.missing)))});
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, UpdateListExistenceTest,
    ::testing::Values(
        ExistenceCase{"LastSourceExists",
                      "[list0]\naction=3\nsrcfile=$BASE/game.zip\ndestfile=g.zip\ncmd=DEC\n"
                      "[list1]\naction=0\n",
                      nullptr},
        ExistenceCase{"LastSourceMissing",
                      "[list0]\naction=2\nsrcfile=$BASE/game.zip\ndestfile=g.zip\n"
                      "[list1]\naction=2\nsrcfile=$BASE/gone.zip\ndestfile=h.zip\n"
                      "[list2]\naction=0\n",
                      "$BASE/gone.zip"},
        ExistenceCase{"OnlyTheLastIsTested",
                      "[list0]\naction=2\nsrcfile=$BASE/gone.zip\ndestfile=g.zip\n"
                      "[list1]\naction=1\nsrcfile=$BASE/game.zip\ndestfile=g.zip\ncmd=DEC\n"
                      "[list2]\naction=0\n",
                      nullptr},
        ExistenceCase{"LastCommandWithoutSource",
                      "[list0]\naction=2\nsrcfile=$BASE/game.zip\ndestfile=g.zip\n"
                      "[list1]\naction=1\ndestfile=g.zip\ncmd=DEC\n[list2]\naction=0\n",
                      ""},
        ExistenceCase{"TerminatorFirstTestsNothing", "[list0]\naction=0\n", nullptr}),
    [](const ::testing::TestParamInfo<ExistenceCase>& test) { return test.param.name; });

} // namespace
