#include "config_store/store_text.h"

#include <cstring>

#include "config_store/text_escape.h"

namespace config_store {

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

std::string_view nextLine(std::string_view& rest) {
    const void* end = std::memchr(rest.data(), '\n', rest.size());
    const std::size_t length =
        end ? static_cast<std::size_t>(static_cast<const char*>(end) - rest.data()) : rest.size();
    std::string_view line = rest.substr(0, length);
    rest.remove_prefix(end ? length + 1 : length);
    if (!line.empty() && line.back() == '\r') {
        line.remove_suffix(1);
    }
    return line;
}

std::string_view withoutLeadingBlanks(std::string_view line) {
    const std::size_t first = line.find_first_not_of(" \t");
    return first == std::string_view::npos ? std::string_view() : line.substr(first);
}

} // namespace

Store parseStoreText(std::string_view text) {
    Store store;
    Section* current = nullptr;
    if (text.starts_with(kByteOrderMark)) {
        text.remove_prefix(kByteOrderMark.size());
    }
    while (!text.empty()) {
        const std::string_view line = withoutLeadingBlanks(nextLine(text));
        if (line.empty() || line.front() == ';' || line.front() == '#') {
            continue;
        }
        if (line.front() == '[') {
            // A header without its ']' still names a section, so the keys under it
            // are not filed under the section before.
            const std::size_t close = findUnescaped(line, ']', 1);
            const std::size_t nameEnd = close == std::string_view::npos ? line.size() : close;
            current = &store.sectionFromFile(unescape(line.substr(1, nameEnd - 1)));
            continue;
        }
        const std::size_t equals = findUnescaped(line, '=');
        if (current == nullptr || equals == std::string_view::npos) {
            continue;
        }
        current->addFromFile(unescape(line.substr(0, equals)), unescape(line.substr(equals + 1)));
    }
    return store;
}

std::string formatStoreText(const Store& store) {
    std::string out;
    for (const Section& section : store.sections()) {
        if (!out.empty()) {
            out += '\n';
        }
        out += '[';
        appendEscaped(out, section.name(), FieldKind::SectionName);
        out += "]\n";
        for (const KeyEntry& key : section.keys()) {
            appendEscaped(out, key.name, FieldKind::KeyName);
            out += '=';
            appendEscaped(out, key.value, FieldKind::Value);
            out += '\n';
        }
    }
    return out;
}

} // namespace config_store
