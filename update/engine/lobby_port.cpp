#include "lobby_port.h"

#include "config_store/config_store.h"
#include "platform/debug_trace.h"

namespace update {
namespace {

// Handles below this are failures of cfgOpenFile.
constexpr CfgHandle kFirstValidHandle = 16;
constexpr int kHighestPort = 65535;

} // namespace

int readLobbyPort(const std::string& configFile) {
    const CfgHandle handle = cfgOpenFile(configFile.c_str(), "");
    if (handle < kFirstValidHandle) {
        return kDefaultLobbyPort;
    }
    const int port = cfgGetValue(handle, "GameSet", "UpdateSetPort", kDefaultLobbyPort);
    cfgClose(handle);
    // A value outside the port range would be cut to 16 bits and reach some
    // other program's port.
    if (port < 1 || port > kHighestPort) {
        platform::debugTrace("qel: UpdateSetPort " + std::to_string(port) +
                             " is not a TCP port; using " + std::to_string(kDefaultLobbyPort));
        return kDefaultLobbyPort;
    }
    return port;
}

} // namespace update
