#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace update {

// A sectioned key/value text file ("[section]" lines followed by "key=value"
// lines) read the way the original platform's profile functions read the index
// files and update lists that servers publish for it:
// - section and key names are compared without regard to ASCII case; when a
//   name occurs twice, the first section and the first key win;
// - blanks around names and values are ignored, and one pair of matching
//   enclosing quotes (double or single) is stripped from a value;
// - lines end in LF or CR LF; lines starting with ';' are comments; a line
//   without '=' names a key that has no value (reads as missing);
// - the file is in the legacy code page, unless it starts with a UTF-8
//   byte-order mark, in which case it is UTF-8.
// The file is parsed once; each lookup is a hash look-up, so a list with tens of
// thousands of sections reads in linear time. Any byte sequence is accepted.
class ProfileFile {
public:
    // A file that holds nothing: every lookup gives its default.
    ProfileFile() = default;

    // Parses file content as it lies on disk.
    static ProfileFile fromBytes(std::string_view bytes);

    // Reads and parses the file at `path`. A file that cannot be read, or that is
    // larger than kMaxFileBytes, holds nothing (every lookup gives its default),
    // as the original's profile functions treat a missing file.
    static ProfileFile load(const std::filesystem::path& path);

    // Index files and update lists are a few kilobytes; this leaves room for
    // lists of hundreds of thousands of entries and keeps a hostile download
    // from exhausting memory.
    static constexpr std::size_t kMaxFileBytes = 64u << 20;

    // The value of `key` in `section`, in UTF-8 (empty for "key="), or
    // `defaultValue` when the section or key is missing or the key has no '='.
    // Blank or empty names never match.
    std::string text(std::string_view section, std::string_view key,
                     std::string_view defaultValue = {}) const;

    // The value read as a decimal integer: leading blanks, an optional sign and
    // the digits that follow; other text after them is ignored. A value without
    // digits reads as 0; values beyond the range of int are clamped to it.
    // `defaultValue` when the value is missing or empty.
    int integer(std::string_view section, std::string_view key, int defaultValue) const;

private:
    const std::optional<std::string>* find(std::string_view section, std::string_view key) const;

    // "section\nkey", both lower-cased -> the value (none for a key without
    // '='); repeated names keep their first occurrence.
    std::unordered_map<std::string, std::optional<std::string>> m_values;
};

} // namespace update
