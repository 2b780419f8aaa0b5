#pragma once

#include "crash_sender/mail/mail_job.h"
#include "report_inputs.h"

namespace crash_sender {

// Removal of the report after it was sent or given up. Failures are ignored: a
// folder goes only when it is empty, so other files in it keep it.

// With the delete flag of the command line: deletes the report file and then its
// folder. A path whose only separator is its first character has no folder to remove.
void DeleteReportFile(const ReportInputs& inputs);

// With the delete flag taken when the job was filled: deletes every attachment of
// `job`, then the folder of the first.
void DeleteAttachments(const ReportInputs& inputs, const crash_mail::MailJob& job);

} // namespace crash_sender
