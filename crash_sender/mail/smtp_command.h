#pragma once

#include <string>
#include <string_view>

#include "smtp_connection.h"

namespace crash_mail {

// Sends one command or one piece of the message, and with `reply` reads the reply.
//
// When cancellation is pending, nothing is sent, `reply` keeps what it held (the
// reply of the step before) and the result is -1.
// Without `reply`: the number of bytes sent, which is all of `text`, or -1 when the
// text could not be sent completely.
// With `reply`: the reply's code; 0 when the server closed the connection before a
// whole reply arrived; -1 when the text could not be sent, the receive failed, timed
// out or was cancelled. `reply` receives the reply's text without its final line end
// (empty when the text could not be sent).
int SmtpCommand(SmtpConnection& connection, std::string_view text, std::string* reply);

} // namespace crash_mail
