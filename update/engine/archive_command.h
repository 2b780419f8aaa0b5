#pragma once

#include <string>

namespace update {

struct sUpdateStruct;

// The DEC command: unpacks the archive `destfile` (relative to Update's
// directory, the current directory) through the unpacking library loaded by name,
// polling its progress into the task's row; then marks the task unpacked and
// deletes the archive. 0 to go on, -1 (after its message) when the library or
// one of its functions is missing.
int unpackArchiveEntry(const std::string& destfile, sUpdateStruct& record);

} // namespace update
