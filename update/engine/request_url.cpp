#include "request_url.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

namespace update {
namespace {

struct UrlParts {
    std::string scheme; // lower case; "http" when the URL names none
    std::string_view host;
    std::size_t pathStart = 0; // index of the first byte after the host part
};

std::string lowered(std::string_view text) {
    std::string result(text);
    std::transform(result.begin(), result.end(), result.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return result;
}

UrlParts splitUrl(std::string_view url) {
    UrlParts parts{"http", {}, 0};
    std::size_t authorityStart = 0;
    if (const std::size_t separator = url.find("://"); separator != std::string_view::npos) {
        parts.scheme = lowered(url.substr(0, separator));
        authorityStart = separator + 3;
    }
    parts.pathStart = std::min(url.find_first_of("/?#", authorityStart), url.size());
    std::string_view authority = url.substr(authorityStart, parts.pathStart - authorityStart);
    if (const std::size_t at = authority.rfind('@'); at != std::string_view::npos) {
        authority.remove_prefix(at + 1);
    }
    if (!authority.empty() && authority.front() == '[') {
        parts.host = authority.substr(1, authority.find(']') - 1);
    } else {
        parts.host = authority.substr(0, authority.find(':'));
    }
    return parts;
}

std::string environment(const std::string& name) {
    const char* value = std::getenv(name.c_str());
    return value ? value : "";
}

// A no_proxy list: "*" or comma-separated host names, each also matching its
// subdomains; a leading '.' is ignored.
bool hostExcluded(std::string_view host, std::string_view noProxy) {
    const std::string lowerHost = lowered(host);
    while (!noProxy.empty()) {
        const std::size_t comma = std::min(noProxy.find(','), noProxy.size());
        std::string_view entry = noProxy.substr(0, comma);
        noProxy.remove_prefix(std::min(comma + 1, noProxy.size()));
        while (!entry.empty() && (entry.front() == ' ' || entry.front() == '.')) {
            entry.remove_prefix(1);
        }
        while (!entry.empty() && entry.back() == ' ') {
            entry.remove_suffix(1);
        }
        const std::string name = lowered(entry);
        if (name == "*" || lowerHost == name ||
            (lowerHost.size() > name.size() && !name.empty() && lowerHost.ends_with("." + name))) {
            return true;
        }
    }
    return false;
}

} // namespace

std::string requestUrl(std::string_view url) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    const std::size_t pathStart = splitUrl(url).pathStart;
    std::string result(url.substr(0, pathStart));
    for (const char c : url.substr(pathStart)) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte <= 0x20 || byte >= 0x7F) {
            result += '%';
            result += kHex[byte >> 4];
            result += kHex[byte & 0x0F];
        } else {
            result += c;
        }
    }
    return result;
}

bool proxyConfiguredFor(std::string_view url) {
    const UrlParts parts = splitUrl(url);
    // curl ignores HTTP_PROXY in upper case: a CGI program gets it from a request
    // header.
    std::string proxy = environment(parts.scheme + "_proxy");
    if (proxy.empty() && parts.scheme != "http") {
        std::string upper = parts.scheme + "_PROXY";
        std::transform(upper.begin(), upper.end(), upper.begin(),
                       [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
        proxy = environment(upper);
    }
    if (proxy.empty()) {
        proxy = environment("all_proxy");
    }
    if (proxy.empty()) {
        proxy = environment("ALL_PROXY");
    }
    if (proxy.empty()) {
        return false;
    }
    std::string noProxy = environment("no_proxy");
    if (noProxy.empty()) {
        noProxy = environment("NO_PROXY");
    }
    return !hostExcluded(parts.host, noProxy);
}

} // namespace update
