#pragma once

#include <cstddef>
#include <string>

namespace crash_mail {

// Standard Base64 (RFC 4648 alphabet, "=" fill, no line breaks).

// Characters of the Base64 text of `count` bytes.
constexpr std::size_t base64EncodedSize(std::size_t count) {
    return (count + 2) / 3 * 4;
}

// Writes the Base64 text of `count` bytes to `out`, which must have room for
// base64EncodedSize(count) characters. Returns the end of what it wrote.
char* base64EncodeInto(const unsigned char* bytes, std::size_t count, char* out);

// The Base64 text of `count` bytes; empty for none.
std::string Base64Encode(const void* bytes, std::size_t count);

} // namespace crash_mail
