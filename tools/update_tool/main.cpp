// update-tool: Update's engine without its window, one subcommand per job.
#include <cstdio>
#include <span>
#include <string_view>

#include "commands.h"
#include "platform/debug_trace.h"

namespace {

struct Subcommand {
    std::string_view name;
    update_tool::Command run;
    std::string_view usage;
};

constexpr Subcommand kSubcommands[] = {
    {"fetch", update_tool::runFetch, "fetch URL FILE            download one file with progress"},
    {"check", update_tool::runCheck, "check INDEX_URL VERSION   fetch and validate an update list"},
    {"run", update_tool::runRun,
     "run INDEX_URL VERSION [--dir DIR] [--name NAME] [--room N]   run one task"},
    {"unpack", update_tool::runUnpack, "unpack ARCHIVE [--dir DIR]   unpack with the library"},
    {"serve", update_tool::runServe,
     "serve [--dir DIR] [--port N]   take tasks from the lobby client until idle"},
};

int usage() {
    std::fputs("usage: update-tool [--trace] COMMAND ARGS...\n"
               "  --trace   write the debug trace lines to standard error\n"
               "commands:\n",
               stderr);
    for (const auto& command : kSubcommands) {
        std::fprintf(stderr, "  %.*s\n", static_cast<int>(command.usage.size()),
                     command.usage.data());
    }
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    // The debug trace follows the engine's control flow for whoever debugs it; a
    // person running a command wants its messages and progress only.
    if (argc >= 2 && std::string_view(argv[1]) == "--trace") {
        --argc;
        ++argv;
    } else {
        platform::setDebugTraceSink(nullptr);
    }
    if (argc < 2) {
        return usage();
    }
    const std::string_view name = argv[1];
    for (const auto& command : kSubcommands) {
        if (command.name == name) {
            return command.run(std::span<char*>(argv + 2, static_cast<size_t>(argc - 2)));
        }
    }
    std::fprintf(stderr, "update-tool: unknown command '%s'\n", argv[1]);
    return usage();
}
