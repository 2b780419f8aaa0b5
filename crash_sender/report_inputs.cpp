#include "report_inputs.h"

#include "crash_sender/mail/mail_message.h"
#include "platform/leading_integer.h"
#include "platform/paths.h"

namespace crash_sender {

void SplitCommandLine(std::string_view text, char separator, std::vector<std::string>& fields) {
    while (!text.empty()) {
        const auto found = text.find(separator);
        if (found == std::string_view::npos || found == 0) {
            fields.emplace_back(text);
            return;
        }
        fields.emplace_back(text.substr(0, found));
        text.remove_prefix(found + 1);
    }
}

std::string commandLineTail(std::span<char* const> arguments) {
    std::string tail;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        if (i > 0) {
            tail += ' ';
        }
        tail += arguments[i];
    }
    return tail;
}

bool deleteFlag(std::string_view field) {
    return platform::leadingInteger(field) > 0;
}

bool acceptCommandLine(ReportInputs& inputs, std::string_view tail) {
    SplitCommandLine(tail, kFieldSeparator, inputs.commandFields);
    if (inputs.commandFields.size() != kCommandFieldCount) {
        return false;
    }
    inputs.deleteReport = deleteFlag(inputs.commandFields[kDeleteFlagField]);
    return true;
}

crash_mail::MailJob FillMailJob(ReportInputs& inputs, std::string_view description) {
    crash_mail::MailJob job;
    const auto& fields = inputs.commandFields;
    if (fields.size() != kCommandFieldCount) {
        inputs.deleteAttachments = false;
        return job;
    }
    job.subject = crash_mail::attachmentName(fields[kReportFileField]);
    job.from = fields[kFromField];
    job.to = fields[kToField];
    job.body = description.empty() ? job.subject : std::string(description);
    job.attachments.insert(platform::pathFromPeer(fields[kReportFileField]));
    inputs.deleteAttachments = deleteFlag(fields[kDeleteFlagField]);
    job.server = fields[kServerField];
    job.user = fields[kUserField];
    job.password = fields[kPasswordField];
    return job;
}

} // namespace crash_sender
