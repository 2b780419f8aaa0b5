#include "platform/shared_library.h"

#include <filesystem>

#include <gtest/gtest.h>

namespace {

namespace fs = std::filesystem;

TEST(SharedLibrary, WindowsNamesMapToLinuxFileNames) {
    EXPECT_EQ(platform::SharedLibrary::fileNameFor("Unzip.dll"), "libUnzip.so");
    EXPECT_EQ(platform::SharedLibrary::fileNameFor("libm.so.6"), "libm.so.6");
    EXPECT_EQ(platform::SharedLibrary::fileNameFor(".dll"), ".dll");
}

TEST(SharedLibrary, TheFirstFolderThatHoldsTheLibraryWins) {
    const fs::path folder = fs::path(TEST_LIBRARY_PATH).parent_path();
    const std::string name = fs::path(TEST_LIBRARY_PATH).filename().string();
    const platform::SharedLibrary library(name, {"/nonexistent", folder});
    ASSERT_TRUE(library.isLoaded()) << library.error();
    EXPECT_NE(library.symbol("OnUpdateFile"), nullptr);
    EXPECT_EQ(library.symbol("NoSuchFunction"), nullptr);
}

TEST(SharedLibrary, AMissingLibraryReportsWhy) {
    const platform::SharedLibrary library("NoSuchLibrary.dll", {"/nonexistent"});
    EXPECT_FALSE(library.isLoaded());
    EXPECT_NE(library.error().find("libNoSuchLibrary.so"), std::string::npos) << library.error();
    EXPECT_EQ(library.symbol("OnUpdateFile"), nullptr);
}

} // namespace
