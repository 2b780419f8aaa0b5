#pragma once

#include <cstdio>
#include <string>
#include <string_view>

// A test parameter as plain printable ASCII, every other byte as \xNN: CTest takes
// the printed parameter into the test's name.
inline std::string asciiLabel(std::string_view text) {
    std::string label = "\"";
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte < 0x7F && c != '"') {
            label += c;
        } else {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
            label += escaped;
        }
    }
    return label + "\"";
}
