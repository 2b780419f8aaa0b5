#include "mail_worker.h"

#include <system_error>
#include <thread>
#include <utility>

#include "smtp_send_mail.h"
#include "status_text.h"

namespace crash_mail {

int StartMailWorker(std::shared_ptr<const MailJob> job, std::shared_ptr<SendStatus> status) {
    try {
        // Detached: the thread owns what it touches, and its end reaches the waiting
        // side through `status`, not through a join.
        std::thread([job, status] { MailWorker(*job, *status); }).detach();
    } catch (const std::system_error&) {
        return kWorkerNotStarted;
    }
    status->waitWorkerStarted();
    return kWorkerStarted;
}

int MailWorker(const MailJob& job, SendStatus& status) {
    status.signalWorkerStarted();
    const int result = SendReportMail(job, status);
    status.signalWorkerFinished(result);
    return result;
}

int SendReportMail(const MailJob& job, SendStatus& status) {
    status.PostStatus(kMailStarting, 0, false);
    const int result = SmtpSendMail(job, status);
    status.PostStatus(result == kMailSent ? kMailSucceeded : kMailBroken, 100, false);
    return result;
}

} // namespace crash_mail
