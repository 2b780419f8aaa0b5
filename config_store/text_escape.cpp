#include "config_store/text_escape.h"

#include "platform/text_codec.h"

namespace config_store {

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

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
    // Bytes that need no escape are copied in runs: most names and values are plain.
    std::size_t run = 0;
    const auto flush = [&](std::size_t upTo) { out.append(text.substr(run, upTo - run)); };
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x80) {
            const std::size_t length = platform::utf8SequenceLengthAt(text, i);
            if (length != 0) {
                i += length - 1;
                continue;
            }
            flush(i);
            appendHexEscape(out, byte);
        } else if (c == '\\' || c == '\n' || c == '\r' || c == '\t') {
            flush(i);
            out += '\\';
            out += c == '\\' ? '\\' : (c == '\n' ? 'n' : (c == '\r' ? 'r' : 't'));
        } else if (byte < 0x20 || byte == 0x7F || (c == ' ' && (i == 0 || i + 1 == text.size()))) {
            // a blank at either end would be trimmed on reading
            flush(i);
            appendHexEscape(out, byte);
        } else if (needsPunctuationEscape(c, i, kind)) {
            flush(i);
            out += '\\';
            out += c;
        } else {
            continue;
        }
        run = i + 1;
    }
    flush(text.size());
}

std::string unescape(std::string_view field) {
    const std::size_t first = field.find_first_not_of(" \t");
    if (first == std::string_view::npos) {
        return std::string();
    }
    field.remove_prefix(first);
    std::string out;
    out.reserve(field.size());
    std::size_t keep = 0; // length up to the last byte that is not a trimmable blank
    std::size_t i = 0;
    while (i < field.size()) {
        std::size_t special = i;
        while (special < field.size() && field[special] != '\\' && field[special] != '\0') {
            ++special;
        }
        const std::string_view run = field.substr(i, special - i);
        if (!run.empty()) {
            out.append(run);
            const std::size_t last = run.find_last_not_of(" \t");
            keep = last == std::string_view::npos ? keep : out.size() - run.size() + last + 1;
            i += run.size();
            continue;
        }
        const char c = field[i++];
        if (c == '\0') {
            continue;
        }
        if (i == field.size()) {
            out += c; // a backslash that ends the field is text
        } else if (const char next = field[i]; next == 'n' || next == 'r' || next == 't') {
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
