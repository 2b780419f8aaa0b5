#include "download_messages.h"

#include "message_presenter.h"

namespace update {

void ReportOpenUrlError(int errorCode, const std::string& szurl, const std::string& errorText) {
    if (!errorText.empty()) {
        showError("InternetOpenUrl 错误.\n网址:" + szurl + ".\n错误信息:" + errorText + ".");
    } else {
        showError("InternetOpenUrl 错误.\n网址:" + szurl +
                  ".\n错误号:" + std::to_string(errorCode) + ".");
    }
}

void ReportReadFileError(int errorCode, const std::string& errorText) {
    if (!errorText.empty()) {
        showError("InternetReadFile 错误.\n 错误信息:" + errorText + ".");
    } else {
        showError("InternetReadFile 错误.\n 错误号:" + std::to_string(errorCode) + ".");
    }
}

void reportLocalFileError(const std::string& path, const std::string& reason) {
    showError("无法打开本地文件.\n文件:" + path + ".\n错误信息:" + reason + ".");
}

void reportWriteFileError(const std::string& path, const std::string& reason) {
    showError("写入本地文件错误.\n文件:" + path + ".\n错误信息:" + reason + ".");
}

void reportLocalNameError(const std::string& localName) {
    showError("本地文件名不能指向更新目录之外.\n文件名:" + localName + ".");
}

} // namespace update
