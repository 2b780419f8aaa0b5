// update-tool unpack ARCHIVE [--dir DIR]: unpacks through the unpacking library
// loaded by name, as a task's DEC entry does, showing its progress.
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <thread>

#include <unistd.h>

#include "command_options.h"
#include "commands.h"
#include "platform/paths.h"
#include "platform/shared_library.h"
#include "progress_printer.h"
#include "update/engine/task_record.h"
#include "update/engine/update_worker.h"

namespace update_tool {

int runUnpack(std::span<char*> args) {
    CommandOptions options(args, {"--dir"});
    if (!options.valid() || options.positional().size() != 1) {
        if (!options.error().empty()) {
            std::fprintf(stderr, "update-tool unpack: %s\n", options.error().c_str());
        }
        std::fputs("usage: update-tool unpack ARCHIVE [--dir DIR]\n", stderr);
        return 2;
    }
    namespace fs = std::filesystem;
    std::error_code error;
    const fs::path archive = fs::absolute(options.positional()[0], error);
    const fs::path directory = options.value("--dir", fs::current_path(error).string());
    if (!fs::is_regular_file(archive, error)) {
        std::fprintf(stderr, "update-tool unpack: no archive '%s'\n", archive.c_str());
        return 1;
    }
    fs::create_directories(directory, error);
    fs::current_path(directory, error);
    if (error) {
        std::fprintf(stderr, "update-tool unpack: cannot enter '%s': %s\n", directory.c_str(),
                     error.message().c_str());
        return 1;
    }
    const platform::SharedLibrary library("Unzip.dll", {platform::programDirectory()});
    const auto onUpdateFile =
        reinterpret_cast<int (*)(const char*)>(library.symbol("OnUpdateFile"));
    const auto unzipComplete =
        reinterpret_cast<float (*)(const char*)>(library.symbol("UnzipComplete"));
    if (!onUpdateFile || !unzipComplete) {
        std::fprintf(stderr, "update-tool unpack: no unpacking library: %s\n",
                     library.error().c_str());
        return 1;
    }

    update::sUpdateStruct record;
    record.nListIndex = -1;
    const long sizeKb = static_cast<long>(fs::file_size(archive, error) / 1024);
    ProgressPrinter printer(record, ::isatty(STDERR_FILENO) == 1);
    printer.SetRowSize(0, sizeKb);
    printer.start();
    update::UnpackJob progressJob{&record, archive.string(), unzipComplete};
    std::thread progress([&progressJob] { update::UnzipProgressThread(progressJob); });
    const int result = onUpdateFile(archive.c_str());
    progressJob.markDone();
    progress.join();
    record.fProgress = 1.0f;
    printer.stop();
    return result == 0 ? 0 : 1;
}

} // namespace update_tool
