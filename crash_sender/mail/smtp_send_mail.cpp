#include "smtp_send_mail.h"

#include <string>
#include <string_view>

#include <sys/stat.h>

#include "attachment_reader.h"
#include "base64.h"
#include "mail_message.h"
#include "smtp_command.h"
#include "status_text.h"

namespace crash_mail {
namespace {

// SMTP reply codes the dialogue waits for.
constexpr int kServiceReady = 220;
constexpr int kOk = 250;
constexpr int kClosing = 221;
constexpr int kAuthSucceeded = 235;
constexpr int kAuthChallenge = 334;
constexpr int kStartMailInput = 354;

bool isRefusal(int code) {
    return code >= 500 && code <= 599;
}

// One SMTP dialogue after the connection is made. A step that fails posts the
// server's reply (the "reply failure" of the status lines) and ends the dialogue.
class Dialogue {
public:
    Dialogue(SmtpConnection& connection, SendStatus& status)
        : m_connection(connection)
        , m_status(status) {}

    int run(const MailJob& job, const std::string& text) {
        if (!greeted() || !introduce()) {
            return kMailFailed;
        }
        if (!job.user.empty()) {
            post(kAuthenticating, 1);
            if (!command("AUTH LOGIN\r\n", kAuthChallenge) ||
                !command(base64Line(job.user), kAuthChallenge) ||
                !command(base64Line(job.password), kAuthSucceeded)) {
                return kMailFailed;
            }
        }
        post(kSendingEnvelope, 1);
        if (!command("MAIL FROM:" + envelopeAddress(job.from) + "\r\n", kOk) ||
            !command("RCPT TO:" + envelopeAddress(job.to) + "\r\n", kOk)) {
            return kMailFailed;
        }
        post(kSendingHeader, 1);
        if (!command("DATA\r\n", kStartMailInput) || !unit(headerUnit(job))) {
            return kMailFailed;
        }
        post(kSendingText, 15);
        if (!unit(textPartUnit(text))) {
            return kMailFailed;
        }
        post(kSendingAttachments, 15);
        post(kAttachmentsMarker, 16);
        for (const auto& path : job.attachments) {
            if (!attachment(path)) {
                return kMailFailed;
            }
        }
        if (!unit(closingUnit()) || !command("\r\n.\r\n", kOk)) {
            return kMailFailed;
        }
        post(kDataAccepted, 30);
        if (!command("QUIT \r\n", kClosing)) {
            return kMailFailed;
        }
        post(kMailComplete, 50);
        return kMailSent;
    }

private:
    void post(std::string_view line, int amount) { m_status.PostStatus(line, amount, true); }

    bool greeted() {
        if (m_connection.cancelRequested()) {
            return false;
        }
        const SmtpReply greeting = m_connection.receiveReply();
        if (greeting.outcome == ReplyOutcome::Failed ||
            greeting.outcome == ReplyOutcome::TimedOut) {
            post(greetingFailedLine(-1), 1);
            return false;
        }
        return greeting.outcome == ReplyOutcome::Complete && greeting.code == kServiceReady;
    }

    // RFC 4954 allows AUTH only after EHLO; a server that refuses EHLO gets HELO.
    bool introduce() {
        post(kGreeting, 1);
        const int code = SmtpCommand(m_connection, "EHLO CrashSender\r\n", &m_reply);
        if (code == kOk) {
            return true;
        }
        if (isRefusal(code)) {
            return command("HELO CrashSender\r\n", kOk);
        }
        replyFailed();
        return false;
    }

    bool command(std::string_view text, int expected) {
        if (SmtpCommand(m_connection, text, &m_reply) == expected) {
            return true;
        }
        replyFailed();
        return false;
    }

    void replyFailed() { post(m_reply, 0); }

    bool unit(std::string_view text) {
        return SmtpCommand(m_connection, text, nullptr) == static_cast<int>(text.size());
    }

    bool attachment(const std::string& path) {
        if (!unit(attachmentHeaderUnit(path))) {
            return false;
        }
        const FileReadResult read =
            ReadFileBase64(path, [this](std::string_view piece) { return unit(piece); });
        if (read == FileReadResult::Encoded) {
            return true;
        }
        if (read != FileReadResult::Refused) {
            post(attachmentUnreadableLine(path), 1);
        }
        return false;
    }

    static std::string base64Line(std::string_view text) {
        return Base64Encode(text.data(), text.size()) + "\r\n";
    }

    SmtpConnection& m_connection;
    SendStatus& m_status;
    std::string m_reply; // the reply of the latest command, shown when a step fails
};

} // namespace

int SmtpSendMail(const MailJob& job, SendStatus& status) {
    const std::string text = prepareBody(job.body);
    for (const auto& path : job.attachments) {
        struct stat entry {};
        if (::stat(path.c_str(), &entry) != 0) {
            status.PostStatus(attachmentMissingLine(path), 1, true);
            return kMailFailed;
        }
    }
    status.PostStatus(lookingUpLine(job.server, job.port), 1, true);
    const auto address = lookupServer(job.server, job.port);
    if (!address) {
        status.PostStatus(kLookupFailed, 1, true);
        return kMailFailed;
    }
    SmtpConnection connection(status, job.replyTimeout);
    int result = kMailFailed;
    if (connection.connect(*address, job.connectTimeout)) {
        status.PostStatus(kConnected, 5, true);
        result = Dialogue(connection, status).run(job, text);
    }
    if (status.cancelRequested()) {
        result = kMailFailed;
    }
    status.PostStatus(endLine(result), 100, false);
    return result;
}

} // namespace crash_mail
