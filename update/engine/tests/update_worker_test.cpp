#include "update/engine/update_worker.h"

#include <chrono>
#include <filesystem>
#include <sstream>
#include <thread>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "http_test_servers.h"
#include "platform/testing/test_files.h"
#include "platform/text_codec.h"
#include "recording_ports.h"
#include "recording_presenter.h"
#include "update/engine/process_state.h"
#include "update/engine/task_record.h"
#include "zip_writer.h"

namespace {

namespace fs = std::filesystem;
using namespace update;
using namespace update::testing;
using ::platform::testing::readFile;
using ::platform::testing::writeFile;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

// One line per entry: "action|srcfile|destfile|cmd"; the terminator is added.
std::string updateList(const std::vector<std::string>& entries) {
    std::string text;
    int number = 0;
    for (const auto& entry : entries) {
        std::vector<std::string> fields;
        std::stringstream in(entry);
        for (std::string field; std::getline(in, field, '|');) {
            fields.push_back(field);
        }
        fields.resize(4);
        text += "[list" + std::to_string(number++) + "]\r\naction=" + fields[0] +
                "\r\nsrcfile=" + fields[1] + "\r\ndestfile=" + fields[2] + "\r\ncmd=" + fields[3] +
                "\r\n";
    }
    text += "[list" + std::to_string(number) + "]\r\naction=0\r\n";
    return platform::legacyFromUtf8(text);
}

// Update's directory, a web root with an index naming one list, and a task for it.
class UpdateWorkerTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_install = m_scratch.path() / "install";
        m_web = m_scratch.path() / "web";
        fs::create_directories(m_install);
        fs::create_directories(m_web);
        std::string error;
        m_server = update::test_servers::startFaultServer(m_web, error);
        ASSERT_NE(m_server, nullptr) << error;
        setAppPath(m_install);
        fs::current_path(m_install); // the trace log opens here on first use
        g_bStop = false;
        m_record = std::make_shared<sUpdateStruct>();
        m_record->nListIndex = -1;
        setWireText(m_record->g_url, m_server->url("/index.ini"));
        setWireText(m_record->g_ver, "1.0");
    }
    void TearDown() override { fs::current_path(m_scratch.path()); }

    void publishList(const std::vector<std::string>& entries) {
        writeFile(m_web / "index.ini", "[config]\r\n1.0=" + m_server->url("/list.ini") + "\r\n");
        writeFile(m_web / "list.ini", updateList(entries));
    }

    std::string url(const std::string& path) const { return m_server->url(path); }

    std::vector<std::string> traceLines() const {
        std::vector<std::string> lines;
        std::stringstream in(platform::utf8FromLegacy(readFile(m_install / "output.txt")));
        for (std::string line; std::getline(in, line);) {
            if (!line.empty() && line.back() == '\r') {
                line.pop_back();
            }
            lines.push_back(line);
        }
        return lines;
    }

    ::platform::testing::ScratchDirectory m_scratch;
    fs::path m_install;
    fs::path m_web;
    std::unique_ptr<update::test_servers::HttpTestServer> m_server;
    std::shared_ptr<sUpdateStruct> m_record;
    RecordingPresenter m_presenter;
};

