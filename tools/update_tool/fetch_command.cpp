// update-tool fetch URL FILE: one download as a task's entry would make it.
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

#include <unistd.h>

#include "commands.h"
#include "progress_printer.h"
#include "update/engine/http_download.h"
#include "update/engine/process_state.h"
#include "update/engine/task_record.h"

namespace update_tool {

int runFetch(std::span<char*> args) {
    if (args.size() != 2) {
        std::fputs("usage: update-tool fetch URL FILE\n", stderr);
        return 2;
    }
    namespace fs = std::filesystem;
    // FILE's folder plays Update's directory, its name the entry's local name.
    const fs::path file = fs::absolute(args[1]).lexically_normal();
    if (!file.has_filename()) {
        std::fprintf(stderr, "update-tool fetch: '%s' does not name a file\n", args[1]);
        return 2;
    }
    update::setAppPath(file.parent_path());

    update::sUpdateStruct record;
    record.nListIndex = 0;
    ProgressPrinter printer(record, ::isatty(STDERR_FILENO) == 1);
    update::setTaskListView(&printer);
    printer.start();
    std::string localPath;
    const auto started = std::chrono::steady_clock::now();
    const int result =
        update::InternetGetFileShowOnList(args[0], file.filename().c_str(), localPath, &record);
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - started;
    printer.stop();
    update::setTaskListView(nullptr);
    if (result != 0) {
        return 1;
    }
    std::error_code error;
    const std::uintmax_t bytes = fs::file_size(localPath, error);
    const double seconds = elapsed.count();
    std::fprintf(stderr, "saved %s: %ju bytes in %.3f s (%.1f KB/s)\n", localPath.c_str(),
                 error ? std::uintmax_t{0} : bytes, seconds,
                 seconds > 0 && !error ? static_cast<double>(bytes) / 1024.0 / seconds : 0.0);
    return 0;
}

} // namespace update_tool
