#include "report_cleanup.h"

#include <string>
#include <string_view>

#include <unistd.h>

#include "platform/paths.h"

namespace crash_sender {
namespace {

// Removes the folder that holds `path` when it is empty. `path` uses "/".
void removeFolderOf(const std::string& path) {
    const auto separator = path.rfind('/');
    if (separator != std::string::npos && separator > 0) {
        ::rmdir(path.substr(0, separator).c_str());
    }
}

} // namespace

void DeleteReportFile(const ReportInputs& inputs) {
    if (!inputs.deleteReport || inputs.commandFields.size() != kCommandFieldCount) {
        return;
    }
    const std::string path = platform::pathFromPeer(inputs.commandFields[kReportFileField]);
    if (!path.empty()) {
        ::unlink(path.c_str());
    }
    removeFolderOf(path);
}

void DeleteAttachments(const ReportInputs& inputs, const crash_mail::MailJob& job) {
    if (!inputs.deleteAttachments || job.attachments.empty()) {
        return;
    }
    for (const auto& path : job.attachments) {
        ::unlink(path.c_str());
    }
    removeFolderOf(*job.attachments.begin());
}

} // namespace crash_sender
