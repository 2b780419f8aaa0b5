#include "profile_file.h"

#include <fstream>
#include <system_error>
#include <unordered_set>

#include "platform/leading_integer.h"
#include "platform/text_codec.h"

namespace update {
namespace {

constexpr std::string_view kUtf8ByteOrderMark = "\xEF\xBB\xBF";

// The profile functions' blanks: ASCII white space and the DOS end-of-file mark.
bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f' || c == '\x1A';
}

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && isBlank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && isBlank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

// Names are compared without regard to ASCII case only: bytes of multi-byte
// characters are left alone.
std::string foldedName(std::string_view name) {
    std::string folded(trimmed(name));
    for (char& c : folded) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return folded;
}

// Names cannot hold a line end, so it separates the section from the key.
std::string lookupKey(const std::string& foldedSection, const std::string& foldedKey) {
    return foldedSection + '\n' + foldedKey;
}

std::string_view withoutEnclosingQuotes(std::string_view value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
        return value.substr(1, value.size() - 2);
    }
    return value;
}

} // namespace

ProfileFile ProfileFile::fromBytes(std::string_view bytes) {
    std::string content;
    if (bytes.starts_with(kUtf8ByteOrderMark)) {
        content = bytes.substr(kUtf8ByteOrderMark.size());
    } else {
        // Decoded before parsing: a trail byte of a double-byte character may
        // equal ']' and must not end a section name.
        content = platform::utf8FromLegacy(bytes);
    }

    ProfileFile file;
    std::unordered_set<std::string> sections;
    // "section\n" of the section the lines belong to; nullopt before the first
    // header and inside a repeated section, whose keys are never found.
    std::optional<std::string> prefix;
    std::string_view rest = content;
    while (!rest.empty()) {
        const std::size_t lineEnd = rest.find('\n');
        std::string_view line = rest.substr(0, lineEnd);
        rest.remove_prefix(lineEnd == std::string_view::npos ? rest.size() : lineEnd + 1);
        // The original keeps texts NUL-terminated: a NUL ends what it can see.
        line = trimmed(line.substr(0, line.find('\0')));
        if (line.empty() || line.front() == ';') {
            continue;
        }
        if (line.front() == '[') {
            const std::size_t close = line.rfind(']');
            if (close != std::string_view::npos && close > 0) {
                std::string name = foldedName(line.substr(1, close - 1));
                prefix.reset();
                if (sections.insert(name).second) {
                    prefix = lookupKey(name, {});
                }
                continue;
            }
            // A '[' without ']' is no header; the line is read as a key.
        }
        if (!prefix) {
            continue;
        }
        const std::size_t equals = line.find('=');
        std::optional<std::string> value;
        if (equals != std::string_view::npos) {
            value.emplace(withoutEnclosingQuotes(trimmed(line.substr(equals + 1))));
        }
        file.m_values.try_emplace(*prefix + foldedName(line.substr(0, equals)), std::move(value));
    }
    return file;
}

ProfileFile ProfileFile::load(const std::filesystem::path& path) {
    std::error_code error;
    const auto size = std::filesystem::file_size(path, error);
    if (error || size > kMaxFileBytes) {
        return {};
    }
    std::ifstream in(path, std::ios::binary);
    std::string bytes(static_cast<std::size_t>(size), '\0');
    if (!in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()))) {
        return {};
    }
    return fromBytes(bytes);
}

const std::optional<std::string>* ProfileFile::find(std::string_view section,
                                                    std::string_view key) const {
    const std::string keyName = foldedName(key);
    if (keyName.empty()) {
        return nullptr;
    }
    const auto it = m_values.find(lookupKey(foldedName(section), keyName));
    return it == m_values.end() ? nullptr : &it->second;
}

std::string ProfileFile::text(std::string_view section, std::string_view key,
                              std::string_view defaultValue) const {
    const auto* value = find(section, key);
    if (value == nullptr || !value->has_value()) {
        return std::string(defaultValue);
    }
    return **value;
}

int ProfileFile::integer(std::string_view section, std::string_view key, int defaultValue) const {
    const auto* value = find(section, key);
    if (value == nullptr || !value->has_value() || (*value)->empty()) {
        return defaultValue;
    }
    // Values are trimmed already, but a quoted one may still start with blanks, and
    // the DOS end-of-file mark is one of ours that atoi does not skip.
    return platform::leadingInteger(trimmed(**value));
}

} // namespace update
