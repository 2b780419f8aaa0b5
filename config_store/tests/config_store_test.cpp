#include "config_store/config_store.h"

#include <climits>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "platform/testing/test_files.h"

namespace {

using platform::testing::ScratchDirectory;

using Names = std::vector<std::string>;

// An open store on a file in a fresh folder; closed (and so saved) by the test or at
// the end.
class ConfigStoreTest : public testing::Test {
protected:
    void SetUp() override {
        m_path = (m_folder.path() / "settings.lcf").string();
        m_handle = cfgOpenFile(m_path.c_str(), "");
        ASSERT_GE(m_handle, 16u);
    }
    void TearDown() override { cfgClose(m_handle); }

    Names sectionNames() const {
        Names names;
        for (CfgPosition position = cfgFindFirstSectionPosition(m_handle); position != nullptr;) {
            names.emplace_back(cfgFindNextSection(m_handle, position));
        }
        return names;
    }

    std::vector<std::pair<std::string, std::string>> keysOf(const char* section) const {
        std::vector<std::pair<std::string, std::string>> keys;
        std::string key;
        std::string value;
        int number = 0;
        CfgPosition position = cfgFindFistKeyPosition(m_handle, section);
        while (cfgFindNextKey(m_handle, section, position, key, value, number)) {
            keys.emplace_back(key, value);
        }
        EXPECT_EQ(position, nullptr);
        return keys;
    }

