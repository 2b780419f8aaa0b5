#include "config_store/config_store.h"

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <random>
#include <set>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include <sys/stat.h>

#include <gtest/gtest.h>

#include "platform/testing/test_files.h"

namespace {

using platform::testing::readFile;
using platform::testing::ScratchDirectory;
using platform::testing::writeFile;

std::vector<std::string> sectionNames(CfgHandle handle) {
    std::vector<std::string> names;
    for (CfgPosition position = cfgFindFirstSectionPosition(handle); position != nullptr;) {
        names.emplace_back(cfgFindNextSection(handle, position));
    }
    return names;
}

std::vector<std::string> folderEntries(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

TEST(ConfigStoreOpenTest, MissingFileOpensEmptyAndStaysUncreatedWithoutChanges) {
    ScratchDirectory folder;
    const std::string path = (folder.path() / "lumgame.lcf").string();
    const CfgHandle handle = cfgOpenFile(path.c_str(), "");
    ASSERT_GE(handle, 16u);
    EXPECT_EQ(cfgFindFirstSectionPosition(handle), nullptr);
    EXPECT_EQ(cfgGetValue(handle, "GameSet", "UpdateSetPort", 6123), 6123);
    EXPECT_TRUE(cfgClose(handle));
    EXPECT_FALSE(std::filesystem::exists(path));
}

TEST(ConfigStoreOpenTest, WhatCannotBeReadAsAFileFailsToOpen) {
    ScratchDirectory folder;
    const std::string file = (folder.path() / "plain").string();
    writeFile(file, "[a]\nb=c\n");
    const std::string fifo = (folder.path() / "fifo").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string underFile = file + "/child.lcf";
    const std::string huge = (folder.path() / "huge.lcf").string(); // sparse: costs no disk space
    writeFile(huge, "[a]\nb=c\n");
    std::filesystem::resize_file(huge, (64u << 20) + 1);
    const char* const paths[] = {folder.path().c_str(), fifo.c_str(), underFile.c_str(),
                                 huge.c_str(),          "",           nullptr};
    for (const char* path : paths) {
        EXPECT_EQ(cfgOpenFile(path, ""), 0u) << (path ? path : "(null)");
    }
}

TEST(ConfigStoreOpenTest, SecondOpenReadsWhatTheFirstWrote) {
    ScratchDirectory folder;
    const std::string path = (folder.path() / "skin.lcf").string();
    const CfgHandle first = cfgOpenFile(path.c_str(), "");
    ASSERT_GE(first, 16u);
    ASSERT_TRUE(cfgSetValue(first, "SUMMARY", "fileflag", "KIV2DWUIENGINE", 0));
    ASSERT_TRUE(cfgSetValue(first, "SUMMARY", "filever", 1));
    ASSERT_TRUE(cfgSetValue(first, "CTL1", "CTLX", -1));
    ASSERT_TRUE(cfgClose(first));

    const CfgHandle second = cfgOpenFile(path.c_str(), "");
    ASSERT_GE(second, 16u);
    EXPECT_NE(second, first);
    EXPECT_STREQ(cfgGetValue(second, "summary", "FILEFLAG", ""), "KIV2DWUIENGINE");
    EXPECT_EQ(cfgGetValue(second, "SUMMARY", "filever", 0), 1);
    EXPECT_EQ(cfgGetValue(second, "CTL1", "CTLX", 0), -1);
    EXPECT_EQ(sectionNames(second), (std::vector<std::string>{"SUMMARY", "CTL1"}));
    EXPECT_TRUE(cfgClose(second));
    EXPECT_FALSE(cfgClose(second)); // the handle is gone
}

TEST(ConfigStoreOpenTest, HandlesAreDistinctAndNeverBelowSixteen) {
    ScratchDirectory folder;
    std::set<CfgHandle> seen;
    std::vector<CfgHandle> open;
    for (int i = 0; i < 8; ++i) {
        const CfgHandle handle = cfgOpenFile((folder.path() / "same.lcf").string().c_str(), "");
        ASSERT_GE(handle, 16u);
        EXPECT_TRUE(seen.insert(handle).second);
        open.push_back(handle);
    }
    for (const CfgHandle handle : open) {
        EXPECT_TRUE(cfgClose(handle));
    }
    const CfgHandle later = cfgOpenFile((folder.path() / "same.lcf").string().c_str(), "");
    EXPECT_FALSE(seen.contains(later)); // a closed handle is not handed out again
    EXPECT_TRUE(cfgClose(later));
}

// Names and values that the file format must carry through escapes.
const std::vector<std::string> kAwkwardTexts = {
    "",
    " ",
    "  lead",
    "trail  ",
    " both ",
    "a=b",
    "=",
    "]",
    "[x]",
    "[",
    ";comment",
    "#hash",
    "line\nbrk",
    "\r\n",
    "\ttab\t",
    "back\\",
    "\\x41",
    "\\n",
    "\\",
    "中文 名字",
    "😀",
    "\xc4\xe3",
    "\xff\xfe\x80",
    "\x01\x1f\x7f",
    "key = value",
    "[Section]",
    "\xEF\xBB\xBF"
    "bom",
};

TEST(ConfigStoreFileTest, AwkwardTextsRoundTripThroughTheFile) {
    ScratchDirectory folder;
    const std::string path = (folder.path() / "escapes.lcf").string();
    const CfgHandle writer = cfgOpenFile(path.c_str(), "");
    for (std::size_t i = 0; i < kAwkwardTexts.size(); ++i) {
        const std::string& text = kAwkwardTexts[i];
        const std::string tag = std::to_string(i);
        ASSERT_TRUE(cfgSetValue(writer, "values", ("v" + tag).c_str(), text.c_str(), 0));
        ASSERT_TRUE(cfgSetValue(writer, "keys", (text + "|k" + tag).c_str(), tag.c_str(), 0));
        ASSERT_TRUE(cfgSetValue(writer, ("s" + tag + "|" + text).c_str(), text.c_str(), 1));
    }
    ASSERT_TRUE(cfgClose(writer));

    const CfgHandle reader = cfgOpenFile(path.c_str(), "");
    ASSERT_GE(reader, 16u);
    const std::vector<std::string> sections = sectionNames(reader);
    ASSERT_EQ(sections.size(), kAwkwardTexts.size() + 2);
    for (std::size_t i = 0; i < kAwkwardTexts.size(); ++i) {
        const std::string& text = kAwkwardTexts[i];
        const std::string tag = std::to_string(i);
        SCOPED_TRACE("text #" + tag);
        EXPECT_EQ(cfgGetValue(reader, "values", ("v" + tag).c_str(), "(missing)"), text);
        EXPECT_EQ(cfgGetValue(reader, "keys", (text + "|k" + tag).c_str(), -1),
                  static_cast<int>(i));
        const std::string section = "s" + tag + "|" + text;
        EXPECT_EQ(sections[i + 2], section);
        std::string key;
        std::string value;
        int number = 0;
        CfgPosition position = cfgFindFistKeyPosition(reader, section.c_str());
        ASSERT_TRUE(cfgFindNextKey(reader, section.c_str(), position, key, value, number));
        EXPECT_EQ(key, text);
        EXPECT_EQ(value, "1");
    }
    EXPECT_TRUE(cfgClose(reader));
}

TEST(ConfigStoreFileTest, UnchangedStoreLeavesTheFileAlone) {
    ScratchDirectory folder;
    const std::string path = (folder.path() / "hand.lcf").string();
    const std::string handWritten = "; written by hand\n[GameSet]\n UpdateSetPort = 7000 \n";
    writeFile(path, handWritten);
    const CfgHandle handle = cfgOpenFile(path.c_str(), "");
    EXPECT_EQ(cfgGetValue(handle, "GameSet", "UpdateSetPort", 6123), 7000);
    ASSERT_TRUE(cfgSetValue(handle, "GameSet", "UpdateSetPort", "7000", 0)); // same value
    ASSERT_TRUE(cfgEraseKey(handle, "GameSet", "Missing"));
    EXPECT_TRUE(cfgClose(handle));
    EXPECT_EQ(readFile(path), handWritten);
}

TEST(ConfigStoreFileTest, SaveKeepsModeAndWritesThroughALink) {
    ScratchDirectory folder;
    const std::string target = (folder.path() / "real.lcf").string();
    writeFile(target, "[a]\nb=1\n");
    std::filesystem::permissions(target, std::filesystem::perms::owner_read |
                                             std::filesystem::perms::owner_write);
    const std::string link = (folder.path() / "link.lcf").string();
    std::filesystem::create_symlink(target, link);
    const CfgHandle handle = cfgOpenFile(link.c_str(), "");
    ASSERT_TRUE(cfgSetValue(handle, "a", "b", 2));
    ASSERT_TRUE(cfgClose(handle));
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(readFile(target), "[a]\nb=2\n");
    EXPECT_EQ(std::filesystem::status(target).permissions() & std::filesystem::perms::all,
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    EXPECT_EQ(folderEntries(folder.path()), (std::vector<std::string>{"link.lcf", "real.lcf"}));
}

// Any bytes in a file open without a crash; an unchanged store never rewrites them,
// and a changed one writes a file that reads back the same.
TEST(ConfigStoreFileTest, GarbageFilesOpen) {
    ScratchDirectory folder;
    const std::string path = (folder.path() / "garbage.lcf").string();
    const std::uint32_t seed = std::random_device()();
    std::mt19937 random(seed);
    for (int round = 0; round < 60; ++round) {
        std::string bytes(random() % 2000, '\0');
        for (char& c : bytes) {
            c = random() % 3 == 0 ? "[]=\n\\"[random() % 5] : static_cast<char>(random());
        }
        writeFile(path, bytes);
        const CfgHandle handle = cfgOpenFile(path.c_str(), "");
        ASSERT_GE(handle, 16u) << "seed " << seed;
        const std::vector<std::string> before = sectionNames(handle);
        ASSERT_TRUE(cfgClose(handle));
        ASSERT_EQ(readFile(path), bytes) << "seed " << seed;

        const CfgHandle changer = cfgOpenFile(path.c_str(), "");
        ASSERT_TRUE(cfgSetValue(changer, "added", "k", 1));
        ASSERT_TRUE(cfgClose(changer));
        const CfgHandle reader = cfgOpenFile(path.c_str(), "");
        std::vector<std::string> after = sectionNames(reader);
        EXPECT_EQ(cfgGetValue(reader, "added", "k", 0), 1);
        ASSERT_TRUE(cfgClose(reader));
        if (std::find(before.begin(), before.end(), "added") == before.end()) {
            ASSERT_EQ(after.back(), "added");
            after.pop_back();
        }
        ASSERT_EQ(after, before) << "seed " << seed;
    }
}

// Different handles on different threads at once; the handle table is the only
// shared state.
TEST(ConfigStoreThreadTest, HandlesWorkOnSeveralThreadsAtOnce) {
    ScratchDirectory folder;
    constexpr int kThreads = 4;
    std::vector<std::thread> threads;
    std::vector<int> failures(kThreads, 0);
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&folder, &failures, t] {
            const std::string path =
                (folder.path() / ("thread" + std::to_string(t) + ".lcf")).string();
            for (int round = 0; round < 20; ++round) {
                const CfgHandle handle = cfgOpenFile(path.c_str(), "");
                const int expected = round == 0 ? -100 : round - 1;
                for (int k = 0; k < 50; ++k) {
                    const std::string key = "k" + std::to_string(k);
                    failures[t] += cfgGetValue(handle, "S", key.c_str(), -100) != expected;
                    failures[t] += !cfgSetValue(handle, "S", key.c_str(), round);
                }
                failures[t] += !cfgClose(handle);
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(failures, std::vector<int>(kThreads, 0));
}

} // namespace
