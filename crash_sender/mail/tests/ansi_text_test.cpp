#include "crash_sender/mail/ansi_text.h"

#include <string>

#include <gtest/gtest.h>

#include "platform/text_codec.h"

namespace crash_mail {
namespace {

TEST(AnsiText, Utf8StaysAsItIs) {
    const char* cases[] = {"", "plain ascii", "程序崩溃了\r\n第二行", "\xF0\x9F\x98\x80 emoji"};
    for (const char* text : cases) {
        SCOPED_TRACE(text);
        EXPECT_EQ(AnsiToUtf8(text), text);
    }
}

TEST(AnsiText, LegacyCodePageIsConverted) {
    // "错误报告" in GBK, as a caller built for the legacy platform passes it.
    EXPECT_EQ(AnsiToUtf8("\xB4\xED\xCE\xF3\xB1\xA8\xB8\xE6"), "错误报告");
    EXPECT_EQ(AnsiToUtf8("C:\\\xB1\xA8\xB8\xE6.dmp"), "C:\\报告.dmp");
}

// Which bytes count as well-formed is platform::isValidUtf8's (text_codec_test.cpp);
// here: whatever is not, still leaves as UTF-8.
TEST(AnsiText, MalformedUtf8IsConverted) {
    const char* cases[] = {
        "\xC0\xAF",         // overlong "/"
        "\xE0\x80\xAF",     // overlong, three bytes
        "\xED\xA0\x80",     // a UTF-16 surrogate
        "\xF4\x90\x80\x80", // past U+10FFFF
        "\xE4\xBD",         // cut off
        "\x80",             // a lone continuation byte
    };
    for (const char* text : cases) {
        SCOPED_TRACE(testing::PrintToString(std::string(text)));
        const std::string converted = AnsiToUtf8(text);
        EXPECT_NE(converted, text);
        EXPECT_TRUE(platform::isValidUtf8(converted));
    }
}

} // namespace
} // namespace crash_mail
