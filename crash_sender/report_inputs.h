#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "crash_sender/mail/mail_job.h"

namespace crash_sender {

constexpr char kFieldSeparator = '#';
constexpr std::size_t kCommandFieldCount = 7;
// Positions of the command-line fields.
constexpr std::size_t kFromField = 0;
constexpr std::size_t kToField = 1;
constexpr std::size_t kReportFileField = 2;
constexpr std::size_t kDeleteFlagField = 3;
constexpr std::size_t kServerField = 4;
constexpr std::size_t kUserField = 5;
constexpr std::size_t kPasswordField = 6;

// What the crash sender takes from its command line.
struct ReportInputs {
    std::vector<std::string> commandFields;
    // The delete flag as read when the command line was accepted.
    bool deleteReport = false;
    // The delete flag as read when the mail job was filled; false before.
    bool deleteAttachments = false;
};

// Appends the fields of `text` to `fields`: the part before the first separator is
// a field and the rest is split the same way, except that a rest that starts with
// the separator (an empty field) is one last field as it stands, separator and all.
// A separator at the very end adds no empty field; an empty text adds nothing.
void SplitCommandLine(std::string_view text, char separator, std::vector<std::string>& fields);

// The command-line tail as the crash sender reads it: the program's arguments,
// without the program's own name, joined by single blanks.
std::string commandLineTail(std::span<char* const> arguments);

// The delete flag: true when `field` read as atoi reads it is greater than 0
// (" 2" and "2x" count as 2).
bool deleteFlag(std::string_view field);

// Splits `tail` into `inputs.commandFields` and, when it holds exactly seven fields,
// takes the delete flag into `inputs.deleteReport` and returns true. Otherwise
// returns false: the crash sender then ends without sending or deleting anything.
bool acceptCommandLine(ReportInputs& inputs, std::string_view tail);

// The mail job for the seven accepted fields and the user's description, with
// port 25; also takes the delete flag into `inputs.deleteAttachments`. The report
// file's path may use "\" separators; the attachment path gets "/", and the subject
// is the file name after the last "\" or "/". An empty description makes the file
// name the mail's text. Without seven fields: an empty job and no deletion.
crash_mail::MailJob FillMailJob(ReportInputs& inputs, std::string_view description);

} // namespace crash_sender
