#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace unzip_test {

// A minimal zip writer (stored members only) that gives tests full control over
// the raw bytes of member names and their flags: GBK names without the UTF-8
// flag, hostile paths and symbolic links, which ordinary tools refuse to write.
struct ZipMember {
    std::string rawName; // written as is
    std::string content; // for a link: its target
    bool utf8Flag = false;
    enum class Kind { File, Directory, Symlink } kind = Kind::File;
};

std::string buildZip(const std::vector<ZipMember>& members);

} // namespace unzip_test
