#pragma once

#include <string>
#include <string_view>

#include "mail_job.h"

namespace crash_mail {

// The pieces of the crash mail's MIME message, each sent as one unit after DATA.

constexpr std::string_view kMimeBoundary = "KkK170891tpbkKk__FV_KKKkkkjjwq";

// The description as the text part carries it: every line break CR LF, every line
// that is exactly "." turned into "*", converted with AnsiToUtf8.
std::string prepareBody(std::string_view body);

// From, To, Subject and the multipart header, then an empty line and one more.
std::string headerUnit(const MailJob& job);

// The UTF-8 text part. Sent as it is, with the leading dot of every line doubled
// (RFC 5321 4.5.2) so that the receiver gets the text as typed; when a line is too
// long for SMTP (over 998 octets) the part is Base64-encoded instead.
std::string textPartUnit(std::string_view preparedBody);

// The header of the part that carries the file at `path`.
std::string attachmentHeaderUnit(std::string_view path);

// Ends the last part; the CR LF that begins the end-of-data command ends its line.
std::string_view closingUnit();

// The file name of `path`: what follows its last "/" or "\" (all of it when it has
// neither).
std::string_view attachmentName(std::string_view path);

// `address` for MAIL FROM and RCPT TO: the part in angle brackets when it has one
// ("Name <a@b>" gives "<a@b>"), otherwise the address put in angle brackets.
std::string envelopeAddress(std::string_view address);

// A value for a one-line header: converted with AnsiToUtf8, and CR and LF turned
// into blanks so that a value cannot end the header or the command it is put in.
std::string singleLine(std::string_view text);

} // namespace crash_mail
