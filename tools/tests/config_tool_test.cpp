// config-tool as a program: what it prints, what it leaves in the file, its exit codes.
#include <filesystem>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/testing/test_files.h"
#include "tool_process.h"

namespace {

using ::testing::HasSubstr;
using update_tool_test::runTool;

struct ConfigToolStep {
    std::vector<std::string> args;
    int exitCode;
    std::string printed; // expected in standard output (or error, for failures)
};

TEST(ConfigTool, EditsAndReadsAStoreStepByStep) {
    platform::testing::ScratchDirectory folder;
    const ConfigToolStep steps[] = {
        {{"lumgame.lcf", "get", "GameSet", "UpdateSetPort"}, 1, "GameSet"},
        {{"lumgame.lcf", "set", "GameSet", "UpdateSetPort", "7001"}, 0, ""},
        {{"lumgame.lcf", "set", "界面", "名字", " 带空格 "}, 0, ""},
        {{"lumgame.lcf", "get", "gameset", "updatesetport"}, 0, "7001\n"},
        {{"lumgame.lcf", "list"},
         0,
         "[GameSet]\nUpdateSetPort=7001\n[界面]\n名字=\\x20带空格\\x20\n"},
        {{"lumgame.lcf", "erase", "界面"}, 0, ""},
        {{"lumgame.lcf", "list"}, 0, "[GameSet]\nUpdateSetPort=7001\n"},
        {{"lumgame.lcf", "frobnicate"}, 2, "usage: config-tool"},
        {{"missing-folder/x.lcf", "set", "a", "b", "c"}, 1, "config-tool:"},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.args[1]);
        const auto run = runTool(CONFIG_TOOL, step.args, folder.path());
        EXPECT_EQ(run.exitCode, step.exitCode) << run.stderrText;
        EXPECT_THAT(step.exitCode == 0 ? run.stdoutText : run.stderrText, HasSubstr(step.printed));
    }
    EXPECT_THAT(platform::testing::readFile(folder.path() / "lumgame.lcf"),
                HasSubstr("UpdateSetPort=7001"));
}

} // namespace
