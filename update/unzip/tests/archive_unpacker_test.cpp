#include "update/unzip/archive_unpacker.h"

#include <atomic>
#include <clocale>
#include <filesystem>
#include <thread>
#include <vector>

#include <archive.h>
#include <archive_entry.h>
#include <dlfcn.h>
#include <gtest/gtest.h>

#include "platform/testing/test_files.h"
#include "platform/text_codec.h"
#include "zip_writer.h"

namespace {

namespace fs = std::filesystem;
using platform::testing::readFile;
using platform::testing::writeFile;
using unzip_test::ZipMember;

class UnpackTest : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(m_root / "install");
        fs::create_directories(m_root / "outside");
        m_previous = fs::current_path();
        fs::current_path(m_root / "install");
    }
    void TearDown() override { fs::current_path(m_previous); }

    // Writes `name` relative to the scratch root rather than to the current folder.
    fs::path writeArchive(const std::string& name, const std::string& bytes) const {
        const fs::path path = m_root / name;
        writeFile(path, bytes);
        return path;
    }

    // Every path below `folder`, relative to it.
    static std::vector<std::string> listTree(const fs::path& folder) {
        std::vector<std::string> names;
        for (const auto& entry : fs::recursive_directory_iterator(folder)) {
            names.push_back(fs::relative(entry.path(), folder).string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    platform::testing::ScratchDirectory m_scratch;
    const fs::path m_root = m_scratch.path();
    fs::path m_previous;
};

const auto kIgnoreProgress = [](float) {};

TEST_F(UnpackTest, ZipKeepsFoldersAndDecodesLegacyAndUtf8NamesWithOrWithoutTheFlag) {
    const std::vector<ZipMember> members = {
        {"data/", "", false, ZipMember::Kind::Directory},
        {"data/maps/1.map", "map one", false},
        {platform::legacyFromUtf8("数据/说明.txt"), "gbk named", false},
        {"配置/设置.ini", "utf8 named", true},
        {"工具/无标志.txt", "utf8 without the flag", false},
        {"top.txt", "top", false},
    };
    const fs::path archive = writeArchive("game.zip", unzip_test::buildZip(members));

    ASSERT_TRUE(unzip::unpackArchive(archive.string(), kIgnoreProgress));

    EXPECT_EQ(readFile("data/maps/1.map"), "map one");
    EXPECT_EQ(readFile(fs::u8path("数据/说明.txt")), "gbk named");
    EXPECT_EQ(readFile(fs::u8path("配置/设置.ini")), "utf8 named");
    EXPECT_EQ(readFile(fs::u8path("工具/无标志.txt")), "utf8 without the flag");
    EXPECT_EQ(readFile("top.txt"), "top");
}

TEST_F(UnpackTest, ExistingFilesAreReplaced) {
    writeFile("data/old.txt", "a much longer old content");
    const fs::path archive =
        writeArchive("update.zip", unzip_test::buildZip({{"data/old.txt", "new", false}}));
    ASSERT_TRUE(unzip::unpackArchive(archive.string(), kIgnoreProgress));
    EXPECT_EQ(readFile("data/old.txt"), "new");
}

TEST_F(UnpackTest, HostileMembersWriteNothingOutsideTheFolder) {
    const std::string outside = (m_root / "outside").string();
    const std::vector<ZipMember> members = {
        {"../outside/dotdot.txt", "x", false},
        {"ok/../../outside/hidden.txt", "x", false},
        {"..\\outside\\backslash.txt", "x", false},
        {outside + "/absolute.txt", "x", false},
        {"escape", outside, false, ZipMember::Kind::Symlink},
        {"escape/through-link.txt", "x", false},
        {"up", "../outside", false, ZipMember::Kind::Symlink},
        {"up/through-relative-link.txt", "x", false},
        {"inner-link", "good.txt", false, ZipMember::Kind::Symlink},
        {"good.txt", "kept", false},
    };
    const fs::path archive = writeArchive("evil.zip", unzip_test::buildZip(members));

    EXPECT_FALSE(unzip::unpackArchive(archive.string(), kIgnoreProgress));

    EXPECT_TRUE(fs::is_empty(m_root / "outside"));
    EXPECT_EQ(listTree(m_root / "outside"), std::vector<std::string>{});
    EXPECT_EQ(readFile("good.txt"), "kept");
    EXPECT_TRUE(fs::is_symlink("inner-link"));
    // The refused links' names may still appear as plain folders of later members.
    EXPECT_FALSE(fs::is_symlink("escape"));
    EXPECT_FALSE(fs::is_symlink("up"));
}

// Archives of other formats, made with libarchive's writer from one small tree.
std::string buildArchive(int format, int filter) {
    // The writer converts names through the process locale.
    const std::string previousLocale = setlocale(LC_CTYPE, nullptr);
    setlocale(LC_CTYPE, "C.UTF-8");
    std::string bytes;
    bytes.resize(1 << 20);
    size_t used = 0;
    archive* writer = archive_write_new();
    archive_write_set_format(writer, format);
    if (filter != ARCHIVE_FILTER_NONE) {
        archive_write_add_filter(writer, filter);
    }
    archive_write_open_memory(writer, bytes.data(), bytes.size(), &used);
    const std::pair<std::string, std::string> files[] = {
        {"bin/start.sh", "#!/bin/sh\n"}, {"a/b/c.txt", "deep"}, {"名字.txt", "中文"}};
    for (const auto& [name, content] : files) {
        archive_entry* entry = archive_entry_new();
        archive_entry_set_pathname_utf8(entry, name.c_str());
        archive_entry_set_filetype(entry, AE_IFREG);
        archive_entry_set_perm(entry, name == "bin/start.sh" ? 0755 : 0644);
        archive_entry_set_size(entry, static_cast<la_int64_t>(content.size()));
        archive_write_header(writer, entry);
        archive_write_data(writer, content.data(), content.size());
        archive_entry_free(entry);
    }
    archive_write_close(writer);
    archive_write_free(writer);
    setlocale(LC_CTYPE, previousLocale.c_str());
    bytes.resize(used);
    return bytes;
}

TEST_F(UnpackTest, EveryArchiveFormatUnpacksTheSameTree) {
    struct FormatCase {
        const char* name;
        int format;
        int filter;
    };
    const FormatCase cases[] = {
        {"x.7z", ARCHIVE_FORMAT_7ZIP, ARCHIVE_FILTER_NONE},
        {"x.tar.gz", ARCHIVE_FORMAT_TAR_PAX_RESTRICTED, ARCHIVE_FILTER_GZIP},
        {"x.tar.xz", ARCHIVE_FORMAT_TAR_PAX_RESTRICTED, ARCHIVE_FILTER_XZ},
        {"x.tar.bz2", ARCHIVE_FORMAT_TAR_USTAR, ARCHIVE_FILTER_BZIP2},
        {"x.zip", ARCHIVE_FORMAT_ZIP, ARCHIVE_FILTER_NONE},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path archive = writeArchive(c.name, buildArchive(c.format, c.filter));
        ASSERT_TRUE(unzip::unpackArchive(archive.string(), kIgnoreProgress));
        EXPECT_EQ(readFile("a/b/c.txt"), "deep");
        EXPECT_EQ(readFile(fs::u8path("名字.txt")), "中文");
        EXPECT_NE(fs::status("bin/start.sh").permissions() & fs::perms::owner_exec,
                  fs::perms::none);
        for (const auto& entry : fs::directory_iterator(".")) {
            fs::remove_all(entry.path());
        }
    }
}

TEST_F(UnpackTest, BrokenOrMissingArchivesFail) {
    const fs::path garbage = writeArchive("garbage.zip", std::string(5000, '\x7f'));
    const std::string valid = unzip_test::buildZip({{"f.txt", std::string(4000, 'f'), false}});
    const fs::path truncated = writeArchive("truncated.zip", valid.substr(0, valid.size() / 2));
    EXPECT_FALSE(unzip::unpackArchive(garbage.string(), kIgnoreProgress));
    EXPECT_FALSE(unzip::unpackArchive(truncated.string(), kIgnoreProgress));
    EXPECT_FALSE(unzip::unpackArchive((m_root / "missing.zip").string(), kIgnoreProgress));
}

TEST_F(UnpackTest, ProgressRisesToTheWholeArchive) {
    std::vector<ZipMember> members;
    for (int i = 0; i < 40; ++i) {
        members.push_back({"f" + std::to_string(i), std::string(100000, 'a' + i % 26), false});
    }
    const fs::path archive = writeArchive("big.zip", unzip_test::buildZip(members));
    std::vector<float> seen;
    ASSERT_TRUE(unzip::unpackArchive(archive.string(), [&seen](float f) { seen.push_back(f); }));
    ASSERT_FALSE(seen.empty());
    EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
    EXPECT_GT(seen.front(), 0.0f);
    EXPECT_LE(seen.back(), 1.0f);
    EXPECT_GT(seen.back(), 0.9f);
}

// The shared library as Update loads it: by name, both functions at once.
TEST_F(UnpackTest, ExportsUnpackWhileProgressIsPolledFromAnotherThread) {
    void* library = dlopen(UNZIP_LIBRARY_PATH, RTLD_NOW);
    ASSERT_NE(library, nullptr) << dlerror();
    const auto onUpdateFile =
        reinterpret_cast<int (*)(const char*)>(dlsym(library, "OnUpdateFile"));
    const auto unzipComplete =
        reinterpret_cast<float (*)(const char*)>(dlsym(library, "UnzipComplete"));
    ASSERT_NE(onUpdateFile, nullptr);
    ASSERT_NE(unzipComplete, nullptr);

    std::vector<ZipMember> members;
    for (int i = 0; i < 200; ++i) {
        members.push_back({"d/f" + std::to_string(i), std::string(50000, 'z'), false});
    }
    writeArchive("install/pack.zip", unzip_test::buildZip(members));
    EXPECT_EQ(unzipComplete("pack.zip"), 0.0f);

    std::atomic<bool> done{false};
    std::vector<float> polled;
    std::thread poller([&] {
        while (!done.load()) {
            polled.push_back(unzipComplete("pack.zip"));
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });
    const int result = onUpdateFile("pack.zip");
    done = true;
    poller.join();

    EXPECT_EQ(result, 0);
    EXPECT_EQ(unzipComplete("pack.zip"), 1.0f);
    EXPECT_TRUE(std::is_sorted(polled.begin(), polled.end()));
    EXPECT_EQ(readFile("d/f199"), std::string(50000, 'z'));
    EXPECT_EQ(onUpdateFile(nullptr), -1);
}

} // namespace
