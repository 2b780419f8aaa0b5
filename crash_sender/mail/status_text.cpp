#include "status_text.h"

#include "ansi_text.h"

namespace crash_mail {

std::string attachmentMissingLine(std::string_view path) {
    return "发送的附件: " + AnsiToUtf8(path) + " 没有找到。";
}

std::string lookingUpLine(std::string_view server, std::uint16_t port) {
    return "得到 " + AnsiToUtf8(server) + " 的地址信息,端口 " + std::to_string(port);
}

std::string greetingFailedLine(int code) {
    return "从 SMTP 服务器获取欢迎信息失败 (接收到的错误码: " + std::to_string(code) + ")。";
}

std::string attachmentUnreadableLine(std::string_view path) {
    return "附件 " + AnsiToUtf8(path) + " BASE64编码错误";
}

std::string endLine(int result) {
    return "发送数据错误: " + std::to_string(result) + "。";
}

} // namespace crash_mail