    ScratchDirectory m_folder;
    std::string m_path;
    CfgHandle m_handle = 0;
};

TEST_F(ConfigStoreTest, MissingSectionOrKeyGivesTheDefault) {
    ASSERT_TRUE(cfgSetValue(m_handle, "GameSet", "Name", "lobby"));
    EXPECT_EQ(cfgGetValue(m_handle, "GameSet", "UpdateSetPort", 6123), 6123);
    EXPECT_EQ(cfgGetValue(m_handle, "NoSection", "Name", -7), -7);
    EXPECT_STREQ(cfgGetValue(m_handle, "GameSet", "Missing", "fallback"), "fallback");
    EXPECT_EQ(cfgGetValue(m_handle, "GameSet", "Missing", nullptr), nullptr);
    // a present key with text that holds no digits reads as 0, not as the default
    EXPECT_EQ(cfgGetValue(m_handle, "GameSet", "Name", 6123), 0);
}

TEST_F(ConfigStoreTest, TextAndIntegerValuesReadBack) {
    ASSERT_TRUE(cfgSetValue(m_handle, "SUMMARY", "fileflag", "KIV2DWUIENGINE", 0));
    ASSERT_TRUE(cfgSetValue(m_handle, "SUMMARY", "toolver", 7));
    ASSERT_TRUE(cfgSetValue(m_handle, "CTL1", "CTLX", -1));
    ASSERT_TRUE(cfgSetValue(m_handle, "CTL1", "IMGW", INT_MAX));
    ASSERT_TRUE(cfgSetValue(m_handle, "CTL1", "IMGH", INT_MIN));
    EXPECT_STREQ(cfgGetValue(m_handle, "SUMMARY", "fileflag", ""), "KIV2DWUIENGINE");
    EXPECT_EQ(cfgGetValue(m_handle, "SUMMARY", "toolver", 0), 7);
    EXPECT_STREQ(cfgGetValue(m_handle, "SUMMARY", "toolver", ""), "7");
    EXPECT_EQ(cfgGetValue(m_handle, "CTL1", "CTLX", 0), -1);
    EXPECT_EQ(cfgGetValue(m_handle, "CTL1", "IMGW", 0), INT_MAX);
    EXPECT_EQ(cfgGetValue(m_handle, "CTL1", "IMGH", 0), INT_MIN);
    ASSERT_TRUE(cfgSetValue(m_handle, "SUMMARY", "toolver", "12 apples"));
    EXPECT_EQ(cfgGetValue(m_handle, "SUMMARY", "toolver", 0), 12);
}

TEST_F(ConfigStoreTest, NamesMatchWithoutLetterCaseAndKeepTheirFirstSpelling) {
    ASSERT_TRUE(cfgSetValue(m_handle, "GameSet", "UpdateSetPort", 1));
    ASSERT_TRUE(cfgSetValue(m_handle, "GAMESET", "updatesetport", 2));
    EXPECT_EQ(cfgGetValue(m_handle, "gameSET", "UPDATESETPORT", 0), 2);
    EXPECT_EQ(sectionNames(), Names{"GameSet"});
    EXPECT_EQ(keysOf("gameset"),
              (std::vector<std::pair<std::string, std::string>>{{"UpdateSetPort", "2"}}));
    // only ASCII letters fold: these are two names
    ASSERT_TRUE(cfgSetValue(m_handle, "Ä", "k", "upper"));
    ASSERT_TRUE(cfgSetValue(m_handle, "ä", "k", "lower"));
    EXPECT_STREQ(cfgGetValue(m_handle, "Ä", "k", ""), "upper");
    EXPECT_STREQ(cfgGetValue(m_handle, "ä", "k", ""), "lower");
}

TEST_F(ConfigStoreTest, EnumerationYieldsEachEntryOnceInWrittenOrder) {
    EXPECT_EQ(cfgFindFirstSectionPosition(m_handle), nullptr);
    for (const char* section : {"SUMMARY", "IMAGE", "CTL5", "CTL05"}) {
        ASSERT_TRUE(cfgSetValue(m_handle, section, "first", 1));
    }
    ASSERT_TRUE(cfgSetValue(m_handle, "IMAGE", "IMG3", "b.bmp", 0));
    ASSERT_TRUE(cfgSetValue(m_handle, "IMAGE", "IMG1", "a.bmp", 0));
    ASSERT_TRUE(cfgSetValue(m_handle, "image", "img3", "c.bmp", 0)); // updates in place
    EXPECT_EQ(sectionNames(), (Names{"SUMMARY", "IMAGE", "CTL5", "CTL05"}));
    EXPECT_EQ(keysOf("Image"), (std::vector<std::pair<std::string, std::string>>{
                                   {"first", "1"}, {"IMG3", "c.bmp"}, {"IMG1", "a.bmp"}}));

    // the integer output carries the value read as an integer
    std::string key;
    std::string value;
    int number = -1;
    CfgPosition position = cfgFindFistKeyPosition(m_handle, "CTL5");
    ASSERT_TRUE(cfgFindNextKey(m_handle, "CTL5", position, key, value, number));
    EXPECT_EQ(number, 1);
    EXPECT_EQ(position, nullptr);
    // past the end: false, outputs untouched
    EXPECT_FALSE(cfgFindNextKey(m_handle, "CTL5", position, key, value, number));
    EXPECT_EQ(key, "first");
    EXPECT_EQ(cfgFindNextSection(m_handle, position), nullptr);
}

TEST_F(ConfigStoreTest, KeyPositionIsNullForAMissingOrEmptySection) {
    ASSERT_TRUE(cfgSetValue(m_handle, "Empty", "only", "x"));
    ASSERT_TRUE(cfgEraseKey(m_handle, "Empty", "only"));
    EXPECT_EQ(sectionNames(), Names{"Empty"});
    EXPECT_EQ(cfgFindFistKeyPosition(m_handle, "Empty"), nullptr);
    EXPECT_EQ(cfgFindFistKeyPosition(m_handle, "Missing"), nullptr);
    EXPECT_EQ(cfgFindFistKeyPosition(m_handle, nullptr), nullptr);
}

TEST_F(ConfigStoreTest, StalePositionsEndTheEnumerationSafely) {
    ASSERT_TRUE(cfgSetValue(m_handle, "A", "k1", 1));
    ASSERT_TRUE(cfgSetValue(m_handle, "A", "k2", 2));
    ASSERT_TRUE(cfgSetValue(m_handle, "B", "k1", 1));
    CfgPosition sections = cfgFindFirstSectionPosition(m_handle);
    ASSERT_STREQ(cfgFindNextSection(m_handle, sections), "A");
    CfgPosition keys = cfgFindFistKeyPosition(m_handle, "A");
    std::string key;
    std::string value;
    int number = 0;
    ASSERT_TRUE(cfgFindNextKey(m_handle, "A", keys, key, value, number));
    ASSERT_NE(keys, nullptr);
    ASSERT_TRUE(cfgEraseSection(m_handle, "B"));
    ASSERT_TRUE(cfgEraseKey(m_handle, "A", "k2"));
    EXPECT_EQ(cfgFindNextSection(m_handle, sections), nullptr);
    EXPECT_EQ(sections, nullptr);
    EXPECT_FALSE(cfgFindNextKey(m_handle, "A", keys, key, value, number));
    EXPECT_EQ(keys, nullptr);
}

TEST_F(ConfigStoreTest, EraseRemovesKeysAndSections) {
    for (const char* key : {"a", "b", "c"}) {
        ASSERT_TRUE(cfgSetValue(m_handle, "S", key, key, 0));
    }
    ASSERT_TRUE(cfgSetValue(m_handle, "T", "t", 1));
    ASSERT_TRUE(cfgSetValue(m_handle, "U", "u", 1));

    EXPECT_TRUE(cfgEraseKey(m_handle, "s", "B"));
    EXPECT_STREQ(cfgGetValue(m_handle, "S", "b", "gone"), "gone");
    EXPECT_EQ(keysOf("S"),
              (std::vector<std::pair<std::string, std::string>>{{"a", "a"}, {"c", "c"}}));
    // lookups after the shift still find the later keys
    EXPECT_STREQ(cfgGetValue(m_handle, "S", "c", ""), "c");

    EXPECT_TRUE(cfgEraseSection(m_handle, "t"));
    EXPECT_EQ(cfgGetValue(m_handle, "T", "t", -1), -1);
    EXPECT_EQ(sectionNames(), (Names{"S", "U"}));
    EXPECT_EQ(cfgGetValue(m_handle, "U", "u", 0), 1);

    // erasing what is not there succeeds: it is absent afterwards
    EXPECT_TRUE(cfgEraseKey(m_handle, "S", "b"));
    EXPECT_TRUE(cfgEraseKey(m_handle, "Nowhere", "b"));
    EXPECT_TRUE(cfgEraseSection(m_handle, "Nowhere"));

    // a section written again after erasure starts anew, at the end
    ASSERT_TRUE(cfgSetValue(m_handle, "T", "new", 2));
    EXPECT_EQ(sectionNames(), (Names{"S", "U", "T"}));
    EXPECT_EQ(keysOf("T"), (std::vector<std::pair<std::string, std::string>>{{"new", "2"}}));
}

TEST_F(ConfigStoreTest, NullArgumentsAndUnknownHandlesFail) {
    EXPECT_FALSE(cfgSetValue(m_handle, nullptr, "k", "v", 0));
    EXPECT_FALSE(cfgSetValue(m_handle, "s", nullptr, 1));
    EXPECT_FALSE(cfgSetValue(m_handle, "s", "k", nullptr, 0));
    EXPECT_FALSE(cfgEraseKey(m_handle, "s", nullptr));
    EXPECT_FALSE(cfgEraseSection(m_handle, nullptr));
    EXPECT_EQ(cfgGetValue(m_handle, nullptr, "k", 5), 5);
    EXPECT_EQ(sectionNames(), Names{});

    const CfgHandle unknown = m_handle + 1000;
    EXPECT_FALSE(cfgSetValue(unknown, "s", "k", 1));
    EXPECT_FALSE(cfgEraseKey(unknown, "s", "k"));
    EXPECT_FALSE(cfgEraseSection(unknown, "s"));
    EXPECT_EQ(cfgGetValue(unknown, "s", "k", 9), 9);
    EXPECT_STREQ(cfgGetValue(unknown, "s", "k", "d"), "d");
    EXPECT_EQ(cfgFindFirstSectionPosition(unknown), nullptr);
    CfgPosition position = cfgFindFirstSectionPosition(m_handle);
    EXPECT_EQ(cfgFindNextSection(unknown, position), nullptr);
    EXPECT_FALSE(cfgClose(unknown));
    EXPECT_FALSE(cfgClose(0));
}

} // namespace
