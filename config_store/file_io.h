#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace config_store {

// Store files are small; a file beyond this is refused rather than read into memory.
inline constexpr std::uintmax_t kMaxFileBytes = 64u << 20;

enum class ReadStatus {
    Read,
    Missing,    // nothing at the path: the store starts empty
    Unreadable, // not a regular file, no permission, too large, I/O error
};

struct ReadResult {
    ReadStatus status = ReadStatus::Missing;
    std::string content;
};

// Reads a whole regular file. Never blocks on a FIFO or device.
ReadResult readFileContent(const std::filesystem::path& path);

enum class SaveStatus {
    Saved,
    CannotCreate,  // no temporary file in the folder; the old file is untouched
    CannotWrite,   // writing or flushing the temporary file failed; old file untouched
    CannotReplace, // the rename failed; old file untouched
    NotDurable,    // the new content is in place, but the folder could not be flushed,
                   // so a power loss may still bring the old file back
};

struct SaveResult {
    SaveStatus status = SaveStatus::Saved;
    std::string detail; // the failing step and the system's reason
};

// Replaces the file at `path` (through a symbolic link, its target) with `content`
// so that at every moment the path holds either the complete old or the complete new
// content: write a temporary file in the same folder, flush it, rename it over the
// old one, flush the folder. A new file gets the default permissions, a replaced one
// keeps its mode.
SaveResult replaceFileAtomically(const std::filesystem::path& path, std::string_view content);

} // namespace config_store
