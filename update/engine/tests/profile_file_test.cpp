#include "update/engine/profile_file.h"

#include <climits>
#include <filesystem>
#include <random>
#include <string>

#include <gtest/gtest.h>

#include "platform/testing/test_files.h"
#include "platform/text_codec.h"

namespace {

namespace fs = std::filesystem;
using update::ProfileFile;

using namespace std::string_literals; // texts with NUL bytes

struct TextCase {
    const char* name;
    std::string bytes; // the file as it lies on disk
    std::string section;
    std::string key;
    std::string expected; // UTF-8; "<default>" when the default must come back
};

constexpr const char* kDefault = "<default>";

template <typename Case>
std::string caseName(const ::testing::TestParamInfo<Case>& test) {
    return test.param.name;
}

std::string gbk(const std::string& utf8) {
    return platform::legacyFromUtf8(utf8);
}

class ProfileFileTextTest : public ::testing::TestWithParam<TextCase> {};

TEST_P(ProfileFileTextTest, ReadsValueAsTheProfileFunctionsDo) {
    const TextCase& c = GetParam();
    const ProfileFile file = ProfileFile::fromBytes(c.bytes);
    EXPECT_EQ(file.text(c.section, c.key, kDefault), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ProfileFileTextTest,
    ::testing::Values(
        TextCase{"PlainValue", "[config]\nother=http://h/l.ini\n", "config", "other",
                 "http://h/l.ini"},
        TextCase{"NamesIgnoreAsciiCase", "[Config]\nOTHER=u\n", "cONFIG", "other", "u"},
        TextCase{"FirstKeyWins", "[a]\nk=1\nK=2\n", "a", "k", "1"},
        TextCase{"FirstSectionWins", "[a]\nk=1\n[A]\nk=2\n", "a", "k", "1"},
        TextCase{"KeysOfRepeatedSectionAreHidden", "[a]\nk=1\n[a]\nj=2\n", "a", "j", kDefault},
        TextCase{"SectionsAfterRepeatedOneCount", "[a]\n[a]\n[b]\nk=3\n", "b", "k", "3"},
        TextCase{"BlanksAroundNamesAndValueTrimmed", "  [ a ]  \n\t k \t=  v  w \t\n", " A ", "K ",
                 "v  w"},
        TextCase{"CrLfLineEnds", "[a]\r\nk=v\r\nj=w\r\n", "a", "k", "v"},
        TextCase{"LastLineWithoutLineEnd", "[a]\nk=v", "a", "k", "v"},
        TextCase{"DoubleQuotesStripped", "[a]\nk=\"  v \"\n", "a", "k", "  v "},
        TextCase{"SingleQuotesStripped", "[a]\nk='v'\n", "a", "k", "v"},
        TextCase{"OnlyOnePairStripped", "[a]\nk=\"\"v\"\"\n", "a", "k", "\"v\""},
        TextCase{"MismatchedQuotesKept", "[a]\nk=\"v'\n", "a", "k", "\"v'"},
        TextCase{"LoneQuoteKept", "[a]\nk=\"\n", "a", "k", "\""},
        TextCase{"QuotedEmptyIsEmpty", "[a]\nk=\"\"\n", "a", "k", ""},
        TextCase{"EmptyValueIsEmptyNotDefault", "[a]\nk=\n", "a", "k", ""},
        TextCase{"ValueKeepsFurtherEquals", "[a]\nk=x=y\n", "a", "k", "x=y"},
        TextCase{"KeyWithoutEqualsIsMissing", "[a]\nk\nk=v\n", "a", "k", kDefault},
        TextCase{"MissingKey", "[a]\nk=v\n", "a", "j", kDefault},
        TextCase{"MissingSection", "[a]\nk=v\n", "b", "k", kDefault},
        TextCase{"KeyBeforeAnySectionIgnored", "k=v\n[a]\n", "a", "k", kDefault},
        TextCase{"CommentLineIgnored", "[a]\n;k=v\n", "a", ";k", kDefault},
        TextCase{"IndentedCommentIgnored", "[a]\n  ; k=v\nk=w\n", "a", "k", "w"},
        TextCase{"TextAfterHeaderIgnored", "[a] note\nk=v\n", "a", "k", "v"},
        TextCase{"HeaderWithoutBracketIsAKey", "[a]\n[b=1\n", "a", "[b", "1"},
        TextCase{"EmptyKeyNameNeverMatches", "[a]\n=v\n", "a", "", kDefault},
        TextCase{"BlankKeyNameNeverMatches", "[a]\n=v\n", "a", "  ", kDefault},
        TextCase{"NulEndsTheLine", "[a]\nk=ab\0cd\nj=2\n"s, "a", "k", "ab"},
        TextCase{"LineAfterNulStillRead", "[a]\nk=ab\0cd\nj=2\n"s, "a", "j", "2"},
        TextCase{"LegacyCodePageDecoded", gbk("[配置]\n键=值\n"), "配置", "键", "值"},
        // 乚 is 0x81 0x5D in the legacy code page: its trail byte is ']', which
        // must not turn the line into a section header.
        TextCase{"TrailByteIsNoBracket", gbk("[a]\n[乚\nk=v\n"), "a", "k", "v"},
        TextCase{"Utf8WithByteOrderMarkNotConverted", "\xEF\xBB\xBF[配置]\n键=值\n", "配置", "键",
                 "值"},
        TextCase{"InvalidLegacyBytesBecomeReplacement", "[a]\nk=\x81\n", "a", "k", "\xEF\xBF\xBD"}),
    caseName<TextCase>);

struct IntegerCase {
    const char* name;
    std::string line; // the key's line in section [a]; the key is k
    int expected;
};

class ProfileFileIntegerTest : public ::testing::TestWithParam<IntegerCase> {};

TEST_P(ProfileFileIntegerTest, ReadsLeadingDecimalNumber) {
    const IntegerCase& c = GetParam();
    const ProfileFile file = ProfileFile::fromBytes("[a]\n" + c.line + "\n");
    EXPECT_EQ(file.integer("a", "k", -77), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ProfileFileIntegerTest,
    ::testing::Values(
        // The number itself is read by platform::leadingInteger (its own table);
        // here: what the file adds around it.
        IntegerCase{"Plain", "k=2", 2}, IntegerCase{"Negative", "k=-1", -1},
        IntegerCase{"LeadingBlanksInsideQuotes", "k=\"  12\"", 12},
        IntegerCase{"EndOfFileMarkInsideQuotesIsBlank", "k=\"\x1A 12\"", 12},
        IntegerCase{"TrailingTextIgnored", "k=6abc", 6}, IntegerCase{"NoDigitsIsZero", "k=abc", 0},
        IntegerCase{"EmptyIsDefault", "k=", -77}, IntegerCase{"QuotedEmptyIsDefault", "k=''", -77},
        IntegerCase{"MissingIsDefault", "j=1", -77}, IntegerCase{"NoEqualsIsDefault", "k", -77},
        IntegerCase{"OverflowClampedUp", "k=2147483648", INT_MAX},
        IntegerCase{"UnderflowClampedDown", "k=-2147483649", INT_MIN}),
    caseName<IntegerCase>);

// Random bytes, weighted towards the characters the parser reacts to, must parse
// without fault, and a section after them must still be found.
TEST(ProfileFileGarbageTest, RandomBytesNeverBreakTheParser) {
    constexpr char kSyntaxBytes[] = {'[', ']', '=', ';', '\n', '\r', '\0', '"', '\'', ' ', '\x81'};
    std::mt19937 random(20261211);
    for (int round = 0; round < 200; ++round) {
        std::string bytes(static_cast<std::size_t>(random() % 4096), '\0');
        for (char& b : bytes) {
            b = random() % 3 == 0 ? kSyntaxBytes[random() % sizeof(kSyntaxBytes)]
                                  : static_cast<char>(random() % 256);
        }
        const ProfileFile file = ProfileFile::fromBytes(bytes + "\n[zz_sentinel]\nkey=found\n");
        ASSERT_EQ(file.text("zz_sentinel", "key"), "found") << "round " << round;
        ASSERT_EQ(file.integer("list0", "action", -1), file.integer("LIST0", "ACTION", -1));
    }
}

class ProfileFileLoadTest : public ::testing::Test {
protected:
    fs::path write(const std::string& name, const std::string& bytes) const {
        const fs::path path = m_dir / name;
        platform::testing::writeFile(path, bytes);
        return path;
    }

    platform::testing::ScratchDirectory m_scratch;
    const fs::path m_dir = m_scratch.path();
};

TEST_F(ProfileFileLoadTest, ReadsFileFromDisk) {
    const ProfileFile file = ProfileFile::load(write("list.ini", gbk("[list0]\r\naction=2\r\n")));
    EXPECT_EQ(file.integer("list0", "action", -1), 2);
}

TEST_F(ProfileFileLoadTest, UnreadableFilesHoldNothing) {
    for (const fs::path& path : {m_dir / "missing.ini", m_dir}) {
        EXPECT_EQ(ProfileFile::load(path).integer("list0", "action", -1), -1) << path;
    }
}

TEST_F(ProfileFileLoadTest, OversizedFileHoldsNothing) {
    const fs::path path = write("huge.ini", "[list0]\naction=2\n");
    fs::resize_file(path, ProfileFile::kMaxFileBytes + 1); // sparse: costs no disk space
    EXPECT_EQ(ProfileFile::load(path).integer("list0", "action", -1), -1);
}

} // namespace
