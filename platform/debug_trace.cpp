#include "debug_trace.h"

#include <atomic>
#include <string>

#include <unistd.h>

namespace platform {
namespace {

std::atomic<DebugTraceSink> g_sink{debugTraceToStderr};

} // namespace

void debugTrace(std::string_view line) {
    if (const DebugTraceSink sink = g_sink.load()) {
        sink(line);
    }
}

DebugTraceSink setDebugTraceSink(DebugTraceSink sink) {
    return g_sink.exchange(sink);
}

void debugTraceToStderr(std::string_view line) {
    std::string buffer(line);
    buffer += '\n';
    // One system call per line is what keeps concurrent lines whole; a short write
    // to a pipe of this size does not happen, and a lost trace line is harmless.
    [[maybe_unused]] const ssize_t written = ::write(STDERR_FILENO, buffer.data(), buffer.size());
}

} // namespace platform
