#include "base64.h"

#include <array>
#include <bit>
#include <cstdint>
#include <cstring>

namespace crash_mail {
namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr char kFill = '=';

static_assert(std::endian::native == std::endian::little,
              "the pair table and the wide loads assume a little-endian machine");

// Two output characters for every 12-bit value, stored in memory order, so that
// three input bytes cost two table loads instead of four.
constexpr std::array<std::uint16_t, 4096> makePairTable() {
    std::array<std::uint16_t, 4096> table{};
    for (unsigned value = 0; value < table.size(); ++value) {
        const auto first = static_cast<unsigned char>(kAlphabet[value >> 6]);
        const auto second = static_cast<unsigned char>(kAlphabet[value & 0x3F]);
        table[value] = static_cast<std::uint16_t>(first | (second << 8));
    }
    return table;
}

constexpr std::array<std::uint16_t, 4096> kPairs = makePairTable();

} // namespace

char* base64EncodeInto(const unsigned char* bytes, std::size_t count, char* out) {
    std::size_t i = 0;
    // Six input bytes per step through one 8-byte load; the loop stops while 8 bytes
    // can still be read so that it never reads past the input.
    for (; i + 8 <= count; i += 6) {
        std::uint64_t word;
        std::memcpy(&word, bytes + i, sizeof word);
        word = __builtin_bswap64(word);
        const std::uint64_t chars = std::uint64_t{kPairs[(word >> 52) & 0xFFF]} |
                                    std::uint64_t{kPairs[(word >> 40) & 0xFFF]} << 16 |
                                    std::uint64_t{kPairs[(word >> 28) & 0xFFF]} << 32 |
                                    std::uint64_t{kPairs[(word >> 16) & 0xFFF]} << 48;
        std::memcpy(out, &chars, sizeof chars);
        out += sizeof chars;
    }
    for (; i + 3 <= count; i += 3) {
        const std::uint32_t group =
            std::uint32_t{bytes[i]} << 16 | std::uint32_t{bytes[i + 1]} << 8 | bytes[i + 2];
        const std::uint32_t chars =
            std::uint32_t{kPairs[group >> 12]} | std::uint32_t{kPairs[group & 0xFFF]} << 16;
        std::memcpy(out, &chars, sizeof chars);
        out += sizeof chars;
    }
    const std::size_t left = count - i;
    if (left > 0) {
        const std::uint32_t group =
            std::uint32_t{bytes[i]} << 16 | (left == 2 ? std::uint32_t{bytes[i + 1]} << 8 : 0U);
        *out++ = kAlphabet[group >> 18];
        *out++ = kAlphabet[(group >> 12) & 0x3F];
        *out++ = left == 2 ? kAlphabet[(group >> 6) & 0x3F] : kFill;
        *out++ = kFill;
    }
    return out;
}

std::string Base64Encode(const void* bytes, std::size_t count) {
    std::string text(base64EncodedSize(count), '\0');
    base64EncodeInto(static_cast<const unsigned char*>(bytes), count, text.data());
    return text;
}

} // namespace crash_mail
