// update-tool check: fetches a game's update list the way a task of Update does,
// validates it and prints its entries. Messages of the engine go to standard
// error as "[caption] text"; like Update, the tool writes its trace log
// "output.txt" into the current directory.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "commands.h"
#include "platform/text_codec.h"
#include "update/engine/process_state.h"
#include "update/engine/task_record.h"
#include "update/engine/update_list.h"

namespace update_tool {
namespace {

// Terminal columns of a UTF-8 text. Characters from U+1000 on are taken as two
// columns wide: in update lists they are Chinese; close enough for a listing.
std::size_t displayWidth(std::string_view text) {
    std::size_t width = 0;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte & 0xC0) != 0x80) {
            width += byte >= 0xE1 ? 2 : 1;
        }
    }
    return width;
}

void printPadded(std::string_view text, std::size_t width) {
    std::fwrite(text.data(), 1, text.size(), stdout);
    for (std::size_t w = displayWidth(text); w < width + 2; ++w) {
        std::fputc(' ', stdout);
    }
}

void printEntries(const std::vector<update::UpdateListEntry>& entries) {
    std::vector<std::vector<std::string>> rows{{"#", "action", "srcfile", "destfile", "cmd"}};
    for (const auto& entry : entries) {
        rows.push_back({std::to_string(entry.number), std::to_string(entry.action), entry.srcfile,
                        entry.destfile, entry.cmd});
    }
    std::vector<std::size_t> widths(rows.front().size(), 0);
    for (const auto& row : rows) {
        for (std::size_t i = 0; i < row.size(); ++i) {
            widths[i] = std::max(widths[i], displayWidth(row[i]));
        }
    }
    for (const auto& row : rows) {
        for (std::size_t i = 0; i + 1 < row.size(); ++i) {
            printPadded(row[i], widths[i]);
        }
        std::printf("%s\n", row.back().c_str());
    }
}

// The task record carries its texts in fixed fields; the tool refuses what the
// lobby client could not have sent rather than checking a cut text.
template <std::size_t N>
bool fitsField(const char (&)[N], const std::string& utf8, const char* name) {
    if (platform::legacyFromUtf8(utf8).size() < N) {
        return true;
    }
    std::fprintf(stderr, "update-tool check: %s is longer than %zu bytes in the legacy code page\n",
                 name, N - 1);
    return false;
}

} // namespace

int runCheck(std::span<char*> args) {
    if (args.size() != 2) {
        std::fputs("usage: update-tool check INDEX_URL VERSION\n", stderr);
        return 2;
    }
    update::sUpdateStruct task;
    const std::string indexUrl = args[0];
    const std::string version = args[1];
    if (!fitsField(task.g_url, indexUrl, "INDEX_URL") ||
        !fitsField(task.g_ver, version, "VERSION")) {
        return 2;
    }
    update::setWireText(task.g_url, indexUrl);
    update::setWireText(task.g_ver, version);

    // Update's directory is where the list's relative paths point; for the tool
    // that is the directory it runs in, so fetching changes no directory.
    std::error_code error;
    const std::filesystem::path here = std::filesystem::current_path(error);
    if (error) {
        std::fprintf(stderr, "update-tool check: no current directory: %s\n",
                     error.message().c_str());
        return 1;
    }
    update::setAppPath(here);

    std::string listPath;
    std::string listUrl;
    if (!update::FetchUpdateList(task, listPath, listUrl)) {
        return 1;
    }
    const update::CheckedUpdateList checked = update::CheckUpdateList(listPath, listUrl, task);
    if (checked.result != update::UpdateListResult::Ok) {
        return 1;
    }
    std::printf("update list %s\nlocal copy  %s\n\n", listUrl.c_str(), listPath.c_str());
    printEntries(checked.entries);
    std::printf("\n%zu entries before the terminating one\n", checked.entries.size());
    return 0;
}

} // namespace update_tool
