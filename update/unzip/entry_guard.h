#pragma once

#include <string_view>

namespace unzip {

// True when an archive member's path stays inside the folder it is unpacked
// into: relative, and no ".." component. Archives come from the network, so a
// member path is never trusted.
bool isContainedPath(std::string_view path);

// True when a symbolic link with this target, stored at `linkPath`, points to a
// place inside the unpacking folder.
bool isContainedLinkTarget(std::string_view linkPath, std::string_view target);

} // namespace unzip
