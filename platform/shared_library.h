#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// A library loaded at run time by the name the original platform gave it
// ("Unzip.dll" is looked for as "libUnzip.so"). Libraries stay loaded until the
// process ends: functions taken from one may still run on other threads.
class SharedLibrary {
public:
    // Loads the library, looking in `searchFirst` folders in order, then where the
    // dynamic loader looks. On failure isLoaded() is false and error() says why.
    SharedLibrary(std::string_view name, const std::vector<std::filesystem::path>& searchFirst);

    bool isLoaded() const { return m_handle != nullptr; }
    const std::string& error() const { return m_error; }

    // The address of an exported symbol, or nullptr.
    void* symbol(const char* name) const;

    // "Unzip.dll" -> "libUnzip.so"; a name without ".dll" is taken as it is.
    static std::string fileNameFor(std::string_view name);

private:
    void* m_handle = nullptr;
    std::string m_error;
};

} // namespace platform
