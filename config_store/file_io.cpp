#include "config_store/file_io.h"

#include <atomic>
#include <cerrno>
#include <string>
#include <system_error>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace config_store {

namespace {

std::string systemReason(int error) {
    return std::generic_category().message(error);
}

// Closes the descriptor when the scope ends, unless handed back with release().
class FileDescriptor {
public:
    explicit FileDescriptor(int fd)
        : m_fd(fd) {}
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor() {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
    }
    int get() const { return m_fd; }
    int release() { return std::exchange(m_fd, -1); }

private:
    int m_fd;
};

bool writeAll(int fd, std::string_view content) {
    while (!content.empty()) {
        const ssize_t written = ::write(fd, content.data(), content.size());
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return false;
        }
        content.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

std::filesystem::path temporaryPathBeside(const std::filesystem::path& target) {
    // Unique per process and save, so two handles saving the same file at once never
    // share a temporary file.
    static std::atomic<unsigned> counter{0};
    std::filesystem::path temporary = target;
    temporary += ".tmp-" + std::to_string(::getpid()) + "-" + std::to_string(++counter);
    return temporary;
}

SaveResult failure(SaveStatus status, std::string_view step, const std::filesystem::path& path,
                   int error) {
    return SaveResult{status, std::string(step) + " " + path.string() + ": " + systemReason(error)};
}

} // namespace

ReadResult readFileContent(const std::filesystem::path& path) {
    ReadResult result;
    FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (fd.get() < 0) {
        result.status = errno == ENOENT ? ReadStatus::Missing : ReadStatus::Unreadable;
        return result;
    }
    result.status = ReadStatus::Unreadable;
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode) ||
        static_cast<std::uintmax_t>(info.st_size) > kMaxFileBytes) {
        return result;
    }
    // The file may grow while it is read, so the limit is checked again on the bytes read.
    result.content.reserve(static_cast<std::size_t>(info.st_size));
    char buffer[65536];
    for (;;) {
        const ssize_t got = ::read(fd.get(), buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            result.content.clear();
            return result;
        }
        if (got == 0) {
            break;
        }
        if (result.content.size() + static_cast<std::size_t>(got) > kMaxFileBytes) {
            result.content.clear();
            return result;
        }
        result.content.append(buffer, static_cast<std::size_t>(got));
    }
    result.status = ReadStatus::Read;
    return result;
}

SaveResult replaceFileAtomically(const std::filesystem::path& path, std::string_view content) {
    std::error_code ignored;
    std::filesystem::path target = std::filesystem::canonical(path, ignored);
    if (target.empty()) {
        target = path; // nothing there yet
    }
    const std::filesystem::path temporary = temporaryPathBeside(target);
    FileDescriptor fd(::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC,
                             S_IRUSR | S_IWUSR | S_IRGRP | S_IWGRP | S_IROTH | S_IWOTH));
    if (fd.get() < 0) {
        return failure(SaveStatus::CannotCreate, "cannot create", temporary, errno);
    }
    struct stat old {};
    if (::stat(target.c_str(), &old) == 0) {
        ::fchmod(fd.get(), old.st_mode & 07777); // best effort: content matters more
    }
    // fdatasync also flushes the size, which is all of the metadata a reader needs.
    const bool written = writeAll(fd.get(), content) && ::fdatasync(fd.get()) == 0;
    const int writeError = errno;
    if (!written || ::close(fd.release()) != 0) {
        const int error = written ? errno : writeError;
        ::unlink(temporary.c_str());
        return failure(SaveStatus::CannotWrite, "cannot write", temporary, error);
    }
    if (::rename(temporary.c_str(), target.c_str()) != 0) {
        const int error = errno;
        ::unlink(temporary.c_str());
        return failure(SaveStatus::CannotReplace, "cannot replace", target, error);
    }
    const std::filesystem::path folder =
        target.has_parent_path() ? target.parent_path() : std::filesystem::path(".");
    FileDescriptor folderFd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    // EINVAL: the file system keeps no folder data to flush.
    if (folderFd.get() < 0 || (::fsync(folderFd.get()) != 0 && errno != EINVAL)) {
        return failure(SaveStatus::NotDurable, "cannot flush folder", folder, errno);
    }
    return SaveResult{};
}

} // namespace config_store
