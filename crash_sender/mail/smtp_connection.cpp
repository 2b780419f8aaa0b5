#include "smtp_connection.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "platform/leading_integer.h"

namespace crash_mail {
namespace {

using Clock = std::chrono::steady_clock;

// How often a wait looks at the cancellation request.
constexpr std::chrono::milliseconds kWaitSlice{100};
// Far more than any real reply (EHLO lists a few hundred bytes); a server that
// sends more is not talking SMTP.
constexpr std::size_t kMaxReplyBytes = 64 * 1024;
constexpr std::size_t kReceiveChunk = 4096;

bool isContinuationLine(std::string_view line) {
    return line.size() >= 4 &&
           std::all_of(line.begin(), line.begin() + 3,
                       [](char c) { return c >= '0' && c <= '9'; }) &&
           line[3] == '-';
}

std::string withoutLineEnd(std::string_view text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) {
        text.remove_suffix(1);
    }
    return std::string(text);
}

} // namespace

std::optional<sockaddr_in> lookupServer(const std::string& server, std::uint16_t port) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (server.empty() || ::getaddrinfo(server.c_str(), nullptr, &hints, &found) != 0 ||
        found == nullptr) {
        return std::nullopt;
    }
    sockaddr_in address{};
    std::memcpy(&address, found->ai_addr, sizeof address);
    ::freeaddrinfo(found);
    address.sin_port = htons(port);
    return address;
}

SmtpConnection::SmtpConnection(const SendStatus& status, std::chrono::milliseconds replyTimeout)
    : m_status(status)
    , m_replyTimeout(replyTimeout) {}

SmtpConnection::~SmtpConnection() {
    if (m_fd >= 0) {
        ::close(m_fd);
    }
}

SmtpConnection::WaitResult SmtpConnection::waitFor(short events, Clock::time_point deadline) const {
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) {
            return WaitResult::TimedOut;
        }
        pollfd entry{m_fd, events, 0};
        const int ready = ::poll(&entry, 1, static_cast<int>(std::min(left, kWaitSlice).count()));
        if (ready > 0) {
            // Errors and hang-ups are left to the following call, which reports them.
            return WaitResult::Ready;
        }
        if (ready < 0 && errno != EINTR) {
            return WaitResult::Failed;
        }
        // Looked at only after a slice passed in vain, so that a connection or a reply
        // that is already there is never thrown away.
        if (m_status.cancelRequested()) {
            return WaitResult::Cancelled;
        }
    }
}

bool SmtpConnection::connect(const sockaddr_in& address, std::chrono::milliseconds timeout) {
    m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (m_fd < 0) {
        return false;
    }
    if (::connect(m_fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) {
        return true;
    }
    if (errno != EINPROGRESS || waitFor(POLLOUT, Clock::now() + timeout) != WaitResult::Ready) {
        return false;
    }
    int error = 0;
    socklen_t length = sizeof error;
    return ::getsockopt(m_fd, SOL_SOCKET, SO_ERROR, &error, &length) == 0 && error == 0;
}

bool SmtpConnection::sendAll(std::string_view bytes) {
    auto deadline = Clock::now() + m_replyTimeout;
    while (!bytes.empty()) {
        const ssize_t sent = ::send(m_fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (sent > 0) {
            bytes.remove_prefix(static_cast<std::size_t>(sent));
            deadline = Clock::now() + m_replyTimeout;
        } else if (sent < 0 && errno == EINTR) {
            continue;
        } else if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            if (waitFor(POLLOUT, deadline) != WaitResult::Ready) {
                return false;
            }
        } else {
            return false;
        }
    }
    return true;
}

SmtpReply SmtpConnection::receiveReply() {
    const auto deadline = Clock::now() + m_replyTimeout;
    SmtpReply reply;
    std::size_t scanned = 0; // m_received up to here holds whole continuation lines
    for (;;) {
        for (auto end = m_received.find('\n', scanned); end != std::string::npos;
             end = m_received.find('\n', scanned)) {
            const std::string_view line(m_received.data() + scanned, end - scanned);
            scanned = end + 1;
            if (!isContinuationLine(line)) {
                reply.outcome = ReplyOutcome::Complete;
                reply.code = platform::leadingInteger(line);
                reply.text = withoutLineEnd(std::string_view(m_received).substr(0, scanned));
                m_received.erase(0, scanned);
                return reply;
            }
        }
        if (m_received.size() > kMaxReplyBytes) {
            reply.outcome = ReplyOutcome::Failed;
            break;
        }
        const WaitResult wait = waitFor(POLLIN, deadline);
        if (wait != WaitResult::Ready) {
            reply.outcome = wait == WaitResult::TimedOut    ? ReplyOutcome::TimedOut
                            : wait == WaitResult::Cancelled ? ReplyOutcome::Cancelled
                                                            : ReplyOutcome::Failed;
            break;
        }
        char chunk[kReceiveChunk];
        const ssize_t got = ::recv(m_fd, chunk, sizeof chunk, 0);
        if (got > 0) {
            m_received.append(chunk, static_cast<std::size_t>(got));
        } else if (got == 0) {
            reply.outcome = ReplyOutcome::Closed;
            break;
        } else if (errno != EINTR && errno != EAGAIN && errno != EWOULDBLOCK) {
            reply.outcome = ReplyOutcome::Failed;
            break;
        }
    }
    reply.text = withoutLineEnd(m_received);
    m_received.clear();
    return reply;
}

} // namespace crash_mail
