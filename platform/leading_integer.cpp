#include "platform/leading_integer.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <limits>

namespace platform {
namespace {

bool isSpace(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

} // namespace

int leadingInteger(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && isSpace(text[i])) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    // The magnitude stops growing at that of the smallest int, one past the largest,
    // so any number of digits fits in 64 bits and clamping gives the nearest end.
    constexpr std::int64_t kMostMagnitude = std::int64_t{std::numeric_limits<int>::max()} + 1;
    std::int64_t magnitude = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        magnitude = std::min(magnitude * 10 + (text[i] - '0'), kMostMagnitude);
    }
    return static_cast<int>(std::clamp<std::int64_t>(negative ? -magnitude : magnitude,
                                                     std::numeric_limits<int>::min(),
                                                     std::numeric_limits<int>::max()));
}

} // namespace platform
