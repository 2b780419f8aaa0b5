#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <vector>

namespace update {

class ProfileFile;
struct sUpdateStruct;

// One entry of an update list: the section "list<number>" of the list file.
// Texts are UTF-8, as read from the file.
struct UpdateListEntry {
    int number = 0;
    int action = 0;       // bit 0: run `cmd`; bit 1: download `srcfile` to `destfile`
    std::string srcfile;  // download: the URL; MOVE, COPY, REN: the source path
    std::string destfile; // download: local path relative to Update's directory; commands: target
    std::string cmd;      // DEL, MOVE, COPY, REN, CRE, EXEC or DEC, compared with case

    // Other bits of `action` carry no meaning (6 acts as 2).
    bool runsCommand() const { return (action & 1) != 0; }
    bool downloads() const { return (action & 2) != 0; }
};

// Longest values the original's buffers held, in bytes of the legacy code page.
// Longer values are refused rather than used cut short.
constexpr std::size_t kMaxUrlBytes = 998;  // index file values and `srcfile`
constexpr std::size_t kMaxPathBytes = 259; // `destfile` and `cmd`

enum class UpdateListResult {
    Ok,        // the list may be executed
    Refused,   // a message has been shown; the task stops
    Cancelled, // g_bStop or the task's bCancel was set; the task stops without a message
};

struct CheckedUpdateList {
    UpdateListResult result = UpdateListResult::Refused;
    // With Ok: every entry before the terminating one, in order (none when the
    // list starts with its terminator). Otherwise the entries that passed
    // before the check stopped.
    std::vector<UpdateListEntry> entries;
};

// Fetches the task's index file and the update list it names for the task's
// version (or its "other" list), each into a new temporary file, after making
// Update's directory (appPath(), when set) the process's current directory.
// Writes the index URL to the trace log. True with `listPath` (the local copy of
// the list) and `listUrl`; false after a message has been shown, or when a
// download was cancelled (no message). Outputs are left alone on false.
bool FetchUpdateList(sUpdateStruct& task, std::string& listPath, std::string& listUrl);

// The validation pass run before any entry of a list is executed: reads list0,
// list1, ... up to the entry whose action is 0, and refuses, with its message,
// a missing entry or action, an entry whose bits lack the texts they need, or a
// text longer than its limit. Polls g_bStop and the task's bCancel before each
// entry. Shows messages on the calling thread.
CheckedUpdateList ValidateUpdateList(const ProfileFile& list, const std::string& listUrl,
                                     const sUpdateStruct& task);

// The final existence test: the `srcfile` of the last entry before the
// terminator must be a URL that exists. True when it does, and when there are no
// entries; false after the not-exist message.
bool LastSourceExists(const std::vector<UpdateListEntry>& entries);

// Everything between fetching a list and executing it: reads the list file at
// `listPath` (one parse), runs the validation pass and the final existence test.
CheckedUpdateList CheckUpdateList(const std::filesystem::path& listPath, const std::string& listUrl,
                                  const sUpdateStruct& task);

} // namespace update
