#pragma once

#include <string>

namespace update {

struct sUpdateStruct;

// Downloads `szurl` into Update's directory under `localName` (a path relative to
// it, as an update list writes it; a leading '\' or '/' is dropped, missing
// folders are created, a name that climbs out of the directory is refused), or
// into a new temporary file "kiv…" when `localName` is null. `localPath` receives
// the full local path. Reports the size to the task's row, and speed (KB/s) and
// progress (0..1) into the record, while it runs. A server's error status is not a
// failure: its body is stored like any other. Time-outs: downloadTimeouts().
// Returns 0 when the whole body was received and written; -1 on every failure
// (after its message has been shown) and on cancellation (`bCancel` of the record
// or g_bStop, noticed within about 0.1 s even while the server sends nothing; no
// message, the partial file stays).
int InternetGetFileShowOnList(const std::string& szurl, const char* localName,
                              std::string& localPath, sUpdateStruct* pupdateStruct);

// The same without reporting size, speed or progress.
int InternetGetFileOnly(const std::string& szurl, const char* localName, std::string& localPath,
                        sUpdateStruct* pupdateStruct);

// False when the server answers 404 or the URL cannot be opened at all; true for
// every other answer.
bool UrlExists(const std::string& url);

} // namespace update
