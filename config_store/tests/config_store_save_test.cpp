#include "config_store/config_store.h"

#include <csignal>
#include <filesystem>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "platform/testing/test_files.h"

namespace {

using platform::testing::readFile;
using platform::testing::ScratchDirectory;
using platform::testing::writeFile;

// Writes that would make a file larger than `bytes` fail with EFBIG, as on a full
// disk. Unlike permissions, the limit holds for root too, which runs the tests.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        ::getrlimit(RLIMIT_FSIZE, &m_old);
        m_oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{bytes, m_old.rlim_max};
        m_active = ::setrlimit(RLIMIT_FSIZE, &limit) == 0;
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &m_old);
        std::signal(SIGXFSZ, m_oldHandler);
    }
    bool active() const { return m_active; }

private:
    rlimit m_old{};
    void (*m_oldHandler)(int) = nullptr;
    bool m_active = false;
};

// A store file with content, open and changed, whose save is about to fail.
class FailedSaveTest : public testing::Test {
protected:
    void SetUp() override {
        m_folderPath = m_folder.path() / "settings";
        std::filesystem::create_directory(m_folderPath);
        m_path = (m_folderPath / "lumgame.lcf").string();
        writeFile(m_path, kOldContent);
        m_handle = cfgOpenFile(m_path.c_str(), "");
        ASSERT_GE(m_handle, 16u);
        for (int i = 0; i < 500; ++i) {
            ASSERT_TRUE(cfgSetValue(m_handle, "GameSet", ("Key" + std::to_string(i)).c_str(), i));
        }
    }

    // The close reports the failure and frees the handle all the same.
    void expectFailedClose(std::string_view reason) {
        std::string failure;
        EXPECT_FALSE(cfgClose(m_handle, &failure));
        EXPECT_NE(failure.find(reason), std::string::npos) << failure;
        EXPECT_EQ(cfgGetValue(m_handle, "GameSet", "UpdateSetPort", -1), -1);
        EXPECT_FALSE(cfgClose(m_handle));
    }

    static constexpr std::string_view kOldContent = "[GameSet]\nUpdateSetPort=7000\n";
    ScratchDirectory m_folder;
    std::filesystem::path m_folderPath;
    std::string m_path;
    CfgHandle m_handle = 0;
};

TEST_F(FailedSaveTest, FullDiskLeavesTheOldFile) {
    {
        const FileSizeLimit limit(1024);
        ASSERT_TRUE(limit.active());
        expectFailedClose("cannot write");
    }
    EXPECT_EQ(readFile(m_path), kOldContent);
    // the partly written temporary file is gone
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(m_folderPath),
                            std::filesystem::directory_iterator()),
              1);
}

TEST_F(FailedSaveTest, FolderReplacedByAFileLeavesTheOldFile) {
    const std::filesystem::path moved = m_folder.path() / "moved";
    std::filesystem::rename(m_folderPath, moved);
    writeFile(m_folderPath, "not a folder");
    expectFailedClose("cannot create");
    EXPECT_EQ(readFile(moved / "lumgame.lcf"), kOldContent);
    EXPECT_EQ(readFile(m_folderPath), "not a folder");
}

// A save killed at any moment leaves the complete old or the complete new file.
TEST(ConfigStoreCrashTest, KilledSaveLeavesAWholeFile) {
    ScratchDirectory folder;
    const std::string path = (folder.path() / "state.lcf").string();
    // Two contents of different lengths, so a torn file could not pass for either.
    const auto writeVersion = [&path](int version) {
        const CfgHandle handle = cfgOpenFile(path.c_str(), "");
        for (int section = 0; section < 40; ++section) {
            const std::string name = "Section" + std::to_string(section);
            for (int key = 0; key < 25; ++key) {
                const std::string value(static_cast<std::size_t>(10 + version * 7), 'a' + version);
                cfgSetValue(handle, name.c_str(), ("Key" + std::to_string(key)).c_str(),
                            value.c_str(), 0);
            }
        }
        return cfgClose(handle);
    };
    ASSERT_TRUE(writeVersion(1));
    const std::string second = readFile(path);
    ASSERT_TRUE(writeVersion(0));
    const std::string first = readFile(path);
    ASSERT_NE(first, second);

    std::mt19937 random(std::random_device{}());
    for (int round = 0; round < 20; ++round) {
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            for (int version = 1;; version = 1 - version) {
                writeVersion(version);
            }
        }
        ::usleep(static_cast<useconds_t>(random() % 8000));
        ::kill(child, SIGKILL);
        int status = 0;
        ::waitpid(child, &status, 0);
        const std::string content = readFile(path);
        ASSERT_TRUE(content == first || content == second) << "round " << round;
    }
}

} // namespace
