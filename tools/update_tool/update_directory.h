#pragma once

#include <string>

namespace update_tool {

// Makes `directory` Update's directory (where tasks install) and opens the trace
// log "output.txt" in the starting folder, as Update does when it starts. An
// empty `directory` means the folder of the running program. False, after saying
// why on standard error, when it is not a folder.
bool enterUpdateDirectory(const std::string& command, std::string directory);

} // namespace update_tool
