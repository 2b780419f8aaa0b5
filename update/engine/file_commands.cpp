#include "file_commands.h"

#include <cerrno>
#include <filesystem>
#include <thread>

#include <fcntl.h>
#include <spawn.h>
#include <stdio.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/paths.h"
#include "process_state.h"

extern char** environ;

namespace update {
namespace fs = std::filesystem;

namespace {

constexpr auto kReplacingCopy = fs::copy_options::overwrite_existing | fs::copy_options::recursive;

// A file going onto an existing folder goes into it, as the shell's file
// operations do.
fs::path effectiveTarget(const fs::path& source, const fs::path& target) {
    std::error_code error;
    if (fs::is_directory(target, error) && !fs::is_directory(source, error)) {
        return target / source.filename();
    }
    return target;
}

// Missing folders on the way to a target are created, as the shell does.
void createParentFolders(const fs::path& target) {
    std::error_code error;
    if (target.has_parent_path()) {
        fs::create_directories(target.parent_path(), error);
    }
}

bool copyReplacing(const fs::path& source, const fs::path& target) {
    std::error_code error;
    if (!fs::exists(fs::symlink_status(source, error))) {
        return false;
    }
    const fs::path destination = effectiveTarget(source, target);
    createParentFolders(destination);
    if (fs::is_directory(source, error)) {
        fs::copy(source, destination, kReplacingCopy, error);
    } else {
        fs::copy_file(source, destination, fs::copy_options::overwrite_existing, error);
    }
    return !error;
}

} // namespace

bool DeletePath(const std::string& path) {
    std::error_code error;
    if (!fs::exists(fs::symlink_status(path, error))) {
        return true;
    }
    fs::remove_all(path, error);
    return !error;
}

bool MovePath(const std::string& source, const std::string& target) {
    std::error_code error;
    const fs::path destination = effectiveTarget(source, target);
    createParentFolders(destination);
    fs::rename(source, destination, error);
    if (!error) {
        return true;
    }
    // Across file systems, or onto a folder that is not empty: copy, then delete.
    return copyReplacing(source, destination) && DeletePath(source);
}

bool CopyPath(const std::string& source, const std::string& target) {
    return copyReplacing(source, target);
}

int renameWithoutReplacing(const std::string& source, const std::string& target) {
    if (::renameat2(AT_FDCWD, source.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0) {
        return 0;
    }
    if (errno != EINVAL && errno != ENOSYS) {
        return errno;
    }
    // A file system without the atomic form: test, then rename.
    struct stat status {};
    if (::lstat(target.c_str(), &status) == 0) {
        return EEXIST;
    }
    return ::rename(source.c_str(), target.c_str()) == 0 ? 0 : errno;
}

int createDirectory(const std::string& path) {
    return ::mkdir(path.c_str(), 0755) == 0 ? 0 : errno;
}

bool startDetached(const std::string& path) {
    const bool executable = ::access(path.c_str(), X_OK) == 0 && !fs::is_directory(path);
    std::string program = executable ? path : "xdg-open";
    std::string argument = path;
    char* argvExecutable[] = {program.data(), nullptr};
    char* argvOpen[] = {program.data(), argument.data(), nullptr};
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    // Its own session: the started program outlives Update and ignores its signals.
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID);
    pid_t pid = 0;
    const int result =
        executable
            ? ::posix_spawn(&pid, program.c_str(), nullptr, &attributes, argvExecutable, environ)
            : ::posix_spawnp(&pid, program.c_str(), nullptr, &attributes, argvOpen, environ);
    posix_spawnattr_destroy(&attributes);
    if (result != 0) {
        return false;
    }
    // Update never waits for what it starts; this thread only collects the exit
    // status so that no zombie is left behind.
    std::thread([pid] { ::waitpid(pid, nullptr, 0); }).detach();
    return true;
}

std::string GetProgramDirectory() {
    std::string directory = appPath();
    if (directory.empty()) {
        return platform::programDirectory().string();
    }
    while (directory.size() > 1 && directory.back() == '/') {
        directory.pop_back();
    }
    return directory;
}

std::string JoinPath(const std::string& directory, const std::string& name) {
    return platform::joinPath(directory, name);
}

} // namespace update
