#pragma once

#include <string>

namespace update {

// File operations of update lists. Paths are Linux paths ('\' already
// translated); relative ones are taken against the current directory.

// Removes a file, or a folder with its contents. True when it is gone, also when
// it was never there.
bool DeletePath(const std::string& path);

// Moves or copies a file or a folder, replacing what is in the way. A file moved
// or copied onto an existing folder goes into it. A move to another file system
// copies and then deletes.
bool MovePath(const std::string& source, const std::string& target);
bool CopyPath(const std::string& source, const std::string& target);

// Renames without ever replacing: fails with EEXIST when the target exists, as
// the original platform's rename does. Returns 0 or the errno value.
int renameWithoutReplacing(const std::string& source, const std::string& target);

// Creates one folder level. Returns 0 or the errno value.
int createDirectory(const std::string& path);

// Starts a program without waiting for it: a file with an execute bit is run
// directly, anything else is opened with the desktop's handler (xdg-open).
// False when it could not be started.
bool startDetached(const std::string& path);

// Update's directory without its trailing separator.
std::string GetProgramDirectory();

// Update's directory joined with a path from an update list ('\' translated;
// leading separators dropped).
std::string JoinPath(const std::string& directory, const std::string& name);

} // namespace update
