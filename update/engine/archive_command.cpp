#include "archive_command.h"

#include <thread>

#include "file_commands.h"
#include "message_presenter.h"
#include "platform/paths.h"
#include "platform/shared_library.h"
#include "task_record.h"
#include "trace_log.h"
#include "update_worker.h"

namespace update {
namespace {

constexpr const char* kLibraryName = "Unzip.dll";

// Looked for at every DEC, in Update's directory first, then beside the running
// program, then where the dynamic loader looks. Once loaded it stays loaded.
platform::SharedLibrary loadUnpackingLibrary() {
    return platform::SharedLibrary(kLibraryName,
                                   {GetProgramDirectory(), platform::programDirectory()});
}

void showLibraryError(const char* text) {
    // These two boxes carry the default caption of the original.
    showMessage({text, "", MessageIcon::Error, MessageButtons::Ok});
}

} // namespace

int unpackArchiveEntry(const std::string& destfile, sUpdateStruct& record) {
    traceLog().writeLine("下载完毕开始解压");
    const platform::SharedLibrary library = loadUnpackingLibrary();
    const auto unzipComplete =
        reinterpret_cast<float (*)(const char*)>(library.symbol("UnzipComplete"));
    if (!unzipComplete) {
        showLibraryError("动态库加载,返回文件解压进度函数失败!");
        return -1;
    }
    const std::string archivePath = platform::pathFromPeer(destfile);
    UnpackJob progressJob{&record, archivePath, unzipComplete};
    std::thread progress([&progressJob] { UnzipProgressThread(progressJob); });

    const auto onUpdateFile =
        reinterpret_cast<int (*)(const char*)>(library.symbol("OnUpdateFile"));
    if (!onUpdateFile) {
        showLibraryError("动态库加载失败");
        progressJob.markDone();
        progress.join();
        return -1;
    }
    UnpackJob callJob{&record, archivePath, [onUpdateFile](const char* path) {
                          return static_cast<float>(onUpdateFile(path));
                      }};
    std::thread call([&callJob] { UnzipCallThread(callJob); });
    call.join();
    progressJob.markDone();
    progress.join();

    record.nState = 2;
    traceLog().writeLine("解压完毕，开始删除文件");
    DeletePath(JoinPath(GetProgramDirectory(), destfile));
    traceLog().writeLine("删除完毕");
    return 0;
}

} // namespace update
