#pragma once

#include <memory>

#include "mail_job.h"
#include "send_status.h"

namespace crash_mail {

// StartMailWorker's results.
constexpr int kWorkerStarted = 0;
constexpr int kWorkerNotStarted = 1;

// Starts the mail worker thread for `job` and waits until it has signalled its
// start. The thread shares ownership of `job` and `status`, so it may outlive the
// caller; its end is signalled through `status` (waitWorkerFinished). Returns
// kWorkerStarted, or kWorkerNotStarted when no thread can be created.
int StartMailWorker(std::shared_ptr<const MailJob> job, std::shared_ptr<SendStatus> status);

// The worker thread's body: signals its start (result 0), sends the mail with
// SendReportMail, stores the result and signals its end. Returns the result.
int MailWorker(const MailJob& job, SendStatus& status);

// Sends the mail with SmtpSendMail between a first and a last status line.
// Returns kMailSent or kMailFailed.
int SendReportMail(const MailJob& job, SendStatus& status);

} // namespace crash_mail
