#pragma once

#include <string_view>

namespace platform {

// The decimal number at the start of `text`, read as C's atoi reads it: leading
// white space (space, '\t', '\n', '\v', '\f', '\r'), an optional '+' or '-', then
// decimal digits up to the first other character. 0 when there are no digits.
// Values beyond the range of int are clamped to its nearest end instead of being
// undefined, however many digits follow. Never reads past `text`; no terminator is
// needed.
int leadingInteger(std::string_view text);

} // namespace platform
