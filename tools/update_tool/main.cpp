// update-tool: Update's engine without its window, one subcommand per job.
#include <cstdio>
#include <span>
#include <string_view>

#include "commands.h"

namespace {

struct Subcommand {
    std::string_view name;
    update_tool::Command run;
    std::string_view usage;
};

constexpr Subcommand kSubcommands[] = {
    {"fetch", update_tool::runFetch, "fetch URL FILE            download one file with progress"},
    {"check", update_tool::runCheck, "check INDEX_URL VERSION   fetch and validate an update list"},
};

int usage() {
    std::fputs("usage: update-tool COMMAND ARGS...\ncommands:\n", stderr);
    for (const auto& command : kSubcommands) {
        std::fprintf(stderr, "  %.*s\n", static_cast<int>(command.usage.size()),
                     command.usage.data());
    }
    return 2;
}

} // namespace

int main(int argc, char** argv) {
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
