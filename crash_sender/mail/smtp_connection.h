#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include <netinet/in.h>

#include "send_status.h"

namespace crash_mail {

// The first IPv4 address of `server` (host name or dotted address) with `port`, or
// nothing when the name does not resolve. May block as long as the resolver does.
std::optional<sockaddr_in> lookupServer(const std::string& server, std::uint16_t port);

enum class ReplyOutcome {
    Complete,  // a whole reply arrived
    Closed,    // the server closed the connection before the reply was whole
    Failed,    // the receive failed, or the reply grew past any sensible size
    TimedOut,  // the reply was not whole within the reply time-out
    Cancelled, // cancellation was requested while waiting
};

struct SmtpReply {
    ReplyOutcome outcome = ReplyOutcome::Failed;
    int code = 0; // number at the start of the reply's last line; Complete only
    // What arrived of the reply, without the line end of its last line.
    std::string text;
};

// One TCP connection to an SMTP server. Every wait is cut into short slices that
// look at the cancellation request of `status`, so a cancellation takes effect
// within a slice even while the server is silent.
class SmtpConnection {
public:
    SmtpConnection(const SendStatus& status, std::chrono::milliseconds replyTimeout);
    ~SmtpConnection();
    SmtpConnection(const SmtpConnection&) = delete;
    SmtpConnection& operator=(const SmtpConnection&) = delete;

    bool cancelRequested() const { return m_status.cancelRequested(); }

    // False when the connection is refused, not made within `timeout`, or
    // cancelled while waiting.
    bool connect(const sockaddr_in& address, std::chrono::milliseconds timeout);

    // Sends all of `bytes`. False when the connection fails, when the server takes
    // nothing for the reply time-out, or when cancellation is requested while the
    // send waits.
    bool sendAll(std::string_view bytes);

    // Reads one whole reply: lines up to the first one that is not "NNN-" (RFC 5321
    // 4.2.1), however the server splits them into segments. Bytes that follow the
    // reply stay for the next one.
    SmtpReply receiveReply();

private:
    enum class WaitResult { Ready, TimedOut, Cancelled, Failed };
    WaitResult waitFor(short events, std::chrono::steady_clock::time_point deadline) const;

    const SendStatus& m_status;
    const std::chrono::milliseconds m_replyTimeout;
    int m_fd = -1;
    std::string m_received; // bytes received and not yet handed out as a reply
};

} // namespace crash_mail
