#pragma once

#include <string>

namespace unzip {

// Progress of the unpacking calls in flight, by archive path. Written by the
// unpacking thread, read by whoever polls.
void setProgress(const std::string& archivePath, float fraction);
float progress(const std::string& archivePath);

} // namespace unzip
