#include "unpack_progress.h"

#include <mutex>
#include <unordered_map>

namespace unzip {
namespace {

std::mutex g_progressMutex;
// One entry per archive ever unpacked by this process: a few floats at most.
std::unordered_map<std::string, float> g_progress;

} // namespace

void setProgress(const std::string& archivePath, float fraction) {
    std::lock_guard lock(g_progressMutex);
    g_progress[archivePath] = fraction;
}

float progress(const std::string& archivePath) {
    std::lock_guard lock(g_progressMutex);
    const auto it = g_progress.find(archivePath);
    return it == g_progress.end() ? 0.0f : it->second;
}

} // namespace unzip
