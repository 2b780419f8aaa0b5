#include "config_store/text_escape.h"

#include <ostream>
#include <string>
#include <string_view>

#include <gtest/gtest.h>

#include "config_store/tests/ascii_label.h"

namespace config_store {
namespace {

using namespace std::string_view_literals;

std::string escaped(std::string_view text, FieldKind kind) {
    std::string out;
    appendEscaped(out, text, kind);
    return out;
}

struct SpellingCase {
    std::string_view text;
    FieldKind kind;
    std::string_view spelled;
};

// Names the generated test after the spelling, so test names stay readable and stable.
void PrintTo(const SpellingCase& c, std::ostream* out) {
    *out << asciiLabel(c.spelled);
}

class EscapeSpellingTest : public testing::TestWithParam<SpellingCase> {};

TEST_P(EscapeSpellingTest, WritesTheDocumentedSpellingAndReadsItBack) {
    const SpellingCase& c = GetParam();
    EXPECT_EQ(escaped(c.text, c.kind), c.spelled);
    EXPECT_EQ(unescape(c.spelled), c.text);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, EscapeSpellingTest,
    testing::Values(
        SpellingCase{"plain", FieldKind::Value, "plain"}, SpellingCase{"", FieldKind::Value, ""},
        SpellingCase{"inner blanks stay", FieldKind::Value, "inner blanks stay"},
        SpellingCase{" lead", FieldKind::Value, "\\x20lead"},
        SpellingCase{"trail ", FieldKind::Value, "trail\\x20"},
        SpellingCase{"  both  ", FieldKind::Value, "\\x20 both \\x20"},
        SpellingCase{" ", FieldKind::Value, "\\x20"},
        SpellingCase{"a=b]c[", FieldKind::Value, "a=b]c["},
        SpellingCase{"; not a comment", FieldKind::Value, "; not a comment"},
        SpellingCase{"line\nbreak\r\ttab", FieldKind::Value, "line\\nbreak\\r\\ttab"},
        SpellingCase{"C:\\games\\new", FieldKind::Value, "C:\\\\games\\\\new"},
        SpellingCase{"\x01\x1f\x7f", FieldKind::Value, "\\x01\\x1F\\x7F"},
        SpellingCase{"平面窗口 😀", FieldKind::Value, "平面窗口 😀"},
        // bytes that are not UTF-8 (GBK, overlong, surrogate, cut short) are kept as bytes
        SpellingCase{"\xc4\xe3\xba\xc3", FieldKind::Value, "\\xC4\\xE3\\xBA\\xC3"},
        SpellingCase{"\xc0\xaf", FieldKind::Value, "\\xC0\\xAF"},
        SpellingCase{"\xed\xa0\x80", FieldKind::Value, "\\xED\\xA0\\x80"},
        SpellingCase{"\xf4\x90\x80\x80", FieldKind::Value, "\\xF4\\x90\\x80\\x80"},
        SpellingCase{"end\xe4\xb8", FieldKind::Value, "end\\xE4\\xB8"},
        SpellingCase{"a=b", FieldKind::KeyName, "a\\=b"},
        SpellingCase{"[x]", FieldKind::KeyName, "\\[x]"},
        SpellingCase{";c", FieldKind::KeyName, "\\;c"},
        SpellingCase{"#h", FieldKind::KeyName, "\\#h"},
        SpellingCase{"x[;#", FieldKind::KeyName, "x[;#"},
        SpellingCase{"a]b", FieldKind::SectionName, "a\\]b"},
        SpellingCase{"=[;", FieldKind::SectionName, "=[;"}));

TEST(UnescapeTest, ReadsHandWrittenFields) {
    const struct {
        std::string_view field;
        std::string_view text;
    } cases[] = {
        {"  value \t", "value"},
        {"a\\ ", "a "},       // an escaped blank is data
        {"\\x41\\x4a", "AJ"}, // either case of hex digit
        {"\\=\\]\\[\\;\\#", "=][;#"},
        {"\\q\\1", "\\q\\1"}, // not an escape: the backslash stays
        {"end\\", "end\\"},
        {"\\x4", "\\x4"},
        {"\\xZZ", "\\xZZ"},
        {"a\\x00b", "ab"}, // NUL cannot be carried by a C string
        {"a\0b"sv, "ab"},
        {"", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(unescape(c.field), c.text) << c.field;
    }
}

TEST(FindUnescapedTest, SkipsEscapedCharacters) {
    EXPECT_EQ(findUnescaped("a\\=b=c", '='), 4u);
    EXPECT_EQ(findUnescaped("a\\\\=b", '='), 3u);
    EXPECT_EQ(findUnescaped("no separator\\=", '='), std::string_view::npos);
    EXPECT_EQ(findUnescaped("[a\\]b]", ']', 1), 5u);
    EXPECT_EQ(findUnescaped("trailing\\", '='), std::string_view::npos);
}

} // namespace
} // namespace config_store
