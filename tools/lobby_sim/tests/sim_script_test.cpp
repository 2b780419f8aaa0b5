#include "sim_script.h"

#include <cstring>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/text_codec.h"
#include "sim_records.h"
#include "update/engine/task_record.h"

namespace {

using lobby_sim::parseArguments;
using lobby_sim::SimTask;
using lobby_sim::StepKind;
using ::testing::HasSubstr;

struct TaskCase {
    const char* text;
    bool valid;
    SimTask task;
};

TEST(SimScript, TasksSplitAtTheirFirstThreeColons) {
    const TaskCase cases[] = {
        {"7:名字:1.0:http://h:8080/a:b.ini", true, {7, "名字", "1.0", "http://h:8080/a:b.ini"}},
        {"-5:::", true, {-5, "", "", ""}},
        {"2147483647:n:v:u", true, {2147483647, "n", "v", "u"}},
        {"7:name:1.0", false, {}},
        {"x7:n:v:u", false, {}},
        {"2147483648:n:v:u", false, {}},
        {":n:v:u", false, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        SimTask task;
        std::string error;
        ASSERT_EQ(lobby_sim::parseTask(c.text, task, error), c.valid) << error;
        if (c.valid) {
            EXPECT_EQ(task.room, c.task.room);
            EXPECT_EQ(task.name, c.task.name);
            EXPECT_EQ(task.version, c.task.version);
            EXPECT_EQ(task.indexUrl, c.task.indexUrl);
        } else {
            EXPECT_FALSE(error.empty());
        }
    }
}

lobby_sim::ParsedArguments parse(std::vector<std::string> words) {
    std::vector<char*> args;
    for (auto& word : words) {
        args.push_back(word.data());
    }
    return parseArguments(args);
}

TEST(SimScript, StepsKeepTheirOrderAndSettingsApplyToAll) {
    const auto parsed =
        parse({"--task", "1:a:1:u", "--coalesce", "--wait-reports", "1", "--restart", "--garbage",
               "2456", "--sleep", "5", "--flag", "9", "--port", "7001"});
    ASSERT_EQ(parsed.error, "");
    const auto& options = parsed.options;
    EXPECT_TRUE(options.coalesce);
    EXPECT_FALSE(options.split);
    EXPECT_EQ(options.flag, 9);
    EXPECT_EQ(options.port, 7001);
    std::vector<StepKind> kinds;
    for (const auto& step : options.steps) {
        kinds.push_back(step.kind);
    }
    EXPECT_EQ(kinds,
              (std::vector<StepKind>{StepKind::Task, StepKind::WaitReports, StepKind::Restart,
                                     StepKind::Garbage, StepKind::Sleep}));
    EXPECT_EQ(options.steps[3].number, 2456);
}

struct ErrorCase {
    std::vector<std::string> args;
    const char* error;
};

TEST(SimScript, BadArgumentsAreRefusedWithTheReason) {
    const ErrorCase cases[] = {
        {{"--port", "0"}, "--port takes a whole number from 1 to 65535"},
        {{"--flag", "256"}, "--flag takes a whole number from 0 to 255"},
        {{"--timeout"}, "--timeout needs a value"},
        {{"--task", "1:a"}, "--task takes ROOM:NAME:VERSION:INDEX_URL"},
        {{"--frob"}, "unknown option --frob"},
        // Bytes after the last whole record put the stream out of step.
        {{"--garbage", "100", "--task", "1:a:b:c"}, "must be followed by --restart"},
        {{"--garbage", "100", "--garbage", "1228"}, "must be followed by --restart"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.error);
        EXPECT_THAT(parse(c.args).error, HasSubstr(c.error));
    }
    EXPECT_EQ(parse({"--garbage", "2456", "--task", "1:a:b:c"}).error, "");
    EXPECT_EQ(parse({"--garbage", "100", "--restart", "--task", "1:a:b:c"}).error, "");
}

update::TaskWireImage imageOf(const std::string& record) {
    update::TaskWireImage image;
    std::memcpy(&image, record.data(), sizeof image);
    return image;
}

TEST(SimRecords, ARecordCarriesTheTaskInTheLegacyCodePage) {
    const std::string record =
        lobby_sim::buildRecord({-3, "游戏", "2.0", "http://h/i.ini"}, 0x7F, false);
    ASSERT_EQ(record.size(), update::kWireRecordSize);
    const auto image = imageOf(record);
    EXPECT_EQ(image.bFlag, 0x7F);
    EXPECT_EQ(image.nRoomID, -3);
    EXPECT_EQ(std::string(image.g_GameName), platform::legacyFromUtf8("游戏"));
    EXPECT_EQ(std::string(image.g_url), "http://h/i.ini");
    EXPECT_EQ(std::string(image.g_ver), "2.0");
    EXPECT_EQ(lobby_sim::recordRoom(record), -3);
    EXPECT_EQ(lobby_sim::recordName(record), "游戏");
}

TEST(SimRecords, NoNulFillsEveryTextFieldToItsEnd) {
    const auto plain =
        imageOf(lobby_sim::buildRecord({1, "游戏", "2.0", "http://h/i.ini"}, 1, true));
    const std::string name(plain.g_GameName, sizeof plain.g_GameName);
    const std::string url(plain.g_url, sizeof plain.g_url);
    const std::string version(plain.g_ver, sizeof plain.g_ver);
    EXPECT_EQ(name, platform::legacyFromUtf8("游戏") + std::string(196, '_'));
    EXPECT_EQ(url, "http://h/i.ini?" + std::string(1000 - 15, '_'));
    EXPECT_EQ(version, "2.0" + std::string(17, '_'));
    // A URL with a query of its own is only padded.
    const auto query = imageOf(lobby_sim::buildRecord({1, "n", "v", "http://h/i?x"}, 1, true));
    EXPECT_EQ(std::string(query.g_url, sizeof query.g_url), "http://h/i?x" + std::string(988, '_'));
}

} // namespace
