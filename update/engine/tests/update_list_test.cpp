// The validation pass of update lists, on lists parsed from memory or disk; no
// network. Fetching and the final existence test: update_list_fetch_test.cpp.
#include "update/engine/update_list.h"

#include <chrono>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <unistd.h>

#include "platform/text_codec.h"
#include "update/engine/process_state.h"
#include "update/engine/profile_file.h"
#include "update/engine/task_record.h"
#include "update/engine/tests/recording_presenter.h"

namespace {

namespace fs = std::filesystem;
using update::CheckedUpdateList;
using update::ProfileFile;
using update::UpdateListResult;
using update::testing::error;
using update::testing::notice;
using update::testing::RecordingPresenter;
using update::testing::ShownMessage;

const std::string kListUrl = "http://127.0.0.1/list.ini";
const std::string kActionMessage = "更新URL(" + kListUrl + ")文件内action项配置错误.";
const std::string kNoCommand = "解析更新列表文件错误,动作有命令但命令为空.";
const std::string kNoCommandTarget = "解析更新列表文件错误,动作有命令但目标文件为空.";

std::string noDownloadPath(const std::string& srcfile, const std::string& destfile) {
    return "解析更新列表文件错误,动作为下载文件但文件路径为空.\n源文件: " + srcfile +
           "\n目标文件:" + destfile;
}

std::string tooLong(int entry, const std::string& key, int limit) {
    return "解析更新列表文件错误,list" + std::to_string(entry) + "的" + key + "超过" +
           std::to_string(limit) + "字节.";
}

// Section "list<n>" with the keys given (an empty text leaves its key out).
std::string entry(int n, const std::string& action, const std::string& srcfile = {},
                  const std::string& destfile = {}, const std::string& cmd = {}) {
    std::string section = "[list" + std::to_string(n) + "]\r\n";
    const std::pair<const char*, const std::string&> keys[] = {
        {"action", action}, {"srcfile", srcfile}, {"destfile", destfile}, {"cmd", cmd}};
    for (const auto& [key, value] : keys) {
        if (!value.empty()) {
            section += std::string(key) + "=" + value + "\r\n";
        }
    }
    return section;
}

std::string terminator(int n) {
    return entry(n, "0");
}

CheckedUpdateList validate(const std::string& utf8List) {
    const update::sUpdateStruct task;
    return update::ValidateUpdateList(ProfileFile::fromBytes(platform::legacyFromUtf8(utf8List)),
                                      kListUrl, task);
}

struct ValidationCase {
    const char* name;
    std::string list; // UTF-8; stored in the legacy code page as servers publish it
    UpdateListResult result;
    std::vector<ShownMessage> messages;
    std::size_t entries; // entries that passed
};

class UpdateListValidationTest : public ::testing::TestWithParam<ValidationCase> {};

TEST_P(UpdateListValidationTest, RefusesWithTheListsMessage) {
    const ValidationCase& c = GetParam();
    RecordingPresenter presenter;
    const CheckedUpdateList checked = validate(c.list);
    EXPECT_EQ(checked.result, c.result);
    EXPECT_EQ(presenter.shown(), c.messages);
    EXPECT_EQ(checked.entries.size(), c.entries);
}

const std::string kArchiveUrl = "http://127.0.0.1/game.zip";
const std::string kLongUrl = "http://127.0.0.1/" + std::string(998 - 17, 'u');
const std::string kLongPath = std::string(259, 'p');
// Characters of two legacy bytes (three in UTF-8): 129 of them fit in 259 bytes,
// 130 do not, although both are far fewer than 259 characters.
std::string widePath(int characters) {
    std::string path;
    for (int i = 0; i < characters; ++i) {
        path += "游";
    }
    return path;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, UpdateListValidationTest,
    ::testing::Values(
        ValidationCase{"DownloadUnpackExample",
                       entry(0, "2", kArchiveUrl, "game.zip") +
                           entry(1, "1", kArchiveUrl, "game.zip", "DEC") + terminator(2),
                       UpdateListResult::Ok,
                       {},
                       2},
        ValidationCase{"OneEntryWithBothBits",
                       entry(0, "3", kArchiveUrl, "game.zip", "DEC") + terminator(1),
                       UpdateListResult::Ok,
                       {},
                       1},
        ValidationCase{"TerminatorFirst", terminator(0), UpdateListResult::Ok, {}, 0},
        ValidationCase{"ListStopsWithoutTerminator",
                       entry(0, "2", kArchiveUrl, "game.zip"),
                       UpdateListResult::Refused,
                       {notice(kActionMessage)},
                       1},
        ValidationCase{"EmptyFile", "", UpdateListResult::Refused, {notice(kActionMessage)}, 0},
        ValidationCase{"NumberingGapEndsList",
                       entry(0, "2", kArchiveUrl, "a.zip") + terminator(2),
                       UpdateListResult::Refused,
                       {notice(kActionMessage)},
                       1},
        ValidationCase{"ActionKeyMissing",
                       entry(0, "", kArchiveUrl, "a.zip") + terminator(1),
                       UpdateListResult::Refused,
                       {notice(kActionMessage)},
                       0},
        ValidationCase{"ActionMinusOne",
                       entry(0, "-1", kArchiveUrl, "a.zip") + terminator(1),
                       UpdateListResult::Refused,
                       {notice(kActionMessage)},
                       0},
        ValidationCase{"CommandWithoutCmd",
                       entry(0, "1", "", "a.zip") + terminator(1),
                       UpdateListResult::Refused,
                       {error(kNoCommand)},
                       0},
        ValidationCase{"CommandWithoutDestfile",
                       entry(0, "1", "", "", "DEL") + terminator(1),
                       UpdateListResult::Refused,
                       {error(kNoCommandTarget)},
                       0},
        ValidationCase{"CommandNeedsNoSrcfile",
                       entry(0, "1", "", "old", "DEL") + terminator(1),
                       UpdateListResult::Ok,
                       {},
                       1},
        ValidationCase{"DownloadWithoutSrcfile",
                       entry(0, "2", "", "a.zip") + terminator(1),
                       UpdateListResult::Refused,
                       {error(noDownloadPath("", "a.zip"))},
                       0},
        ValidationCase{"DownloadWithoutDestfile",
                       entry(0, "2", kArchiveUrl) + terminator(1),
                       UpdateListResult::Refused,
                       {error(noDownloadPath(kArchiveUrl, ""))},
                       0},
        ValidationCase{"BothBitsWithoutCmd",
                       entry(0, "3", kArchiveUrl, "game.zip") + terminator(1),
                       UpdateListResult::Refused,
                       {error(kNoCommand)},
                       0},
        ValidationCase{"BothBitsWithoutSrcfile",
                       entry(0, "3", "", "game.zip", "DEC") + terminator(1),
                       UpdateListResult::Refused,
                       {error(noDownloadPath("", "game.zip"))},
                       0},
        ValidationCase{"OtherBitsIgnoredSixIsDownload",
                       entry(0, "6", kArchiveUrl, "game.zip") + terminator(1),
                       UpdateListResult::Ok,
                       {},
                       1},
        ValidationCase{"OtherBitsIgnoredSixNeedsPaths",
                       entry(0, "6", "", "game.zip"),
                       UpdateListResult::Refused,
                       {error(noDownloadPath("", "game.zip"))},
                       0},
        ValidationCase{"OtherBitsIgnoredFiveIsCommand",
                       entry(0, "5", "", "game.zip"),
                       UpdateListResult::Refused,
                       {error(kNoCommand)},
                       0},
        ValidationCase{"NoMeaningfulBitsNeedsNothing",
                       entry(0, "4") + terminator(1),
                       UpdateListResult::Ok,
                       {},
                       1},
        ValidationCase{"LaterEntryRefused",
                       entry(0, "2", kArchiveUrl, "a.zip") + entry(1, "1", "", "a.zip", "DEC") +
                           entry(2, "1", "", "a.zip") + terminator(3),
                       UpdateListResult::Refused,
                       {error(kNoCommand)},
                       2},
        ValidationCase{"LongestValuesFit",
                       entry(0, "3", kLongUrl, kLongPath, std::string(259, 'c')) + terminator(1),
                       UpdateListResult::Ok,
                       {},
                       1},
        ValidationCase{"SrcfileTooLong",
                       entry(0, "1", kLongUrl + "u", "a", "DEL") + terminator(1),
                       UpdateListResult::Refused,
                       {error(tooLong(0, "srcfile", 998))},
                       0},
        ValidationCase{"DestfileTooLong",
                       entry(0, "2", kArchiveUrl, "a.zip") +
                           entry(1, "2", kArchiveUrl, kLongPath + "p") + terminator(2),
                       UpdateListResult::Refused,
                       {error(tooLong(1, "destfile", 259))},
                       1},
        ValidationCase{"WideDestfileFitsInLegacyBytes",
                       entry(0, "2", kArchiveUrl, widePath(129)) + terminator(1),
                       UpdateListResult::Ok,
                       {},
                       1},
        ValidationCase{"WideDestfileTooLongInLegacyBytes",
                       entry(0, "2", kArchiveUrl, widePath(130)) + terminator(1),
                       UpdateListResult::Refused,
                       {error(tooLong(0, "destfile", 259))},
                       0},
        ValidationCase{"CmdTooLong",
                       entry(0, "1", "", "a", std::string(260, 'c')) + terminator(1),
                       UpdateListResult::Refused,
                       {error(tooLong(0, "cmd", 259))},
                       0}),
    [](const ::testing::TestParamInfo<ValidationCase>& test) { return test.param.name; });

TEST(UpdateListEntriesTest, EntriesCarryTheListsTextsInUtf8) {
    RecordingPresenter presenter;
    const CheckedUpdateList checked =
        validate(entry(0, "6", kArchiveUrl, "游戏\\game.zip") +
                 entry(1, "1", kArchiveUrl, "游戏\\game.zip", "DEC") + terminator(2));
    ASSERT_EQ(checked.result, UpdateListResult::Ok);
    ASSERT_EQ(checked.entries.size(), 2u);
    const update::UpdateListEntry& download = checked.entries[0];
    EXPECT_EQ(download.number, 0);
    EXPECT_EQ(download.action, 6);
    EXPECT_TRUE(download.downloads());
    EXPECT_FALSE(download.runsCommand());
    EXPECT_EQ(download.srcfile, kArchiveUrl);
    EXPECT_EQ(download.destfile, "游戏\\game.zip");
    const update::UpdateListEntry& unpack = checked.entries[1];
    EXPECT_EQ(unpack.number, 1);
    EXPECT_TRUE(unpack.runsCommand());
    EXPECT_FALSE(unpack.downloads());
    EXPECT_EQ(unpack.cmd, "DEC");
}

class UpdateListStopTest : public ::testing::Test {
protected:
    void TearDown() override { update::g_bStop = false; }

