#pragma once

#include <string>

namespace update {

// The lobby client's configuration file, opened by this bare name: relative to the
// current folder, as the lobby client starts Update in its own folder.
constexpr const char* kLobbyConfigFile = "lumgame.lcf";
constexpr int kDefaultLobbyPort = 6123;

// The lobby client's local TCP port: key "UpdateSetPort" of section "GameSet" of
// `configFile`, read through the configuration store. kDefaultLobbyPort when the
// file cannot be opened, when the key is missing, and when its value is not a TCP
// port (1 to 65535; the last case is traced).
int readLobbyPort(const std::string& configFile);

} // namespace update
