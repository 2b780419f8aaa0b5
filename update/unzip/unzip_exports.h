#pragma once

// The unpacking library Update loads by name at run time. Both functions take the
// archive's path (UTF-8, relative to the current directory or absolute) and may
// be called at the same time from different threads.
#define UNZIP_EXPORT __attribute__((visibility("default")))

extern "C" {

// Unpacks the archive into the current directory, keeping its folders. Entries
// that would land outside it (absolute paths, "..", links pointing out) are
// skipped. Returns 0 when every entry was unpacked, -1 otherwise.
UNZIP_EXPORT int OnUpdateFile(const char* archivePath);

// The fraction (0.0 to 1.0) of the archive's bytes consumed by the OnUpdateFile
// call that unpacks this path; 0.0 before it starts, 1.0 once it has returned.
UNZIP_EXPORT float UnzipComplete(const char* archivePath);
}
