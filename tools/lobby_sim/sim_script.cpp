#include "sim_script.h"

#include <charconv>
#include <limits>

#include "update/engine/task_record.h"

namespace lobby_sim {
namespace {

template <typename Number>
bool parseNumber(const std::string& text, Number low, Number high, Number& value) {
    Number parsed{};
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), parsed);
    if (error != std::errc() || end != text.data() + text.size() || parsed < low || parsed > high) {
        return false;
    }
    value = parsed;
    return true;
}

constexpr long kMaxGarbage = 1L << 20;
constexpr long kMaxSleep = 600000;

} // namespace

bool parseTask(const std::string& text, SimTask& task, std::string& error) {
    const std::size_t first = text.find(':');
    const std::size_t second = first == std::string::npos ? first : text.find(':', first + 1);
    const std::size_t third = second == std::string::npos ? second : text.find(':', second + 1);
    if (third == std::string::npos) {
        error = "--task takes ROOM:NAME:VERSION:INDEX_URL, not '" + text + "'";
        return false;
    }
    if (!parseNumber(text.substr(0, first), std::numeric_limits<std::int32_t>::min(),
                     std::numeric_limits<std::int32_t>::max(), task.room)) {
        error = "the room of --task is a 32-bit whole number, not '" + text.substr(0, first) + "'";
        return false;
    }
    task.name = text.substr(first + 1, second - first - 1);
    task.version = text.substr(second + 1, third - second - 1);
    task.indexUrl = text.substr(third + 1);
    return true;
}

ParsedArguments parseArguments(std::span<char*> args) {
    ParsedArguments parsed;
    SimOptions& options = parsed.options;
    // Bytes after the last whole record of garbage put the stream out of step
    // until the connection is renewed.
    bool outOfStep = false;
    for (std::size_t i = 0; i < args.size() && parsed.error.empty(); ++i) {
        const std::string name = args[i];
        const auto value = [&]() -> std::optional<std::string> {
            if (i + 1 >= args.size()) {
                parsed.error = "option " + name + " needs a value";
                return std::nullopt;
            }
            return std::string(args[++i]);
        };
        const auto number = [&](long low, long high, long& result) {
            const auto text = value();
            if (text && !parseNumber(*text, low, high, result)) {
                parsed.error = "option " + name + " takes a whole number from " +
                               std::to_string(low) + " to " + std::to_string(high) + ", not '" +
                               *text + "'";
            }
        };
        long n = 0;
        if (name == "--help" || name == "-h") {
            parsed.help = true;
        } else if (name == "--coalesce") {
            options.coalesce = true;
        } else if (name == "--split") {
            options.split = true;
        } else if (name == "--no-nul") {
            options.noNul = true;
        } else if (name == "--port") {
            number(1, 65535, n);
            options.port = static_cast<int>(n);
        } else if (name == "--timeout") {
            number(1, 86400, n);
            options.timeoutSeconds = static_cast<int>(n);
        } else if (name == "--flag") {
            number(0, 255, n);
            options.flag = static_cast<std::uint8_t>(n);
        } else if (name == "--seed") {
            number(0, std::numeric_limits<unsigned>::max(), n);
            options.seed = static_cast<unsigned>(n);
        } else if (name == "--task") {
            Step step;
            if (const auto text = value(); text && parseTask(*text, step.task, parsed.error)) {
                if (outOfStep) {
                    parsed.error = "--garbage that is not whole records must be followed by "
                                   "--restart before the next --task";
                }
                options.steps.push_back(step);
            }
        } else if (name == "--wait-reports") {
            number(1, 1000000, n);
            options.steps.push_back({StepKind::WaitReports, {}, n});
        } else if (name == "--sleep") {
            number(0, kMaxSleep, n);
            options.steps.push_back({StepKind::Sleep, {}, n});
        } else if (name == "--restart") {
            outOfStep = false;
            options.steps.push_back({StepKind::Restart, {}, 0});
        } else if (name == "--garbage") {
            if (outOfStep) {
                parsed.error = "--garbage that is not whole records must be followed by "
                               "--restart before more --garbage";
            }
            number(1, kMaxGarbage, n);
            outOfStep = n % static_cast<long>(update::kWireRecordSize) != 0;
            options.steps.push_back({StepKind::Garbage, {}, n});
        } else {
            parsed.error = "unknown option " + name;
        }
    }
    return parsed;
}

const char* usageText() {
    return R"(usage: lobby-sim [OPTIONS] [STEPS]
A stand-in for the lobby client: listens on 127.0.0.1, waits for Update
(update-tool serve) to connect, sends task records, and checks the report
Update sends back for each task it accepted.

Options:
  --port N          listen on port N instead of UpdateSetPort (section GameSet)
                    of ./lumgame.lcf (6123 when missing)
  --timeout S       give up after S seconds in all (default 60): exit 1
  --coalesce        write the records two at a time, each pair in one write
  --split           write every write in two parts, 100 ms apart, cut 614 bytes
                    before its end (a record in halves; with --coalesce, one and
                    a half records, then the last half)
  --no-nul          fill each text field to its last byte, without a NUL: the
                    text, then (in the URL, when it has no '?') a '?', then '_'
  --flag B          byte 0 of every record (default 1)
  --seed N          seed of the --garbage bytes (default 1)
  --help            this text

Steps, carried out in the order given:
  --task ROOM:NAME:VERSION:INDEX_URL
                    send a task record; split at the first three colons, so
                    the URL may hold colons. Texts are sent in the legacy code
                    page (GBK). The three reserved bytes carry a fixed pattern.
  --wait-reports N  wait until N reports in all have arrived
  --sleep MS        pause MS milliseconds
  --restart         close the connection and stop listening, as a lobby client
                    that ends; 600 ms later listen again and wait for Update to
                    connect again
  --garbage N       send N pseudo-random bytes. Update takes each whole 1228
                    bytes of them as a task record and they are expected like
                    tasks. Bytes after the last whole record leave the stream
                    out of step: --restart must come before the next --task.

Which reports are expected: every record sent, except one whose room is still
outstanding (sent and not yet reported) when it is sent: Update refuses it as a
duplicate and never reports it. Reports are read before each record is sent, so
the decision follows what Update has reported so far. (Update accepts a repeated
room early when the first task has unpacked an archive; do not repeat the room of
a task that unpacks.) Reports that Update sends while lobby-sim is restarting
are lost, so give Update a longer task to run through a restart.

Output, one line each on standard output:
  listening on 127.0.0.1:PORT | connected | connection closed by Update
  sent room=ROOM name=NAME [duplicate: no report expected]
  sent garbage bytes=N records=K
  report room=ROOM flag=B equal|different|unexpected name=NAME
      equal: the report is the sent record but for byte 0;
      unexpected: no record of that room is outstanding
  done reports=N | timed out: [steps unfinished;] missing rooms ROOM...
Names are shown in UTF-8 with control characters as '?'.

Exit status: 0 when every expected report came, each equal with flag 0, and
nothing unexpected came; 1 otherwise (also on time-out); 2 for bad arguments.
)";
}

} // namespace lobby_sim