    const std::string m_list = entry(0, "2", kArchiveUrl, "a.zip") + terminator(1);
};

TEST_F(UpdateListStopTest, CancelledTaskStopsWithoutMessage) {
    RecordingPresenter presenter;
    update::sUpdateStruct task;
    task.bCancel = true;
    const CheckedUpdateList checked =
        update::ValidateUpdateList(ProfileFile::fromBytes(m_list), kListUrl, task);
    EXPECT_EQ(checked.result, UpdateListResult::Cancelled);
    EXPECT_TRUE(checked.entries.empty());
    EXPECT_TRUE(presenter.shown().empty());
}

TEST_F(UpdateListStopTest, ProcessStopEndsTheTaskWithoutMessage) {
    RecordingPresenter presenter;
    update::g_bStop = true;
    const update::sUpdateStruct task;
    const CheckedUpdateList checked =
        update::ValidateUpdateList(ProfileFile::fromBytes(m_list), kListUrl, task);
    EXPECT_EQ(checked.result, UpdateListResult::Cancelled);
    EXPECT_TRUE(presenter.shown().empty());
}

// The budget holds for the product build; sanitizers make every allocation and
// memory access several times slower.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr int kSanitizerSlowdown = 4;
#else
constexpr int kSanitizerSlowdown = 1;
#endif

// Processor time of the calling thread: the machine running the tests is shared,
// and other programs' load must not fail the test.
std::chrono::milliseconds threadCpuTime() {
    timespec now{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::seconds(now.tv_sec) + std::chrono::nanoseconds(now.tv_nsec));
}

// Regression guard: reading the file once per key made a long list take minutes.
TEST(UpdateListPerformanceTest, TwentyThousandEntriesValidateWellUnderASecond) {
    constexpr int kEntries = 20000;
    std::string list;
    for (int i = 0; i < kEntries; ++i) {
        list += entry(i, "3", "http://127.0.0.1/files/part" + std::to_string(i) + ".zip",
                      "游戏\\part" + std::to_string(i) + ".zip", "DEC");
    }
    list += terminator(kEntries);
    const fs::path path =
        fs::temp_directory_path() / ("update_list_test_" + std::to_string(::getpid()) + ".ini");
    std::ofstream(path, std::ios::binary) << platform::legacyFromUtf8(list);

    RecordingPresenter presenter;
    const update::sUpdateStruct task;
    const auto wallStart = std::chrono::steady_clock::now();
    const auto cpuStart = threadCpuTime();
    const CheckedUpdateList checked =
        update::ValidateUpdateList(ProfileFile::load(path), kListUrl, task);
    const auto cpu = threadCpuTime() - cpuStart;
    const auto wall = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - wallStart);
    fs::remove(path);

    EXPECT_EQ(checked.result, UpdateListResult::Ok);
    EXPECT_EQ(checked.entries.size(), static_cast<std::size_t>(kEntries));
    std::cout << "read and validated " << kEntries << " entries in " << cpu.count()
              << " ms of processor time (" << wall.count() << " ms elapsed)\n";
    EXPECT_LT(cpu.count(), 1000 * kSanitizerSlowdown);
}

} // namespace
