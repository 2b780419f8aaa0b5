#include "platform/leading_integer.h"

#include <climits>
#include <ostream>
#include <string>
#include <string_view>

#include <gtest/gtest.h>

namespace {

struct IntegerCase {
    const char* name;
    std::string_view text;
    int expected;
};

void PrintTo(const IntegerCase& c, std::ostream* out) {
    *out << c.name;
}

class LeadingIntegerTest : public testing::TestWithParam<IntegerCase> {};

TEST_P(LeadingIntegerTest, ReadsLikeAtoi) {
    EXPECT_EQ(platform::leadingInteger(GetParam().text), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LeadingIntegerTest,
    testing::Values(IntegerCase{"Plain", "6123", 6123}, IntegerCase{"Zero", "0", 0},
                    IntegerCase{"LeadingZeros", "007", 7}, IntegerCase{"Plus", "+15", 15},
                    IntegerCase{"Minus", "-15", -15}, IntegerCase{"LargestPort", "65535", 65535},
                    IntegerCase{"NegativeBeyond16Bits", "-65536", -65536},
                    IntegerCase{"ManyLeadingZeros", "000000000000000000000000000042", 42},
                    // atoi's white space, and only that, before the number
                    IntegerCase{"LeadingSpaces", "  42", 42},
                    IntegerCase{"AllWhiteSpace", "\t\n\v\f\r 9", 9},
                    IntegerCase{"SpaceBeforeSign", " -3", -3},
                    IntegerCase{"DosEndOfFileMarkIsNoSpace", "\x1A+5", 0},
                    // the number ends at the first other character
                    IntegerCase{"TrailingText", "12abc", 12}, IntegerCase{"Decimal", "3.9", 3},
                    IntegerCase{"SpaceInside", "1 2", 1}, IntegerCase{"TrailingSpaces", "42  ", 42},
                    IntegerCase{"SmtpReply", "250-test.example greets\r\n", 250},
                    // no digits at all
                    IntegerCase{"Empty", "", 0}, IntegerCase{"Letters", "abc", 0},
                    IntegerCase{"OnlyMinus", "-", 0}, IntegerCase{"OnlyPlus", "+", 0},
                    IntegerCase{"TwoSigns", "--1", 0}, IntegerCase{"SpaceAfterSign", "- 5", 0},
                    IntegerCase{"HexPrefix", "0x10", 0}, IntegerCase{"LetterFirst", "x5", 0},
                    // the ends of the range and beyond: clamped
                    IntegerCase{"Largest", "2147483647", INT_MAX},
                    IntegerCase{"Smallest", "-2147483648", INT_MIN},
                    IntegerCase{"OneAboveLargest", "2147483648", INT_MAX},
                    IntegerCase{"OneBelowSmallest", "-2147483649", INT_MIN},
                    IntegerCase{"TwoToThe32", "4294967296", INT_MAX},
                    IntegerCase{"Huge", "99999999999999999999999999999", INT_MAX},
                    IntegerCase{"HugeNegative", "-99999999999999999999999999999", INT_MIN},
                    IntegerCase{"HugeThenText", "99999999999999999999x", INT_MAX}),
    [](const testing::TestParamInfo<IntegerCase>& c) { return std::string(c.param.name); });

TEST(LeadingInteger, ReadsOnlyTheGivenBytes) {
    // A view into a longer buffer: the digits after its end are not part of it.
    const std::string_view digits = "12345";
    EXPECT_EQ(platform::leadingInteger(digits.substr(0, 2)), 12);
}

} // namespace
