#include "update/engine/lobby_port.h"

#include <filesystem>
#include <optional>
#include <string>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "config_store/config_store.h"
#include "download_fixture.h"
#include "http_test_servers.h"

namespace {

namespace fs = std::filesystem;
using ::testing::Contains;
using update::download_testing::TraceRecorder;

// Writes `value` (or, when empty, only some other key) through the store.
void writeConfig(const fs::path& file, const std::optional<std::string>& value) {
    const CfgHandle handle = cfgOpenFile(file.c_str(), "");
    ASSERT_GE(handle, 16u);
    cfgSetValue(handle, "GameSet", "OtherKey", "1");
    if (value) {
        cfgSetValue(handle, "GameSet", "UpdateSetPort", value->c_str());
    }
    ASSERT_TRUE(cfgClose(handle));
}

struct PortCase {
    const char* name;
    std::optional<std::string> value;
    int port;
};

TEST(LobbyPort, ReadsTheKeyOrFallsBackTo6123) {
    const PortCase cases[] = {
        {"configured", "7001", 7001},
        {"highest port", "65535", 65535},
        {"no key", std::nullopt, 6123},
        {"not a number", "abc", 6123},
        {"zero", "0", 6123},
        {"beyond the port range", "70000", 6123},
        {"negative", "-5", 6123},
    };
    update::test_servers::ScratchDirectory folder;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path file = folder.path() / (std::string(c.name) + ".lcf");
        writeConfig(file, c.value);
        EXPECT_EQ(update::readLobbyPort(file.string()), c.port);
    }
}

TEST(LobbyPort, AValueThatIsNoPortIsTraced) {
    update::test_servers::ScratchDirectory folder;
    writeConfig(folder.path() / "lumgame.lcf", "70000");
    TraceRecorder trace;
    update::readLobbyPort((folder.path() / "lumgame.lcf").string());
    EXPECT_THAT(trace.lines(), Contains("qel: UpdateSetPort 70000 is not a TCP port; using 6123"));
}

TEST(LobbyPort, AFileThatCannotBeOpenedGivesTheDefault) {
    update::test_servers::ScratchDirectory folder;
    EXPECT_EQ(update::readLobbyPort((folder.path() / "missing.lcf").string()), 6123);
    EXPECT_FALSE(fs::exists(folder.path() / "missing.lcf"));
    // A folder cannot be opened as a store at all.
    EXPECT_EQ(update::readLobbyPort(folder.path().string()), 6123);
}

TEST(LobbyPort, TheBareNameIsReadInTheCurrentFolder) {
    update::test_servers::ScratchDirectory folder;
    writeConfig(folder.path() / update::kLobbyConfigFile, "7123");
    const fs::path previous = fs::current_path();
    fs::current_path(folder.path());
    const int port = update::readLobbyPort(update::kLobbyConfigFile);
    fs::current_path(previous);
    EXPECT_EQ(port, 7123);
}

} // namespace
