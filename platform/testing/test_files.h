#pragma once

#include <filesystem>
#include <string>
#include <string_view>

// Files and folders for tests of every module.
namespace platform::testing {

// A fresh folder under the system's temporary folder, removed with its content on
// destruction. Throws when the folder cannot be created, so a test never writes
// into a folder it does not own.
class ScratchDirectory {
public:
    ScratchDirectory();
    ~ScratchDirectory();
    ScratchDirectory(const ScratchDirectory&) = delete;
    ScratchDirectory& operator=(const ScratchDirectory&) = delete;

    const std::filesystem::path& path() const { return m_path; }

private:
    std::filesystem::path m_path;
};

// The whole file as bytes; empty when it cannot be read.
std::string readFile(const std::filesystem::path& path);

// Replaces the file with `bytes`, creating missing parent folders.
void writeFile(const std::filesystem::path& path, std::string_view bytes);

} // namespace platform::testing
