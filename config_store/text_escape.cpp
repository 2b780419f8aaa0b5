#include "config_store/text_escape.h"

#include <cstdint>

namespace config_store {

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

bool isPunctuationOrSpace(char c) {
    return c == ' ' || (c >= '!' && c <= '/') || (c >= ':' && c <= '@') || (c >= '[' && c <= '`') ||
           (c >= '{' && c <= '~');
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

void appendHexEscape(std::string& out, unsigned char byte) {
    out += "\\x";
    out += kHexDigits[byte >> 4];
    out += kHexDigits[byte & 0x0F];
}

// Length of the well-formed UTF-8 sequence (RFC 3629: no overlong forms, no
// surrogates, nothing above U+10FFFF) that starts at `at`, or 0.
std::size_t utf8SequenceLength(std::string_view text, std::size_t at) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[at + i]); };
    const unsigned char lead = byte(0);
    std::size_t length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (text.size() - at < length || byte(1) < low || byte(1) > high) {
        return 0;
    }
    for (std::size_t i = 2; i < length; ++i) {
        if (byte(i) < 0x80 || byte(i) > 0xBF) {
            return 0;
        }
    }
    return length;
}

bool needsPunctuationEscape(char c, std::size_t at, FieldKind kind) {
    switch (kind) {
    case FieldKind::SectionName:
        return c == ']';
    case FieldKind::KeyName:
        return c == '=' || (at == 0 && (c == '[' || c == ';' || c == '#'));
    case FieldKind::Value:
        return false;
    }
    return false;
}

} // namespace

void appendEscaped(std::string& out, std::string_view text, FieldKind kind) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x80) {
            const std::size_t length = utf8SequenceLength(text, i);
            if (length == 0) {
                appendHexEscape(out, byte);
            } else {
                out.append(text.substr(i, length));
                i += length - 1;
            }
        } else if (c == '\\') {
            out += "\\\\";
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\t') {
            out += "\\t";
        } else if (byte < 0x20 || byte == 0x7F) {
            appendHexEscape(out, byte);
        } else if (c == ' ' && (i == 0 || i + 1 == text.size())) {
            appendHexEscape(out, byte); // blanks at the ends would be trimmed on reading
        } else if (needsPunctuationEscape(c, i, kind)) {
            out += '\\';
            out += c;
        } else {
            out += c;
        }
    }
}

std::string unescape(std::string_view field) {
    std::size_t i = 0;
    while (i < field.size() && isBlank(field[i])) {
        ++i;
    }
    std::string out;
    out.reserve(field.size() - i);
    std::size_t keep = 0; // length up to the last byte that is not a trimmable blank
    while (i < field.size()) {
        const char c = field[i++];
        if (c == '\0') {
            continue;
        }
        if (c != '\\' || i == field.size()) {
            out += c;
            keep = isBlank(c) ? keep : out.size();
            continue;
        }
        const char next = field[i];
        if (next == 'n' || next == 'r' || next == 't') {
            out += next == 'n' ? '\n' : (next == 'r' ? '\r' : '\t');
            ++i;
        } else if (next == 'x' && field.size() - i >= 3 && hexValue(field[i + 1]) >= 0 &&
                   hexValue(field[i + 2]) >= 0) {
            const int value = hexValue(field[i + 1]) * 16 + hexValue(field[i + 2]);
            if (value != 0) {
                out += static_cast<char>(value);
            }
            i += 3;
        } else if (isPunctuationOrSpace(next)) {
            out += next;
            ++i;
        } else {
            out += '\\'; // not an escape: the backslash is text
        }
        keep = out.size();
    }
    out.resize(keep);
    return out;
}

std::size_t findUnescaped(std::string_view line, char wanted, std::size_t from) {
    for (std::size_t i = from; i < line.size(); ++i) {
        if (line[i] == '\\') {
            ++i;
        } else if (line[i] == wanted) {
            return i;
        }
    }
    return std::string_view::npos;
}

} // namespace config_store
