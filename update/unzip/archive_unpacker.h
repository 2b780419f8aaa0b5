#pragma once

#include <functional>
#include <string>

namespace unzip {

// Unpacks every member of `archivePath` (any format libarchive reads: zip, rar,
// rar5, 7z, tar and its compressed forms) into the current directory, keeping the
// archive's folders and replacing existing files. Members that would land outside
// the current directory are skipped. `onProgress` gets the fraction of the
// archive's bytes consumed so far, after every block.
// Returns true when every member was unpacked; problems are written to the debug
// trace.
bool unpackArchive(const std::string& archivePath, const std::function<void(float)>& onProgress);

} // namespace unzip
