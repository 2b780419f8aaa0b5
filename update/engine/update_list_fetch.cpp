// The parts of update lists that talk to servers: fetching the index file and
// the list, and the existence test of the list's last source.
#include "update_list.h"

#include <optional>
#include <system_error>

#include "platform/text_codec.h"
#include "update/engine/http_download.h"
#include "update/engine/message_presenter.h"
#include "update/engine/process_state.h"
#include "update/engine/profile_file.h"
#include "update/engine/task_record.h"
#include "update/engine/trace_log.h"

namespace update {
namespace {

constexpr const char* kIndexSection = "config";
constexpr const char* kOtherKey = "other";

std::string notExistText(const std::string& url) {
    return "更新URL(" + url + ")文件不存在.";
}

// Relative paths of update lists are resolved against Update's directory. The
// current directory is process-wide, but every task sets the same one.
bool enterUpdateDirectory() {
    const std::string directory = appPath();
    if (directory.empty()) {
        return true;
    }
    std::error_code error;
    std::filesystem::current_path(directory, error);
    if (error) {
        // Going on would put the update's files wherever the process happens to be.
        showError("设置当前目录失败,目录:" + directory +
                  ".错误号:" + std::to_string(error.value()));
        return false;
    }
    return true;
}

// The list URL the index names for `version`, or nullopt after its message.
std::optional<std::string> listUrlFromIndex(const ProfileFile& index, const std::string& indexUrl,
                                            const std::string& version) {
    std::string key = version;
    std::string url = index.text(kIndexSection, key);
    if (url.empty()) {
        key = kOtherKey;
        url = index.text(kIndexSection, key);
    }
    if (url.empty()) {
        showNotice("更新URL(" + indexUrl + ")文件内other项配置错误.");
        return std::nullopt;
    }
    // Measured as the original's char buffer held it.
    if (platform::legacyFromUtf8(url).size() > kMaxUrlBytes) {
        showError("更新URL(" + indexUrl + ")文件内" + key + "项配置错误,网址超过" +
                  std::to_string(kMaxUrlBytes) + "字节.");
        return std::nullopt;
    }
    return url;
}

} // namespace

bool FetchUpdateList(sUpdateStruct& task, std::string& listPath, std::string& listUrl) {
    if (!enterUpdateDirectory()) {
        return false;
    }
    const std::string indexUrl = task.url();
    if (!UrlExists(indexUrl)) {
        showNotice(notExistText(indexUrl));
        return false;
    }
    std::string indexPath;
    if (InternetGetFileOnly(indexUrl, nullptr, indexPath, &task) != 0) {
        return false;
    }
    traceLog().writeLine(indexUrl);

    const auto url = listUrlFromIndex(ProfileFile::load(indexPath), indexUrl, task.version());
    if (!url) {
        return false;
    }
    std::string path;
    if (InternetGetFileOnly(*url, nullptr, path, &task) != 0) {
        return false;
    }
    if (!UrlExists(*url)) {
        showNotice(notExistText(*url));
        return false;
    }
    listPath = std::move(path);
    listUrl = *url;
    return true;
}

bool LastSourceExists(const std::vector<UpdateListEntry>& entries) {
    if (entries.empty()) {
        return true; // the list starts with its terminator: nothing was named
    }
    const std::string& srcfile = entries.back().srcfile;
    if (srcfile.empty() || !UrlExists(srcfile)) {
        showNotice(notExistText(srcfile));
        return false;
    }
    return true;
}

CheckedUpdateList CheckUpdateList(const std::filesystem::path& listPath, const std::string& listUrl,
                                  const sUpdateStruct& task) {
    CheckedUpdateList checked = ValidateUpdateList(ProfileFile::load(listPath), listUrl, task);
    if (checked.result == UpdateListResult::Ok && !LastSourceExists(checked.entries)) {
        checked.result = UpdateListResult::Refused;
    }
    return checked;
}

} // namespace update
