#include "platform/paths.h"

#include <filesystem>

#include <gtest/gtest.h>

namespace {

TEST(Paths, ProgramDirectoryHoldsTheRunningExecutable) {
    const auto directory = platform::programDirectory();
    ASSERT_FALSE(directory.empty());
    EXPECT_TRUE(directory.is_absolute());
    EXPECT_TRUE(std::filesystem::exists(directory / "platform_paths_test"));
}

struct JoinCase {
    const char* directory;
    const char* name;
    const char* expected;
};

TEST(Paths, JoinUsesExactlyOneSeparator) {
    const JoinCase cases[] = {
        {"/opt/game", "a.txt", "/opt/game/a.txt"},
        {"/opt/game/", "a.txt", "/opt/game/a.txt"},
        {"/opt/game//", "\\\\a.txt", "/opt/game/a.txt"},
        {"/opt/game\\", "\\data\\b.dat", "/opt/game/data/b.dat"},
        {"/opt/game", "/data/b.dat", "/opt/game/data/b.dat"},
        {"/", "x", "/x"},
        {"/opt/game", "", "/opt/game/"},
        {"", "x", "/x"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.directory) + " + " + c.name);
        EXPECT_EQ(platform::joinPath(c.directory, c.name), c.expected);
    }
}

TEST(Paths, PeerPathsGetForwardSlashes) {
    EXPECT_EQ(platform::pathFromPeer("data\\maps\\1.map"), "data/maps/1.map");
    EXPECT_EQ(platform::pathFromPeer("\\lead"), "/lead");
    EXPECT_EQ(platform::pathFromPeer("plain"), "plain");
    EXPECT_EQ(platform::pathFromPeer(""), "");
}

} // namespace
