#include "update_directory.h"

#include <cstdio>
#include <filesystem>

#include "platform/paths.h"
#include "update/engine/process_state.h"
#include "update/engine/trace_log.h"

namespace update_tool {

bool enterUpdateDirectory(const std::string& command, std::string directory) {
    if (directory.empty()) {
        directory = platform::programDirectory().string();
    }
    std::error_code error;
    if (!std::filesystem::is_directory(directory, error)) {
        std::fprintf(stderr, "update-tool %s: '%s' is not a folder\n", command.c_str(),
                     directory.c_str());
        return false;
    }
    update::traceLog(); // "output.txt" in the starting folder, truncated now
    update::setAppPath(std::filesystem::absolute(directory, error));
    return true;
}

} // namespace update_tool
