#include "update_worker.h"

#include <algorithm>
#include <thread>

#include "archive_command.h"
#include "file_commands.h"
#include "http_download.h"
#include "message_presenter.h"
#include "process_state.h"
#include "task_list_view.h"
#include "task_message.h"
#include "task_record.h"
#include "trace_log.h"
#include "update_list.h"

namespace update {
namespace {

bool stopRequested(const sUpdateStruct& record) {
    return g_bStop || record.bCancel;
}

std::string format(std::string text, std::initializer_list<std::string> values) {
    size_t from = 0;
    for (const auto& value : values) {
        const size_t at = text.find('%', from);
        if (at == std::string::npos) {
            break;
        }
        text.replace(at, 2, value);
        from = at + value.size();
    }
    return text;
}

std::string lowered(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// Paths of an update list are taken against Update's directory. A leading
// separator does not make one absolute: lists were written for another file
// system, and an installer has no business outside its own folder's tree.
std::string localPath(const std::string& listPath) {
    return JoinPath(GetProgramDirectory(), listPath);
}

// Source and target of MOVE, COPY and REN; a missing source has its own message.
int runTwoPathCommand(const UpdateListEntry& entry, const char* missingSource,
                      const std::function<int(const std::string&, const std::string&)>& run) {
    if (entry.srcfile.empty()) {
        showError(missingSource);
        return -1;
    }
    return run(localPath(entry.srcfile), localPath(entry.destfile));
}

int runCommand(const UpdateListEntry& entry, sUpdateStruct& record) {
    const std::string& cmd = entry.cmd;
    const std::string target = localPath(entry.destfile);
    if (cmd == "DEL") {
        if (DeletePath(target)) {
            return 0;
        }
        showError(format("删除%s失败.", {entry.destfile}));
        return -1;
    }
    if (cmd == "MOVE" || cmd == "COPY") {
        const bool move = cmd == "MOVE";
        return runTwoPathCommand(
            entry,
            move ? "执行更新列表文件错误,动作为移动文件但源文件路径为空."
                 : "执行更新列表文件错误,动作为复制文件但源文件路径为空.",
            [&](const std::string& source, const std::string& destination) {
                if (move ? MovePath(source, destination) : CopyPath(source, destination)) {
                    return 0;
                }
                showError(format(move ? "移动 %s 到 %s 失败." : "复制 %s 到 %s 失败.",
                                 {entry.srcfile, entry.destfile}));
                return -1;
            });
    }
    if (cmd == "REN") {
        return runTwoPathCommand(
            entry, "执行更新列表文件错误,动作为重命名但源文件路径为空.",
            [&](const std::string& source, const std::string& destination) {
                const int error = renameWithoutReplacing(source, destination);
                if (error == 0) {
                    return 0;
                }
                showError(format("rename执行失败,源文件:%s,目标文件:%s.错误号:%d",
                                 {entry.srcfile, entry.destfile, std::to_string(error)}));
                return -1;
            });
    }
    if (cmd == "CRE") {
        const int error = createDirectory(target);
        if (error == 0) {
            return 0;
        }
        showError(format("CreateDirectory执行失败,目录:%s.错误号:%d",
                         {entry.destfile, std::to_string(error)}));
        return -1;
    }
    if (cmd == "EXEC") {
        // A program that cannot be started stops the task without a message.
        return startDetached(target) ? 0 : -1;
    }
    if (cmd == "DEC") {
        return unpackArchiveEntry(entry.destfile, record);
    }
    showError(format("未知的更新命令. %s", {cmd}));
    return -1;
}

} // namespace

int TaskSupervisorThread(const std::shared_ptr<sUpdateStruct>& record) {
    if (!record || g_bStop) {
        return -1;
    }
    record->bCancel = false;
    int result = -1;
    std::thread worker([record, &result] { result = UpdateWorkerThread(record); });
    worker.join();
    if (MessageTarget* owner = record->pOwner) {
        if (record->nListIndex >= 0) {
            if (!record->bCancel) {
                record->fProgress = 1.0f;
            }
            record->dSpeed = 0.0;
            owner->Post({MyMessageCode::RefreshRow, record, -1});
        }
        owner->Post({MyMessageCode::TaskEnded, record, -1});
    }
    return result;
}

int UpdateWorkerThread(const std::shared_ptr<sUpdateStruct>& record) {
    if (!record) {
        return -1;
    }
    if (record->nListIndex >= 0 && taskListView()) {
        record->bInstalling = false;
    }
    std::string listPath;
    std::string listUrl;
    if (!FetchUpdateList(*record, listPath, listUrl)) {
        return -1;
    }
    const CheckedUpdateList list = CheckUpdateList(listPath, listUrl, *record);
    if (list.result != UpdateListResult::Ok) {
        return -1;
    }
    // The entries come from the one reading of the list that was checked; they
    // are executed in full length, never cut to a buffer.
    for (const UpdateListEntry& entry : list.entries) {
        if (stopRequested(*record)) {
            return -1;
        }
        traceLog().writeLine("执行命令:" + entry.srcfile + "-----" + entry.destfile + "-----" +
                             std::to_string(entry.action) + "-----" + entry.cmd);
        if (executeEntry(entry, *record) != 0) {
            return -1;
        }
    }
    return g_bStop ? -1 : 0;
}

int executeEntry(const UpdateListEntry& entry, sUpdateStruct& record) {
    if (entry.downloads()) {
        DownloadJob job{&record, entry.srcfile, entry.destfile, {}};
        std::thread download([&job] { DownloadEntryThread(job); });
        download.join();
        // The download's own result is not looked at: a failed download has shown
        // its message and the list goes on. A cancelled one leaves no partial file.
        if (stopRequested(record)) {
            DeletePath(JoinPath(GetProgramDirectory(), entry.destfile));
            return -1;
        }
    }
    return entry.runsCommand() ? runCommand(entry, record) : 0;
}

int DownloadEntryThread(DownloadJob& job) {
    const std::string source = lowered(job.srcfile);
    const bool showOnList = source.find(".rar") != std::string::npos ||
                            source.find(".zip") != std::string::npos ||
                            source.find(".exe") != std::string::npos;
    const int result = showOnList ? InternetGetFileShowOnList(job.srcfile, job.destfile.c_str(),
                                                              job.localPath, job.record)
                                  : InternetGetFileOnly(job.srcfile, job.destfile.c_str(),
                                                        job.localPath, job.record);
    return result == 0 ? 0 : -1;
}

int UnzipCallThread(UnpackJob& job) {
    job.function(job.archivePath.c_str());
    return 0;
}

int UnzipProgressThread(UnpackJob& job) {
    sUpdateStruct& record = *job.record;
    record.fProgress = 0.0f;
    if (record.nListIndex >= 0 && taskListView()) {
        record.bInstalling = true;
    }
    while (!g_bStop && !job.isDone() && job.function) {
        record.fProgress = job.function(job.archivePath.c_str());
        job.waitDone(std::chrono::milliseconds(100));
    }
    return 0;
}

void UnpackJob::markDone() {
    {
        std::lock_guard lock(m_doneMutex);
        m_done = true;
    }
    m_doneChanged.notify_all();
}

bool UnpackJob::isDone() const {
    std::lock_guard lock(m_doneMutex);
    return m_done;
}

bool UnpackJob::waitDone(std::chrono::milliseconds period) {
    std::unique_lock lock(m_doneMutex);
    return m_doneChanged.wait_for(lock, period, [this] { return m_done; });
}

} // namespace update
