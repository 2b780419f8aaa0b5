#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace lobby_sim {

// A task as given on the command line; texts in UTF-8.
struct SimTask {
    std::int32_t room = 0;
    std::string name;
    std::string version;
    std::string indexUrl;
};

enum class StepKind {
    Task,        // send a task record
    WaitReports, // wait until `number` reports have arrived since the start
    Sleep,       // pause `number` milliseconds
    Restart,     // end the connection and the listener, listen again, await Update
    Garbage,     // send `number` pseudo-random bytes
};

struct Step {
    StepKind kind = StepKind::Task;
    SimTask task;
    long number = 0;
};

// Everything the command line says: settings, and the steps in their order.
struct SimOptions {
    std::optional<int> port; // empty: UpdateSetPort of ./lumgame.lcf
    int timeoutSeconds = 60;
    bool coalesce = false; // two records per write
    bool split = false;    // each write in two parts
    bool noNul = false;    // text fields filled to their last byte
    std::uint8_t flag = 1; // byte 0 of every record
    unsigned seed = 1;     // of the garbage bytes
    std::vector<Step> steps;
};

struct ParsedArguments {
    SimOptions options;
    bool help = false;
    std::string error; // empty when the arguments are sound
};

ParsedArguments parseArguments(std::span<char*> args);

// ROOM:NAME:VERSION:INDEX_URL, split at the first three colons (the URL keeps
// its own). False, with the reason in `error`, when it is not of that form.
bool parseTask(const std::string& text, SimTask& task, std::string& error);

// The text of --help.
const char* usageText();

} // namespace lobby_sim
