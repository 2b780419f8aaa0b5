#include "download_timeouts.h"

#include <mutex>

namespace update {
namespace {

std::mutex g_timeoutsMutex;
DownloadTimeouts g_timeouts;

} // namespace

DownloadTimeouts downloadTimeouts() {
    std::lock_guard lock(g_timeoutsMutex);
    return g_timeouts;
}

void setDownloadTimeouts(const DownloadTimeouts& timeouts) {
    std::lock_guard lock(g_timeoutsMutex);
    g_timeouts = timeouts;
}

} // namespace update
