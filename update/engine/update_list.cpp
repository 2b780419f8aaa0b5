#include "update_list.h"

#include "platform/text_codec.h"
#include "update/engine/message_presenter.h"
#include "update/engine/process_state.h"
#include "update/engine/profile_file.h"
#include "update/engine/task_record.h"

namespace update {
namespace {

// Measured as the original's char buffers held it. No character takes more bytes
// in the legacy code page than in UTF-8, so short texts need no conversion.
bool fitsLegacyBuffer(const std::string& utf8, std::size_t limit) {
    return utf8.size() <= limit || platform::legacyFromUtf8(utf8).size() <= limit;
}

// Shows the message that refuses `entry` and returns true, or returns false.
bool refuseEntry(const UpdateListEntry& entry) {
    if (entry.runsCommand() && entry.cmd.empty()) {
        showError("解析更新列表文件错误,动作有命令但命令为空.");
        return true;
    }
    if (entry.runsCommand() && entry.destfile.empty()) {
        showError("解析更新列表文件错误,动作有命令但目标文件为空.");
        return true;
    }
    if (entry.downloads() && (entry.srcfile.empty() || entry.destfile.empty())) {
        showError("解析更新列表文件错误,动作为下载文件但文件路径为空.\n源文件: " + entry.srcfile +
                  "\n目标文件:" + entry.destfile);
        return true;
    }
    const struct {
        const char* key;
        const std::string& value;
        std::size_t limit;
    } fields[] = {{"srcfile", entry.srcfile, kMaxUrlBytes},
                  {"destfile", entry.destfile, kMaxPathBytes},
                  {"cmd", entry.cmd, kMaxPathBytes}};
    for (const auto& field : fields) {
        if (!fitsLegacyBuffer(field.value, field.limit)) {
            showError("解析更新列表文件错误,list" + std::to_string(entry.number) + "的" +
                      field.key + "超过" + std::to_string(field.limit) + "字节.");
            return true;
        }
    }
    return false;
}

} // namespace

CheckedUpdateList ValidateUpdateList(const ProfileFile& list, const std::string& listUrl,
                                     const sUpdateStruct& task) {
    CheckedUpdateList checked;
    for (int i = 0;; ++i) {
        if (g_bStop.load() || task.bCancel.load()) {
            checked.result = UpdateListResult::Cancelled;
            return checked;
        }
        const std::string section = "list" + std::to_string(i);
        const int action = list.integer(section, "action", -1);
        if (action == 0) {
            checked.result = UpdateListResult::Ok;
            return checked;
        }
        if (action == -1) {
            showNotice("更新URL(" + listUrl + ")文件内action项配置错误.");
            checked.result = UpdateListResult::Refused;
            return checked;
        }
        UpdateListEntry entry{i, action, list.text(section, "srcfile"),
                              list.text(section, "destfile"), list.text(section, "cmd")};
        if (refuseEntry(entry)) {
            checked.result = UpdateListResult::Refused;
            return checked;
        }
        checked.entries.push_back(std::move(entry));
    }
}

} // namespace update
