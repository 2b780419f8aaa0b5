#pragma once

#include <string_view>

namespace crash_mail {

// The decimal number at the start of `text`, read as C's atoi reads it: leading
// white space, an optional sign, then digits up to the first other character; 0 when
// there are none. Values beyond the range of int are clamped to it instead of being
// undefined.
int leadingInteger(std::string_view text);

} // namespace crash_mail
