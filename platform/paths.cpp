#include "paths.h"

#include <system_error>

namespace platform {
namespace {

bool isSeparator(char c) {
    return c == '/' || c == '\\';
}

} // namespace

std::filesystem::path programDirectory() {
    std::error_code error;
    const auto executable = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::filesystem::path() : executable.parent_path();
}

std::string pathFromPeer(std::string_view peerPath) {
    std::string path(peerPath);
    for (char& c : path) {
        if (c == '\\') {
            c = '/';
        }
    }
    return path;
}

std::string joinPath(std::string_view directory, std::string_view name) {
    while (!directory.empty() && isSeparator(directory.back())) {
        directory.remove_suffix(1);
    }
    while (!name.empty() && isSeparator(name.front())) {
        name.remove_prefix(1);
    }
    std::string joined(directory);
    joined += '/';
    joined += pathFromPeer(name);
    return joined;
}

} // namespace platform
