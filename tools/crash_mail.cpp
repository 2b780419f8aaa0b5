// crash-mail: sends a crash report as the crash sender does, without its windows.
#include <cstdio>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "crash_sender/mail/mail_worker.h"
#include "crash_sender/mail/smtp_send_mail.h"
#include "crash_sender/mail/status_text.h"
#include "crash_sender/report_cleanup.h"
#include "crash_sender/report_inputs.h"
#include "platform/termination_signals.h"

namespace {

constexpr std::chrono::milliseconds kPollPeriod{50};
constexpr int kExitSent = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

int usage() {
    std::fputs("usage: crash-mail [--description TEXT] [--port N] "
               "'from#to#report#delete#server#user#password'\n",
               stderr);
    return kExitUsage;
}

// A port from 1 to 65535 written in decimal digits only, or 0.
std::uint16_t parsePort(std::string_view text) {
    unsigned long value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9' || value > 65535) {
            return 0;
        }
        value = value * 10 + static_cast<unsigned long>(c - '0');
    }
    return value <= 65535 ? static_cast<std::uint16_t>(value) : 0;
}

void printLines(crash_mail::SendStatus& status) {
    for (const auto& line : status.TakeStatus().lines) {
        std::fwrite(line.data(), 1, line.size(), stdout);
        std::fputc('\n', stdout);
    }
    std::fflush(stdout);
}

// Plays the supervisor's part: starts the worker, shows its lines as they come and
// turns the result into the final marker.
bool sendAndShow(std::shared_ptr<const crash_mail::MailJob> job,
                 const std::shared_ptr<crash_mail::SendStatus>& status) {
    bool sent = false;
    if (crash_mail::StartMailWorker(std::move(job), status) == crash_mail::kWorkerStarted) {
        for (bool finished = false; !finished;) {
            finished = status->waitWorkerFinishedFor(kPollPeriod);
            printLines(*status);
        }
        sent = status->result() == crash_mail::kMailSent;
    }
    status->PostStatus(sent ? crash_mail::kSuccessMarker : crash_mail::kFailureMarker, 0, true);
    status->setResult(sent ? 0 : 1);
    printLines(*status);
    return sent;
}

} // namespace

int main(int argc, char** argv) {
    std::string description;
    std::uint16_t port = crash_mail::kSmtpPort;
    int next = 1;
    for (; next < argc; ++next) {
        const std::string_view option = argv[next];
        if ((option == "--description" || option == "--port") && next + 1 < argc) {
            const std::string_view value = argv[++next];
            if (option == "--description") {
                description = value;
            } else if ((port = parsePort(value)) == 0) {
                return usage();
            }
        } else if (option.starts_with("--")) {
            return usage();
        } else {
            break;
        }
    }
    crash_sender::ReportInputs inputs;
    const std::span<char* const> arguments(argv + next, static_cast<std::size_t>(argc - next));
    if (!crash_sender::acceptCommandLine(inputs, crash_sender::commandLineTail(arguments))) {
        std::fprintf(stderr, "crash-mail: the report needs %zu fields separated by '#'\n",
                     crash_sender::kCommandFieldCount);
        return usage();
    }
    auto job =
        std::make_shared<crash_mail::MailJob>(crash_sender::FillMailJob(inputs, description));
    job->port = port;

    const auto status = std::make_shared<crash_mail::SendStatus>();
    // Ctrl-C cancels as the progress dialog's cancel button does. The callbacks run
    // one after another on the signal thread, so the marker is posted once.
    const platform::TerminationSignals signals([status](int) {
        if (!status->cancelRequested()) {
            status->PostStatus(crash_mail::kCancelMarker, 0, true);
            status->requestCancel();
        }
    });
    if (!sendAndShow(job, status)) {
        return kExitFailed;
    }
    crash_sender::DeleteAttachments(inputs, *job);
    return kExitSent;
}
