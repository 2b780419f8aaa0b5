#pragma once

#include <chrono>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "crash_sender/mail/mail_job.h"
#include "python_server.h"

namespace crash_mail::testing {

// The exchanges of a conforming server, in order; each one can be replaced by a
// scripted fault.
enum class Stage { Greeting, Ehlo, Auth, User, Password, MailFrom, RcptTo, Data, EndOfData, Quit };

// The scripted server's part of one exchange as it conforms.
std::string conformingExchange(Stage stage);

// A script for scripted_smtp_server.py: the conforming exchanges before `stage`,
// then `ending` (script lines, "\n"-separated) in place of the rest.
std::string scriptEndingAt(Stage stage, const std::string& ending);

// The whole conforming dialogue, with the exchanges named in `replaced` played as
// given there instead; an empty text leaves the exchange out.
std::string conformingScript(const std::map<Stage, std::string>& replaced = {});

// When a test requests cancellation: once the server received `received` and the
// worker posted `line` (each when not empty), and then `delay` has passed.
struct CancelPoint {
    std::string received;
    std::string line;
    std::chrono::milliseconds delay{0};
};

// What one send through the mail worker left behind.
struct SendRun {
    std::vector<std::string> lines;
    int progress = -1;
    int result = -1;
    std::string transcript; // every byte the server received
    int progressAtCancel = -1;
    std::chrono::milliseconds cancelToEnd{0}; // from the cancel request to the end
};

// Runs the mail worker for `job` against scripted_smtp_server.py playing `script`,
// with the job's port set to the server's; cancels at `cancel` when given. Works in
// `folder`. Gives up after 30 s.
SendRun sendThroughScript(const std::filesystem::path& folder, const std::string& script,
                          MailJob job, const CancelPoint* cancel = nullptr);

// Runs the mail worker for `job` as it is and collects what it posted.
SendRun sendJob(const MailJob& job);

} // namespace crash_mail::testing
