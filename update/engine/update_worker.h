#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

namespace update {

struct sUpdateStruct;
struct UpdateListEntry;

// Runs one task to its end: starts the worker on a thread of its own, waits for
// it, then shows the task complete on its row (unless it was cancelled) and posts
// its end to the record's owner. Nothing is posted when g_bStop is already set.
// Returns the worker's result (-1 when it did not run), for tools that tell it.
int TaskSupervisorThread(const std::shared_ptr<sUpdateStruct>& record);

// Fetches, checks and executes the task's update list. 0 when the list was
// executed up to its terminating entry; -1 after an error (its message shown),
// on cancellation and on g_bStop.
int UpdateWorkerThread(const std::shared_ptr<sUpdateStruct>& record);

// Executes one entry: its download, then its command. 0 to go on, -1 to stop.
int executeEntry(const UpdateListEntry& entry, sUpdateStruct& record);

struct DownloadJob {
    sUpdateStruct* record;
    std::string srcfile;
    std::string destfile;
    std::string localPath; // receives the downloaded file's path
};

// Downloads one entry's file into Update's directory, reporting to its row when
// it is an archive or a program. 0 when the download returned 0, else -1.
int DownloadEntryThread(DownloadJob& job);

// A function of the unpacking library, called with the archive's path.
using UnzipFunction = std::function<float(const char*)>;

struct UnpackJob {
    UnpackJob(sUpdateStruct* job, std::string archive, UnzipFunction call)
        : record(job)
        , archivePath(std::move(archive))
        , function(std::move(call)) {}

    sUpdateStruct* record;
    std::string archivePath; // the entry's destfile, relative to Update's directory
    UnzipFunction function;

    // Set once the unpacking call has returned; wakes the polling thread at once,
    // so that a finished unpacking never waits out a polling period.
    void markDone();
    bool isDone() const;
    // Waits up to `period` for markDone(); true when it came.
    bool waitDone(std::chrono::milliseconds period);

private:
    mutable std::mutex m_doneMutex;
    std::condition_variable m_doneChanged;
    bool m_done = false; // guarded by m_doneMutex
};

// Calls the job's function once (the unpacking).
int UnzipCallThread(UnpackJob& job);
// Polls the job's function every 100 ms into the task's progress until done.
int UnzipProgressThread(UnpackJob& job);

} // namespace update
