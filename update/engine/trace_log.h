#pragma once

#include <filesystem>
#include <mutex>
#include <string_view>

namespace update {

// The trace log of update work: one line per call, written in the legacy code page
// with CR LF so that tools made for the original platform read it, and handed to
// the kernel at once (no user-space buffer), so a crash loses no written line.
// Writes from different threads are serialised: lines never interleave.
class TraceLog {
public:
    // Opens `path` for writing, truncating it. When it cannot be opened every
    // write is silently ignored.
    explicit TraceLog(const std::filesystem::path& path);
    ~TraceLog();
    TraceLog(const TraceLog&) = delete;
    TraceLog& operator=(const TraceLog&) = delete;

    bool isOpen() const { return m_fd >= 0; }

    // Appends one line; `utf8Line` carries no line end.
    void writeLine(std::string_view utf8Line);

private:
    std::mutex m_writeMutex;
    int m_fd = -1;
};

// The process-wide log "output.txt" in the directory the process was started from.
// The first call opens it (truncating the previous run's log): programs call it at
// start-up, before any task runs.
TraceLog& traceLog();

} // namespace update
