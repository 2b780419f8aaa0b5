#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace platform {

// The folder that holds the running executable (no trailing separator). Update
// installs games relative to it. Empty when the kernel cannot tell.
std::filesystem::path programDirectory();

// A path as a peer or a file built for the original platform writes it, with '\'
// separators, turned into a Linux path with '/'.
std::string pathFromPeer(std::string_view peerPath);

// Joins a directory and a name with exactly one separator: trailing separators of
// `directory` and leading separators of `name` are dropped first ('\' and '/' both
// count). `name` may come from a peer, so its '\' are translated.
std::string joinPath(std::string_view directory, std::string_view name);

} // namespace platform
