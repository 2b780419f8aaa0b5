#include "platform/text_codec.h"

#include <cstddef>
#include <random>
#include <string>

#include <gtest/gtest.h>

namespace {

using platform::legacyFromUtf8;
using platform::utf8FromLegacy;

struct CodecCase {
    const char* name;
    std::string utf8;
    std::string legacy;
};

// GBK bytes written out by hand, so a wrong code page cannot agree with itself.
const CodecCase kValidText[] = {
    {"empty", "", ""},
    {"ascii", "http://host/a b?c=1", "http://host/a b?c=1"},
    {"chinese", "执行命令:", "\xD6\xB4\xD0\xD0\xC3\xFC\xC1\xEE:"},
    {"error caption", "错误", "\xB4\xED\xCE\xF3"},
    {"mixed", "a提示b",
     "a\xCC\xE1\xCA\xBE"
     "b"},
    {"euro of code page 936", "\xE2\x82\xAC", "\x80"},
    {"embedded nul", std::string("a\0b", 3), std::string("a\0b", 3)},
};

TEST(TextCodec, ValidTextConvertsBothWaysExactly) {
    for (const auto& c : kValidText) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(legacyFromUtf8(c.utf8), c.legacy);
        EXPECT_EQ(utf8FromLegacy(c.legacy), c.utf8);
    }
}

TEST(TextCodec, EveryDoubleByteCharacterRoundTrips) {
    // Walk the whole GBK double-byte grid: whatever decodes to a real character
    // must encode back to the very same two bytes.
    int checked = 0;
    for (int lead = 0x81; lead <= 0xFE; ++lead) {
        for (int trail = 0x40; trail <= 0xFE; ++trail) {
            if (trail == 0x7F) {
                continue;
            }
            const std::string legacy{static_cast<char>(lead), static_cast<char>(trail)};
            const std::string utf8 = utf8FromLegacy(legacy);
            if (utf8.find("\xEF\xBF\xBD") != std::string::npos) {
                continue; // unassigned code point
            }
            ASSERT_EQ(legacyFromUtf8(utf8), legacy) << std::hex << lead << ' ' << trail;
            ++checked;
        }
    }
    EXPECT_GT(checked, 20000); // GBK assigns about 21,900 double-byte characters
}

struct InvalidCase {
    const char* name;
    std::string input;
    std::string expected;
};

