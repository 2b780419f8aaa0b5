#pragma once

#include <string>

namespace update {

enum class TargetError {
    None,
    TempDirectory, // the temporary directory is missing or not a directory
    TempName,      // no unique temporary file could be created in it
    OutsideAppPath // the local name climbs out of Update's directory ("..")
};

// The full local path of a download. With a local name: Update's directory joined
// with the name (leading separators dropped, '\' translated). Without one
// (nullptr): a new empty file "kivXXXXXX" in the temporary directory ($TMPDIR,
// else /tmp), which is left for the caller. `path` is set only on success.
TargetError resolveLocalPath(const char* localName, std::string& path);

// Opens `path` for writing, truncating it. When that fails, creates its missing
// parent folders and tries once more. Returns the descriptor (close-on-exec), or
// -1 with errno set.
int openLocalFile(const std::string& path);

} // namespace update
