#pragma once

#include <atomic>
#include <filesystem>
#include <string>

namespace update {

class TaskListView;

// Set when the user closes Update or cancels every update; the scheduler clears
// it when it starts a task. Every loop that works for a task polls it together
// with the task's own cancel flag.
extern std::atomic<bool> g_bStop;

// Update's directory, ending in '/': downloads land there and relative paths of
// update lists are resolved against it. Set once at start-up, before any task.
std::string appPath();
void setAppPath(const std::filesystem::path& directory);

// The download list the tasks report to, or nullptr when there is none (tools,
// tests). Tasks test it for presence before every report.
TaskListView* taskListView();
void setTaskListView(TaskListView* view);

} // namespace update
