#include "config_store/profile_int.h"

#include <cstdint>
#include <limits>
#include <ostream>
#include <string>
#include <string_view>

#include <gtest/gtest.h>

#include "config_store/tests/ascii_label.h"

namespace config_store {
namespace {

constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();

struct IntCase {
    std::string_view text;
    std::int32_t expected;
};

// Names the generated test after its text, so test names stay readable and stable.
void PrintTo(const IntCase& c, std::ostream* out) {
    *out << asciiLabel(c.text);
}

class ParseProfileIntTest : public testing::TestWithParam<IntCase> {};

TEST_P(ParseProfileIntTest, ReadsLikeAProfileInteger) {
    EXPECT_EQ(parseProfileInt(GetParam().text), GetParam().expected) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ParseProfileIntTest,
    testing::Values(IntCase{"6123", 6123}, IntCase{"0", 0}, IntCase{"007", 7}, IntCase{"  42", 42},
                    IntCase{"\t\r\n 9", 9}, IntCase{"+15", 15}, IntCase{"-15", -15},
                    IntCase{"12abc", 12}, IntCase{"3.9", 3}, IntCase{"1 2", 1}, IntCase{"42  ", 42},
                    // no digits at all
                    IntCase{"", 0}, IntCase{"abc", 0}, IntCase{"-", 0}, IntCase{"+", 0},
                    IntCase{"--1", 0}, IntCase{"- 5", 0}, IntCase{"0x10", 0}, IntCase{"x5", 0},
                    // the ends of the range and beyond: clamped
                    IntCase{"2147483647", kMax}, IntCase{"-2147483648", kMin},
                    IntCase{"2147483648", kMax}, IntCase{"-2147483649", kMin},
                    IntCase{"4294967296", kMax}, IntCase{"99999999999999999999999999999", kMax},
                    IntCase{"-99999999999999999999999999999", kMin},
                    IntCase{"000000000000000000000000000042", 42}));

TEST(FormatProfileIntTest, WritesDecimalThatReadsBack) {
    for (const std::int32_t value : {0, 1, -1, 6123, 65535, -65536, kMax, kMin}) {
        const std::string text = formatProfileInt(value);
        EXPECT_EQ(text, std::to_string(value));
        EXPECT_EQ(parseProfileInt(text), value);
    }
}

} // namespace
} // namespace config_store
