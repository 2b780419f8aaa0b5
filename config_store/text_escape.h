#pragma once

#include <string>
#include <string_view>

namespace config_store {

// How names and values are spelled in a store file (config_store/README.md has the
// full rules). Any byte string round-trips through escape and unescape exactly,
// except that NUL bytes, which the C-string interface cannot carry, are dropped.

enum class FieldKind {
    SectionName, // inside "[...]": ']' is escaped
    KeyName,     // before '=': '=' is escaped, and a leading '[', ';' or '#'
    Value,       // after '='
};

// Appends `text` as written in a file. Control characters, '\', bytes that are not
// valid UTF-8 and a leading or trailing blank become escapes, so the file is valid
// UTF-8 and reading trims only blanks that are not data.
void appendEscaped(std::string& out, std::string_view text, FieldKind kind);

// The text a field of a file stands for: blanks around it are dropped and escapes
// decoded. Never fails: an unknown escape keeps its backslash.
std::string unescape(std::string_view field);

// Index of the first `wanted` in `line` at or after `from` that no backslash
// escapes, or std::string_view::npos.
std::size_t findUnescaped(std::string_view line, char wanted, std::size_t from = 0);

} // namespace config_store
