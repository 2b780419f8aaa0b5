#pragma once

#include <cstdint>
#include <string_view>

namespace config_store {

// Section and key names compare without regard to ASCII letter case, like the
// profile files peers on the original platform know; bytes above 0x7F compare
// exactly, so "Ä" and "ä" stay two names.

constexpr char asciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool namesEqual(std::string_view a, std::string_view b);

// 32-bit FNV-1a over the lower-cased bytes: equal names (as namesEqual sees them)
// hash equally.
std::uint32_t nameHash(std::string_view name);

} // namespace config_store
