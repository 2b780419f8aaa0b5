#include "shared_library.h"

#include <system_error>

#include <dlfcn.h>

namespace platform {

SharedLibrary::SharedLibrary(std::string_view name,
                             const std::vector<std::filesystem::path>& searchFirst) {
    const std::string fileName = fileNameFor(name);
    for (const auto& folder : searchFirst) {
        const auto candidate = folder / fileName;
        std::error_code error;
        if (!folder.empty() && std::filesystem::exists(candidate, error)) {
            m_handle = dlopen(candidate.c_str(), RTLD_NOW | RTLD_LOCAL);
            if (m_handle) {
                return;
            }
            m_error = dlerror();
        }
    }
    m_handle = dlopen(fileName.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!m_handle && m_error.empty()) {
        m_error = dlerror();
    }
}

void* SharedLibrary::symbol(const char* name) const {
    return m_handle ? dlsym(m_handle, name) : nullptr;
}

std::string SharedLibrary::fileNameFor(std::string_view name) {
    constexpr std::string_view kWindowsSuffix = ".dll";
    if (name.size() > kWindowsSuffix.size() && name.ends_with(kWindowsSuffix)) {
        name.remove_suffix(kWindowsSuffix.size());
        return "lib" + std::string(name) + ".so";
    }
    return std::string(name);
}

} // namespace platform
