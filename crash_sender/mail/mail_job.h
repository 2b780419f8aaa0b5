#pragma once

#include <chrono>
#include <cstdint>
#include <set>
#include <string>

namespace crash_mail {

// The port the crash sender's command line always uses; tests pass their own.
constexpr std::uint16_t kSmtpPort = 25;

// Long enough for a slow server on a poor line, short enough that a dead one does
// not keep the crash sender open for ever.
constexpr std::chrono::milliseconds kDefaultConnectTimeout{60'000};
constexpr std::chrono::milliseconds kDefaultReplyTimeout{60'000};

// What one crash mail sends. Written completely before the worker starts and only
// read by it afterwards, so it needs no lock. All texts are UTF-8, except that text
// a caller built for the legacy platform handed over may still be in its code page
// (see AnsiToUtf8).
struct MailJob {
    std::string subject;
    std::string from;   // MAIL FROM and the From header
    std::string to;     // RCPT TO and the To header; one address
    std::string body;   // the text part
    std::string server; // host name or dotted IPv4 address
    std::string user;   // AUTH LOGIN user name; empty: no authentication
    std::string password;
    // Full paths of the files to attach, in plain byte order, without duplicates.
    std::set<std::string> attachments;

    std::uint16_t port = kSmtpPort;
    // How long connecting may take.
    std::chrono::milliseconds connectTimeout = kDefaultConnectTimeout;
    // How long one whole reply may take to arrive, and how long a send may make no
    // progress because the server reads nothing.
    std::chrono::milliseconds replyTimeout = kDefaultReplyTimeout;
};

} // namespace crash_mail
