#pragma once

#include <string>
#include <string_view>

namespace update {

// The URL as it is handed to curl. Update lists written for the original platform
// may hold raw blanks and non-ASCII bytes in paths, which curl refuses: after the
// host part, bytes above 0x7F, blanks and control characters are percent-encoded,
// byte by byte (non-ASCII text is UTF-8 inside the program, so the server sees it
// UTF-8 encoded). Everything else, '%' included, passes unchanged, so an encoded
// URL stays as it is. The host part is left to curl (it converts names with
// non-ASCII characters itself).
std::string requestUrl(std::string_view url);

// Whether curl will reach `url` through a proxy named by the environment
// (http_proxy, https_proxy / HTTPS_PROXY, all_proxy / ALL_PROXY, minus the hosts
// of no_proxy / NO_PROXY), the way curl reads these variables.
bool proxyConfiguredFor(std::string_view url);

} // namespace update
