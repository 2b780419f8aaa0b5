#include "platform/testing/test_files.h"

#include <cerrno>
#include <fstream>
#include <sstream>
#include <system_error>

#include <stdlib.h>

namespace platform::testing {

namespace fs = std::filesystem;

ScratchDirectory::ScratchDirectory() {
    std::string pattern = (fs::temp_directory_path() / "lobby_test_XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        throw fs::filesystem_error("cannot create a scratch folder", pattern,
                                   std::error_code(errno, std::generic_category()));
    }
    m_path = pattern;
}

ScratchDirectory::~ScratchDirectory() {
    std::error_code ignored;
    fs::remove_all(m_path, ignored);
}

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

void writeFile(const fs::path& path, std::string_view bytes) {
    if (path.has_parent_path()) {
        fs::create_directories(path.parent_path());
    }
    std::ofstream(path, std::ios::binary)
        .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

} // namespace platform::testing
