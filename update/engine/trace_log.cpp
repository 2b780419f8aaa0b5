#include "trace_log.h"

#include <cerrno>
#include <string>

#include <fcntl.h>
#include <unistd.h>

#include "platform/text_codec.h"

namespace update {

TraceLog::TraceLog(const std::filesystem::path& path)
    : m_fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644)) {}

TraceLog::~TraceLog() {
    if (m_fd >= 0) {
        ::close(m_fd);
    }
}

void TraceLog::writeLine(std::string_view utf8Line) {
    if (m_fd < 0) {
        return;
    }
    std::string bytes = platform::legacyFromUtf8(utf8Line);
    bytes += "\r\n";
    std::lock_guard lock(m_writeMutex);
    const char* data = bytes.data();
    size_t left = bytes.size();
    while (left > 0) {
        const ssize_t written = ::write(m_fd, data, left);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return; // a full disk loses trace lines, never the task
        }
        data += written;
        left -= static_cast<size_t>(written);
    }
}

TraceLog& traceLog() {
    static TraceLog log("output.txt");
    return log;
}

} // namespace update
