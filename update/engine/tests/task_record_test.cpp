#include "update/engine/task_record.h"

#include <cstring>

#include <gtest/gtest.h>

#include "platform/text_codec.h"

namespace {

TEST(TaskRecord, NewRecordIsZeroedAndWaiting) {
    update::sUpdateStruct record;
    const update::TaskWireImage& wire = record;
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(&wire);
    for (size_t i = 0; i < update::kWireRecordSize; ++i) {
        ASSERT_EQ(bytes[i], 0) << "byte " << i;
    }
    EXPECT_EQ(record.nState.load(), 0);
    EXPECT_FALSE(record.bCancel.load());
    EXPECT_EQ(record.dSpeed.load(), 0.0);
}

TEST(TaskRecord, TextFieldsDecodeFromTheLegacyCodePage) {
    update::sUpdateStruct record;
    const std::string name = platform::legacyFromUtf8("天龙八部");
    std::memcpy(record.g_GameName, name.data(), name.size());
    std::memcpy(record.g_url, "http://h/i.ini", 14);
    std::memcpy(record.g_ver, "1.0.2", 5);
    EXPECT_EQ(record.gameName(), "天龙八部");
    EXPECT_EQ(record.url(), "http://h/i.ini");
    EXPECT_EQ(record.version(), "1.0.2");
}

TEST(TaskRecord, FieldsWithoutNulAreReadOnlyUpToTheirEnd) {
    update::sUpdateStruct record;
    std::memset(record.g_GameName, 'n', sizeof record.g_GameName);
    std::memset(record.g_url, 'u', sizeof record.g_url);
    std::memset(record.g_ver, 'v', sizeof record.g_ver);
    EXPECT_EQ(record.gameName(), std::string(200, 'n'));
    EXPECT_EQ(record.url(), std::string(1000, 'u'));
    EXPECT_EQ(record.version(), std::string(20, 'v'));
}

std::string repeat(const std::string& text, int times) {
    std::string result;
    for (int i = 0; i < times; ++i) {
        result += text;
    }
    return result;
}

struct WireTextCase {
    const char* name;
    std::string utf8;
    std::string expectedUtf8;
};

TEST(TaskRecord, StoredTextIsCutToFitWithItsNulAndNeverSplitsACharacter) {
    // g_ver holds 19 bytes and its NUL.
    const WireTextCase cases[] = {
        {"fits", "1.0", "1.0"},
        {"ascii cut", std::string(30, 'x'), std::string(19, 'x')},
        {"double-byte characters end on the last byte", "x" + repeat("版", 12),
         "x" + repeat("版", 9)},
        {"a tenth character would be split", repeat("版", 12), repeat("版", 9)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        update::sUpdateStruct record;
        std::memset(record.g_ver, '#', sizeof record.g_ver);
        update::setWireText(record.g_ver, c.utf8);
        EXPECT_EQ(record.version(), c.expectedUtf8);
        EXPECT_EQ(record.g_ver[sizeof record.g_ver - 1], '\0');
    }
}

} // namespace
