#include "smtp_dialogue.h"

#include <algorithm>
#include <memory>
#include <thread>

#include "crash_sender/mail/mail_worker.h"
#include "crash_sender/mail/send_status.h"

namespace crash_mail::testing {
namespace {

constexpr std::chrono::seconds kRunLimit{30};
constexpr std::chrono::milliseconds kPollPeriod{10};

bool contains(const std::vector<std::string>& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

void take(SendStatus& status, SendRun& run) {
    auto update = status.TakeStatus();
    run.lines.insert(run.lines.end(), update.lines.begin(), update.lines.end());
    run.progress = update.progress;
}

SendRun collect(const MailJob& job, const std::filesystem::path* transcript,
                const CancelPoint* cancel) {
    SendRun run;
    auto status = std::make_shared<SendStatus>();
    if (StartMailWorker(std::make_shared<const MailJob>(job), status) != kWorkerStarted) {
        return run;
    }
    const auto limit = std::chrono::steady_clock::now() + kRunLimit;
    std::chrono::steady_clock::time_point cancelledAt;
    bool cancelled = false;
    bool finished = false;
    while (!finished && std::chrono::steady_clock::now() < limit) {
        finished = status->waitWorkerFinishedFor(kPollPeriod);
        take(*status, run);
        if (cancel != nullptr && !cancelled && !finished &&
            (cancel->line.empty() || contains(run.lines, cancel->line)) &&
            (cancel->received.empty() ||
             readFile(*transcript).find(cancel->received) != std::string::npos)) {
            std::this_thread::sleep_for(cancel->delay);
            take(*status, run);
            run.progressAtCancel = run.progress;
            cancelledAt = std::chrono::steady_clock::now();
            status->requestCancel();
            cancelled = true;
        }
    }
    if (finished) {
        take(*status, run);
        run.result = status->result();
    }
    if (cancelled) {
        run.cancelToEnd = std::chrono::duration_cast<std::chrono::milliseconds>(
            std::chrono::steady_clock::now() - cancelledAt);
    }
    return run;
}

} // namespace

std::string conformingExchange(Stage stage) {
    switch (stage) {
    case Stage::Greeting:
        return "send 220 test.example ESMTP ready\\r\\n";
    case Stage::Ehlo:
        return "read\nsend 250-test.example greets CrashSender\\r\\n250 AUTH LOGIN\\r\\n";
    case Stage::Auth:
        return "read\nsend 334 VXNlcm5hbWU6\\r\\n";
    case Stage::User:
        return "read\nsend 334 UGFzc3dvcmQ6\\r\\n";
    case Stage::Password:
        return "read\nsend 235 2.7.0 Authentication successful\\r\\n";
    case Stage::MailFrom:
        return "read\nsend 250 2.1.0 Sender OK\\r\\n";
    case Stage::RcptTo:
        return "read\nsend 250 2.1.5 Recipient OK\\r\\n";
    case Stage::Data:
        return "read\nsend 354 End data with <CR><LF>.<CR><LF>\\r\\n";
    case Stage::EndOfData:
        return "data\nsend 250 2.0.0 Queued\\r\\n";
    case Stage::Quit:
        return "read\nsend 221 2.0.0 Bye\\r\\n";
    }
    return {};
}

std::string scriptEndingAt(Stage stage, const std::string& ending) {
    std::string script;
    for (int s = 0; s < static_cast<int>(stage); ++s) {
        script += conformingExchange(static_cast<Stage>(s)) + "\n";
    }
    return script + ending + "\n";
}

std::string conformingScript(const std::map<Stage, std::string>& replaced) {
    std::string script;
    for (int s = 0; s <= static_cast<int>(Stage::Quit); ++s) {
        const auto stage = static_cast<Stage>(s);
        const auto found = replaced.find(stage);
        const std::string exchange =
            found == replaced.end() ? conformingExchange(stage) : found->second;
        if (!exchange.empty()) {
            script += exchange + "\n";
        }
    }
    return script;
}

SendRun sendThroughScript(const std::filesystem::path& folder, const std::string& script,
                          MailJob job, const CancelPoint* cancel) {
    const auto scriptPath = folder / "script.txt";
    const auto transcriptPath = folder / "transcript.bin";
    writeFile(scriptPath, script);
    writeFile(transcriptPath, "");
    PythonServer server("scripted_smtp_server.py", {scriptPath.string(), transcriptPath.string()});
    if (server.port() == 0) {
        return {};
    }
    job.port = server.port();
    SendRun run = collect(job, &transcriptPath, cancel);
    // The server ends once the client has closed and it has written all it read;
    // a hanging one is stopped when `server` goes.
    if (script.find("hang") == std::string::npos) {
        server.waitExit(std::chrono::seconds(3));
    }
    run.transcript = readFile(transcriptPath);
    return run;
}

SendRun sendJob(const MailJob& job) {
    return collect(job, nullptr, nullptr);
}

} // namespace crash_mail::testing
