#pragma once

#include <span>
#include <string_view>

namespace update_tool {

// Each subcommand takes the arguments after its name and returns the exit code.
using Command = int (*)(std::span<char*> args);

int runFetch(std::span<char*> args);
int runCheck(std::span<char*> args);
int runRun(std::span<char*> args);
int runUnpack(std::span<char*> args);
int runServe(std::span<char*> args);

} // namespace update_tool
