#include "smtp_command.h"

#include <utility>

namespace crash_mail {

int SmtpCommand(SmtpConnection& connection, std::string_view text, std::string* reply) {
    if (connection.cancelRequested()) {
        return -1;
    }
    if (!connection.sendAll(text)) {
        if (reply != nullptr) {
            reply->clear();
        }
        return -1;
    }
    if (reply == nullptr) {
        return static_cast<int>(text.size());
    }
    SmtpReply received = connection.receiveReply();
    *reply = std::move(received.text);
    switch (received.outcome) {
    case ReplyOutcome::Complete:
        return received.code;
    case ReplyOutcome::Closed:
        return 0;
    case ReplyOutcome::Failed:
    case ReplyOutcome::TimedOut:
    case ReplyOutcome::Cancelled:
        return -1;
    }
    return -1;
}

} // namespace crash_mail