TEST_F(UpdateWorkerTest, AListUsingEveryCommandInstallsAndTracesInOrder) {
    using unzip_test::ZipMember;
    writeFile(m_web / "game.zip",
              unzip_test::buildZip({{"data/maps/1.map", "map", false},
                                    {platform::legacyFromUtf8("数据/说明.txt"), "说明", false}}));
    writeFile(m_web / "readme.txt", "read me");
    writeFile(m_install / "old.txt", "old");
    writeFile(m_install / "oldfolder/inner/x.txt", "x");
    writeFile(m_install / "a.txt", "a");
    writeFile(m_install / "b.txt", "b");
    writeFile(m_install / "c.txt", "c");
    writeFile(m_install / "run.sh", "#!/bin/sh\necho started > \"$(dirname \"$0\")/marker\"\n");
    fs::permissions(m_install / "run.sh", fs::perms::owner_all);
    publishList({
        "3|" + url("/game.zip") + "|game.zip|DEC",
        "1||old.txt|DEL",
        "1||oldfolder|DEL",
        "1|a.txt|moved\\a.txt|MOVE",
        "1|b.txt|copied\\b.txt|COPY",
        "1|c.txt|c2.txt|REN",
        "1||newdir|CRE",
        "1||run.sh|EXEC",
        "2|" + url("/readme.txt") + "|\\docs\\readme.txt|",
    });

    EXPECT_EQ(UpdateWorkerThread(m_record), 0);

    EXPECT_THAT(m_presenter.shown(), IsEmpty());
    EXPECT_EQ(readFile(m_install / "data/maps/1.map"), "map");
    EXPECT_EQ(readFile(m_install / fs::u8path("数据/说明.txt")), "说明");
    EXPECT_FALSE(fs::exists(m_install / "game.zip"));
    EXPECT_EQ(m_record->nState, 2);
    EXPECT_FALSE(fs::exists(m_install / "old.txt"));
    EXPECT_FALSE(fs::exists(m_install / "oldfolder"));
    EXPECT_FALSE(fs::exists(m_install / "a.txt"));
    EXPECT_EQ(readFile(m_install / "moved/a.txt"), "a");
    EXPECT_EQ(readFile(m_install / "b.txt"), "b");
    EXPECT_EQ(readFile(m_install / "copied/b.txt"), "b");
    EXPECT_EQ(readFile(m_install / "c2.txt"), "c");
    EXPECT_TRUE(fs::is_directory(m_install / "newdir"));
    EXPECT_EQ(readFile(m_install / "docs/readme.txt"), "read me");
    for (int i = 0; i < 250 && !fs::exists(m_install / "marker"); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_EQ(readFile(m_install / "marker"), "started\n");

    const std::string command = "执行命令:";
    EXPECT_THAT(
        traceLines(),
        ElementsAre(url("/index.ini"), command + url("/game.zip") + "-----game.zip-----3-----DEC",
                    "下载完毕开始解压", "解压完毕，开始删除文件", "删除完毕",
                    command + "-----old.txt-----1-----DEL",
                    command + "-----oldfolder-----1-----DEL",
                    command + "a.txt-----moved\\a.txt-----1-----MOVE",
                    command + "b.txt-----copied\\b.txt-----1-----COPY",
                    command + "c.txt-----c2.txt-----1-----REN",
                    command + "-----newdir-----1-----CRE", command + "-----run.sh-----1-----EXEC",
                    command + url("/readme.txt") + "-----\\docs\\readme.txt-----2-----"));
}

struct FailingEntryCase {
    const char* name;
    std::string entry;
    ShownMessage message;
};

TEST_F(UpdateWorkerTest, AFailingCommandStopsTheTaskWithItsMessage) {
    writeFile(m_install / "c.txt", "c");
    writeFile(m_install / "d.txt", "d");
    const FailingEntryCase cases[] = {
        {"rename onto an existing file", "1|c.txt|d.txt|REN",
         error("rename执行失败,源文件:c.txt,目标文件:d.txt.错误号:17")},
        {"rename of a missing file", "1|none.txt|e.txt|REN",
         error("rename执行失败,源文件:none.txt,目标文件:e.txt.错误号:2")},
        {"create below a missing folder", "1||missing\\new|CRE",
         error("CreateDirectory执行失败,目录:missing\\new.错误号:2")},
        {"create an existing folder", "1||.|CRE",
         error("CreateDirectory执行失败,目录:..错误号:17")},
        {"command in lower case", "1||c.txt|del", error("未知的更新命令. del")},
        {"move without a source", "1||x|MOVE",
         error("执行更新列表文件错误,动作为移动文件但源文件路径为空.")},
        {"copy without a source", "1||x|COPY",
         error("执行更新列表文件错误,动作为复制文件但源文件路径为空.")},
        {"rename without a source", "1||x|REN",
         error("执行更新列表文件错误,动作为重命名但源文件路径为空.")},
        {"move of a missing file", "1|none.txt|x|MOVE", error("移动 none.txt 到 x 失败.")},
        {"copy of a missing file", "1|none.txt|x|COPY", error("复制 none.txt 到 x 失败.")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        RecordingPresenter presenter;
        // The failing entry comes first; the second would leave a marker folder. The
        // last entry's source must exist for the list to pass its check.
        publishList({c.entry, "1|" + url("/index.ini") + "|after|CRE"});
        EXPECT_EQ(UpdateWorkerThread(m_record), -1);
        EXPECT_THAT(presenter.shown(), ElementsAre(c.message));
        EXPECT_FALSE(fs::exists(m_install / "after"));
    }
    EXPECT_EQ(readFile(m_install / "c.txt"), "c");
    EXPECT_EQ(readFile(m_install / "d.txt"), "d");
}

TEST_F(UpdateWorkerTest, AFailedDownloadDoesNotStopTheTask) {
    const std::string unreachable =
        "http://127.0.0.1:" + std::to_string(update::test_servers::unusedLoopbackPort()) + "/f.zip";
    publishList({"2|" + unreachable + "|f.zip|", "1|" + url("/index.ini") + "|after|CRE"});
    EXPECT_EQ(UpdateWorkerThread(m_record), 0);
    ASSERT_EQ(m_presenter.shown().size(), 1u);
    EXPECT_EQ(m_presenter.shown()[0].caption, "错误");
    EXPECT_TRUE(fs::is_directory(m_install / "after"));
}

TEST_F(UpdateWorkerTest, CancellingADownloadDeletesThePartialFileAndLeavesTheRow) {
    // 2 MB at 64 KB every 50 ms: the download runs long enough to be cancelled.
    publishList({"3|" + url("/slow/2097152/65536/50") + "?f.zip|f.zip|DEC",
                 "1|" + url("/index.ini") + "|after|CRE"});
    ManualTarget owner;
    m_record->pOwner = &owner;
    m_record->nListIndex = 0;
    std::thread canceller([this] {
        for (int i = 0; i < 500 && !fs::exists(m_install / "f.zip"); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        m_record->bCancel = true;
    });
    // The supervisor clears the flag when it starts; the canceller sets it later.
    TaskSupervisorThread(m_record);
    canceller.join();

    EXPECT_FALSE(fs::exists(m_install / "f.zip"));
    EXPECT_FALSE(fs::exists(m_install / "after"));
    EXPECT_THAT(m_presenter.shown(), IsEmpty());
    EXPECT_LT(m_record->fProgress, 1.0f);
    TaskMessage refresh;
    TaskMessage ended;
    ASSERT_TRUE(owner.takeNext(refresh));
    ASSERT_TRUE(owner.takeNext(ended));
    EXPECT_EQ(refresh.code, MyMessageCode::RefreshRow);
    EXPECT_EQ(ended.code, MyMessageCode::TaskEnded);
    EXPECT_EQ(ended.record, m_record);
}

TEST_F(UpdateWorkerTest, TheSupervisorShowsACompleteTaskAtOneHundredPercent) {
    publishList({"1||made|CRE"});
    ManualTarget owner;
    m_record->pOwner = &owner;
    m_record->nListIndex = 0;
    m_record->dSpeed = 33.0;
    TaskSupervisorThread(m_record);
    EXPECT_EQ(m_record->fProgress, 1.0f);
    EXPECT_EQ(m_record->dSpeed, 0.0);
    TaskMessage message;
    ASSERT_TRUE(owner.takeNext(message));
    EXPECT_EQ(message.code, MyMessageCode::RefreshRow);
    ASSERT_TRUE(owner.takeNext(message));
    EXPECT_EQ(message.code, MyMessageCode::TaskEnded);

    // Once Update is closing, a task that starts is not even reported.
    g_bStop = true;
    TaskSupervisorThread(m_record);
    EXPECT_FALSE(owner.takeNext(message));
    g_bStop = false;
}

} // namespace
