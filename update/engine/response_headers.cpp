#include "response_headers.h"

#include <algorithm>
#include <cctype>
#include <charconv>

namespace update {
namespace {

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front()))) {
        text.remove_prefix(1);
    }
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) {
        text.remove_suffix(1);
    }
    return text;
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) ==
               std::tolower(static_cast<unsigned char>(y));
    });
}

bool containsIgnoringCase(std::string_view text, std::string_view word) {
    for (std::size_t at = 0; at + word.size() <= text.size(); ++at) {
        if (equalsIgnoringCase(text.substr(at, word.size()), word)) {
            return true;
        }
    }
    return false;
}

template <typename Number>
Number parsedOr(std::string_view text, Number fallback) {
    Number value{};
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size() && value >= 0 ? value
                                                                                  : fallback;
}

} // namespace

bool ResponseHeaders::addLine(std::string_view line) {
    if (m_final) {
        return false;
    }
    line = trimmed(line);
    if (line.empty()) {
        const int kind = m_status / 100;
        m_final = kind != 1 && !(kind == 3 && m_location);
        return m_final;
    }
    if (line.starts_with("HTTP/")) {
        *this = ResponseHeaders();
        const std::size_t blank = line.find(' ');
        const std::string_view code =
            blank == std::string_view::npos ? std::string_view() : line.substr(blank + 1, 3);
        m_status = parsedOr(code, 0);
        return false;
    }
    const std::size_t colon = line.find(':');
    if (colon == std::string_view::npos) {
        return false;
    }
    const std::string_view name = trimmed(line.substr(0, colon));
    const std::string_view value = trimmed(line.substr(colon + 1));
    if (equalsIgnoringCase(name, "Content-Length")) {
        m_contentLength = parsedOr<std::int64_t>(value, 0);
    } else if (equalsIgnoringCase(name, "Transfer-Encoding")) {
        m_chunked = containsIgnoringCase(value, "chunked");
    } else if (equalsIgnoringCase(name, "Location")) {
        m_location = !value.empty();
    }
    return false;
}

} // namespace update
