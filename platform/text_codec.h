#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace platform {

// Conversions between UTF-8, used everywhere inside the programs, and the legacy
// code page (GBK, Windows code page 936) that peers built for the original platform
// speak: the lobby client's task records, downloaded index and list files and the
// trace log. Nothing else in the code base calls iconv.
//
// Both directions accept any byte sequence: they never fail, never loop and never
// read past the input. Valid text round-trips exactly.

// Bytes in the legacy code page to UTF-8. A byte sequence that is not valid GBK
// becomes U+FFFD, one per offending byte.
std::string utf8FromLegacy(std::string_view legacy);

// Length in bytes (1 to 4) of the well-formed UTF-8 sequence that starts at byte
// `at` of `text`, or 0 when none does: a stray continuation byte, a lead byte that
// cannot start a sequence, an overlong form, a surrogate, a value past U+10FFFF, a
// sequence cut short by the end of `text`, or `at` at or past the end. The one
// definition of well-formed UTF-8 in the code base (RFC 3629).
std::size_t utf8SequenceLengthAt(std::string_view text, std::size_t at);

// True when `text` is well-formed UTF-8 throughout (see utf8SequenceLengthAt).
bool isValidUtf8(std::string_view text);

// Text of unknown origin (a file name inside an archive, say) in UTF-8: kept when
// it is valid UTF-8 already, else read as the legacy code page. Names in the
// legacy code page are almost never valid UTF-8 as well.
std::string utf8FromUnknown(std::string_view text);

// UTF-8 to the legacy code page. Characters GBK cannot represent and bytes that are
// not valid UTF-8 each become '?'.
std::string legacyFromUtf8(std::string_view utf8);

} // namespace platform
