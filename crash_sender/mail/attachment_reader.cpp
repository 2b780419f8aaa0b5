#include "attachment_reader.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "base64.h"

namespace crash_mail {
namespace {

constexpr std::size_t kLineBytes = kBase64LineChars / 4 * 3;
// A whole number of lines per read, so that only the file's last line can be short.
constexpr std::size_t kLinesPerPiece = 4096;
constexpr std::size_t kPieceBytes = kLineBytes * kLinesPerPiece;
constexpr std::string_view kLineEnd = "\r\n";

class FileDescriptor {
public:
    explicit FileDescriptor(int fd)
        : m_fd(fd) {}
    ~FileDescriptor() {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return m_fd; }

private:
    int m_fd;
};

// Reads until `count` bytes arrived, the file ended or an error occurred; returns
// how many bytes arrived.
std::size_t readFully(int fd, unsigned char* buffer, std::size_t count) {
    std::size_t done = 0;
    while (done < count) {
        const ssize_t got = ::read(fd, buffer + done, count - done);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            break;
        }
        done += static_cast<std::size_t>(got);
    }
    return done;
}

} // namespace

FileReadResult ReadFileBase64(const std::string& path, const Base64Sink& out) {
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0) {
        return FileReadResult::Missing;
    }
    const FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (file.get() < 0 || ::fstat(file.get(), &status) != 0 || !S_ISREG(status.st_mode) ||
        status.st_size <= 0) {
        return FileReadResult::Unreadable;
    }
    auto remaining = static_cast<std::uint64_t>(status.st_size);
    std::vector<unsigned char> bytes(
        static_cast<std::size_t>(std::min<std::uint64_t>(remaining, kPieceBytes)));
    std::string text(kLinesPerPiece * (kBase64LineChars + kLineEnd.size()), '\0');
    bool firstLine = true;
    while (remaining > 0) {
        const auto want = static_cast<std::size_t>(std::min<std::uint64_t>(remaining, kPieceBytes));
        if (readFully(file.get(), bytes.data(), want) != want) {
            return FileReadResult::Unreadable;
        }
        remaining -= want;
        char* end = text.data();
        for (std::size_t offset = 0; offset < want; offset += kLineBytes) {
            if (!firstLine) {
                end = std::copy(kLineEnd.begin(), kLineEnd.end(), end);
            }
            firstLine = false;
            end = base64EncodeInto(bytes.data() + offset, std::min(kLineBytes, want - offset), end);
        }
        if (!out(std::string_view(text.data(), static_cast<std::size_t>(end - text.data())))) {
            return FileReadResult::Refused;
        }
    }
    return FileReadResult::Encoded;
}

} // namespace crash_mail
