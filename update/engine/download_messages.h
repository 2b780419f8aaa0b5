#pragma once

#include <string>

namespace update {

// The error messages of the downloads, all shown with the caption "错误" and the
// error icon through the engine's message presenter; each returns when the user
// has closed its box.

// A URL could not be opened (no answer of the server was received). Shows curl's
// description of the failure, or, when curl gave none, its error code.
void ReportOpenUrlError(int errorCode, const std::string& szurl, const std::string& errorText);

// Reading a body failed in the middle. Shows curl's description of the failure,
// or, when curl gave none, its error code.
void ReportReadFileError(int errorCode, const std::string& errorText);

// The local file could not be opened or written; `reason` is the system's text.
void reportLocalFileError(const std::string& path, const std::string& reason);
void reportWriteFileError(const std::string& path, const std::string& reason);

// A local name that would land outside Update's directory.
void reportLocalNameError(const std::string& localName);

} // namespace update
