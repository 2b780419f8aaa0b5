// lobby-sim: a stand-in for the lobby client that hands Update its tasks, for
// tests, demonstrations and debugging the link. See --help.
#include <cstdio>
#include <span>

#include "lobby_session.h"
#include "sim_script.h"
#include "update/engine/lobby_port.h"

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fputs(lobby_sim::usageText(), stderr);
        return 2;
    }
    const lobby_sim::ParsedArguments parsed =
        lobby_sim::parseArguments(std::span<char*>(argv + 1, static_cast<std::size_t>(argc - 1)));
    if (parsed.help) {
        std::fputs(lobby_sim::usageText(), stdout);
        return 0;
    }
    if (!parsed.error.empty()) {
        std::fprintf(stderr, "lobby-sim: %s\n(lobby-sim --help tells more)\n",
                     parsed.error.c_str());
        return 2;
    }
    const int port = parsed.options.port ? *parsed.options.port
                                         : update::readLobbyPort(update::kLobbyConfigFile);
    lobby_sim::LobbySession session(parsed.options, port);
    return session.run();
}
