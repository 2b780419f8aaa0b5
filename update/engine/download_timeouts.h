#pragma once

#include <chrono>

namespace update {

// Limits of every HTTP request of the engine (downloads and UrlExists). A request
// that exceeds one ends as a failure of the step it was in: opening the URL or
// reading its body.
struct DownloadTimeouts {
    // To set up the connection (name lookup, TCP, TLS).
    std::chrono::milliseconds connect{30000};
    // With less than one byte per second received over this long; curl counts in
    // whole seconds.
    std::chrono::seconds stall{60};
};

// The limits requests started from now on use. Process-wide; tests shorten them.
DownloadTimeouts downloadTimeouts();
void setDownloadTimeouts(const DownloadTimeouts& timeouts);

} // namespace update