TEST(TextCodec, InvalidLegacyBytesBecomeReplacementCharacters) {
    const InvalidCase cases[] = {
        {"lead byte at end", "ab\xB4", "ab\xEF\xBF\xBD"},
        {"lone 0xFF",
         "\xFF"
         "x",
         "\xEF\xBF\xBDx"},
        {"bad trail then ascii", "\xB4\x20z", "\xEF\xBF\xBD z"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(utf8FromLegacy(c.input), c.expected);
    }
}

TEST(TextCodec, InvalidOrUnmappableUtf8BecomesQuestionMarks) {
    const InvalidCase cases[] = {
        {"stray continuation byte",
         "a\x80"
         "b",
         "a?b"},
        {"truncated sequence at end", "a\xE9\x94", "a?"},
        {"truncated sequence before ascii", "\xE9\x94x", "?x"},
        {"overlong encoding", "\xC0\xAF", "??"},
        {"emoji has no GBK form", "x\xF0\x9F\x98\x80y", "x?y"},
        {"surrogate half", "\xED\xA0\x80", "?"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(legacyFromUtf8(c.input), c.expected);
    }
}

struct SequenceCase {
    const char* name;
    std::string text;
    std::size_t at;
    std::size_t expected;
};

TEST(TextCodec, Utf8SequenceLengthAtAcceptsOnlyWellFormedSequences) {
    const SequenceCase cases[] = {
        {"ascii", "a", 0, 1},
        {"nul", std::string("\0", 1), 0, 1},
        {"smallest two-byte", "\xC2\x80", 0, 2},
        {"two-byte", "\xC3\xA9", 0, 2},
        {"overlong two-byte", "\xC1\xBF", 0, 0},
        {"overlong slash", "\xC0\xAF", 0, 0},
        {"smallest three-byte", "\xE0\xA0\x80", 0, 3},
        {"overlong three-byte", "\xE0\x9F\xBF", 0, 0},
        {"overlong three-byte slash", "\xE0\x80\xAF", 0, 0},
        {"last before surrogates", "\xED\x9F\xBF", 0, 3},
        {"surrogate", "\xED\xA0\x80", 0, 0},
        {"first after surrogates", "\xEE\x80\x80", 0, 3},
        {"smallest four-byte", "\xF0\x90\x80\x80", 0, 4},
        {"overlong four-byte", "\xF0\x8F\xBF\xBF", 0, 0},
        {"U+10FFFF", "\xF4\x8F\xBF\xBF", 0, 4},
        {"past U+10FFFF", "\xF4\x90\x80\x80", 0, 0},
        {"lead byte past F4", "\xF5\x80\x80\x80", 0, 0},
        {"0xFF", "\xFF", 0, 0},
        {"lone continuation", "\x80", 0, 0},
        {"inside a character", "\xE4\xB8\xAD", 1, 0},
        {"cut off two of three", "end\xE4\xB8", 3, 0},
        {"cut off three of four", "\xF0\x9F\x98", 0, 0},
        {"third byte not continuation",
         "\xE4\xB8"
         "A",
         0, 0},
        {"fourth byte not continuation",
         "\xF0\x9F\x98"
         "A",
         0, 0},
        {"second byte is a lead", "\xE4\xC0\xAD", 0, 0},
        {"after ascii", "a\xE4\xB8\xAD", 1, 3},
        {"at the end", "ab", 2, 0},
        {"past the end", "ab", 7, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(platform::utf8SequenceLengthAt(c.text, c.at), c.expected);
    }
}

TEST(TextCodec, Utf8IsRecognisedAndLegacyNamesAreDecoded) {
    const std::pair<std::string, bool> validity[] = {
        {"", true},
        {"plain", true},
        {"说明.txt", true},
        {"\xF0\x9F\x98\x80", true},
        {"\xC0\xAF", false},         // overlong '/'
        {"\xE0\x80\xAF", false},     // overlong '/', three bytes
        {"\xED\xA0\x80", false},     // surrogate
        {"\xF4\x90\x80\x80", false}, // beyond U+10FFFF
        {"\xE8\xAF", false},         // cut short
        {"\x80", false},
        {legacyFromUtf8("说明.txt"), false},
        {legacyFromUtf8("数据/存档"), false},
    };
    for (const auto& [text, valid] : validity) {
        EXPECT_EQ(platform::isValidUtf8(text), valid) << text;
    }
    EXPECT_EQ(platform::utf8FromUnknown("说明.txt"), "说明.txt");
    EXPECT_EQ(platform::utf8FromUnknown(legacyFromUtf8("数据/说明.txt")), "数据/说明.txt");
}

TEST(TextCodec, RandomBytesNeverHangOrOverrun) {
    std::mt19937 random(12345);
    std::uniform_int_distribution<int> byte(0, 255);
    std::uniform_int_distribution<int> length(0, 64);
    for (int round = 0; round < 5000; ++round) {
        std::string input(static_cast<size_t>(length(random)), '\0');
        for (char& c : input) {
            c = static_cast<char>(byte(random));
        }
        const std::string utf8 = utf8FromLegacy(input);
        // Every input byte yields at most one character of output.
        EXPECT_LE(utf8.size(), input.size() * 3);
        const std::string legacy = legacyFromUtf8(input);
        EXPECT_LE(legacy.size(), input.size() * 2);
        // Decoded text is always valid UTF-8, so it converts back without '?' growth.
        EXPECT_LE(legacyFromUtf8(utf8).size(), utf8.size());
    }
}

TEST(TextCodec, LongTextGrowsTheOutputBuffer) {
    std::string utf8;
    for (int i = 0; i < 10000; ++i) {
        utf8 += "删除完毕";
    }
    const std::string legacy = legacyFromUtf8(utf8);
    EXPECT_EQ(legacy.size(), 10000u * 8);
    EXPECT_EQ(utf8FromLegacy(legacy), utf8);
}

} // namespace
