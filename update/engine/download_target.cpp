#include "download_target.h"

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include <fcntl.h>
#include <unistd.h>

#include "platform/paths.h"
#include "process_state.h"

namespace update {
namespace {

namespace fs = std::filesystem;

fs::path temporaryDirectory() {
    const char* tmpdir = std::getenv("TMPDIR");
    return tmpdir && *tmpdir ? fs::path(tmpdir) : fs::path("/tmp");
}

bool climbsOut(const std::string& localName) {
    const fs::path relative = fs::path(platform::joinPath("", localName)).relative_path();
    const fs::path normal = relative.lexically_normal();
    return !normal.empty() && *normal.begin() == "..";
}

int openTruncating(const std::string& path) {
    return ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
}

} // namespace

TargetError resolveLocalPath(const char* localName, std::string& path) {
    if (localName) {
        if (climbsOut(localName)) {
            return TargetError::OutsideAppPath;
        }
        path = platform::joinPath(appPath(), localName);
        return TargetError::None;
    }
    const fs::path directory = temporaryDirectory();
    std::error_code error;
    if (!fs::is_directory(directory, error)) {
        return TargetError::TempDirectory;
    }
    std::string name = (directory / "kivXXXXXX").string();
    const int fd = ::mkstemp(name.data());
    if (fd < 0) {
        return TargetError::TempName;
    }
    ::close(fd);
    path = std::move(name);
    return TargetError::None;
}

int openLocalFile(const std::string& path) {
    const int fd = openTruncating(path);
    if (fd >= 0) {
        return fd;
    }
    const int openError = errno;
    std::error_code error;
    const fs::path parent = fs::path(path).parent_path();
    if (parent.empty() || !fs::create_directories(parent, error) || error) {
        errno = openError;
        return -1;
    }
    return openTruncating(path);
}

} // namespace update
