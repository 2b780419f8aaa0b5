#include "process_state.h"

#include <mutex>

namespace update {
namespace {

std::mutex g_appPathMutex;
std::string g_szAppPath;
std::atomic<TaskListView*> g_pListCtrl{nullptr};

} // namespace

std::atomic<bool> g_bStop{false};

std::string appPath() {
    std::lock_guard lock(g_appPathMutex);
    return g_szAppPath;
}

void setAppPath(const std::filesystem::path& directory) {
    std::string path = directory.string();
    if (path.empty() || path.back() != '/') {
        path += '/';
    }
    std::lock_guard lock(g_appPathMutex);
    g_szAppPath = std::move(path);
}

TaskListView* taskListView() {
    return g_pListCtrl.load();
}
void setTaskListView(TaskListView* view) {
    g_pListCtrl.store(view);
}

} // namespace update
