#pragma once

#include <string_view>

namespace platform {

// Receives one debug trace line, without a line end. Called from any thread.
using DebugTraceSink = void (*)(std::string_view line);

// Writes a debug trace line to the current sink. The default sink writes the line
// and a newline to standard error in a single write(2), so lines from different
// threads never interleave.
void debugTrace(std::string_view line);

// Replaces the sink; nullptr silences debug tracing. Returns the previous sink.
DebugTraceSink setDebugTraceSink(DebugTraceSink sink);

// The default sink.
void debugTraceToStderr(std::string_view line);

} // namespace platform
