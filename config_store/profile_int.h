#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace config_store {

// Reads a stored value as an integer the way peers read profile integers: leading
// white space, an optional '+' or '-', then decimal digits up to the first other
// character. No digits give 0. A number outside the 32-bit range is clamped to its
// nearest end.
std::int32_t parseProfileInt(std::string_view text);

// Decimal text of `value`, as integers are stored.
std::string formatProfileInt(std::int32_t value);

} // namespace config_store
