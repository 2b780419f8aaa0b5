#pragma once

#include "mail_job.h"
#include "send_status.h"

namespace crash_mail {

// SmtpSendMail's and SendReportMail's results.
constexpr int kMailSent = 0;
constexpr int kMailFailed = 2;

// Sends `job` as one mail: EHLO (HELO when EHLO is refused), AUTH LOGIN when a
// user is given, one sender, one recipient, the MIME message, QUIT. Reports every
// step through `status` as a line and a change of the percentage and stops when
// `status` asks for cancellation. Returns kMailSent when the server accepted the
// message and the QUIT, kMailFailed for every kind of failure and for a cancellation
// requested at any time before it returns.
int SmtpSendMail(const MailJob& job, SendStatus& status);

} // namespace crash_mail
