#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace crash_mail {

// The status lines and markers of a crash mail, in the order in which they can
// occur. They never leave the process: the progress display shows them and reacts
// to the markers.

constexpr std::string_view kMailStarting = "开始发送邮件";
std::string attachmentMissingLine(std::string_view path); // "发送的附件: %s 没有找到。"
std::string lookingUpLine(std::string_view server, std::uint16_t port);
constexpr std::string_view kLookupFailed = "得到服务器信息出错！";
constexpr std::string_view kConnected = "连接成功。";
std::string greetingFailedLine(int code);
constexpr std::string_view kGreeting = "发送 HELO";
constexpr std::string_view kAuthenticating = "发送 服务器验证信息。";
constexpr std::string_view kSendingEnvelope = "发送发送者和接收者信息";
constexpr std::string_view kSendingHeader = "开始发送邮件标题。";
constexpr std::string_view kSendingText = "开始发送邮件内容。";
constexpr std::string_view kSendingAttachments = "邮件附件正在传输中...";
constexpr std::string_view kAttachmentsMarker = "[status_sendattr]";
std::string attachmentUnreadableLine(std::string_view path); // "附件 %s BASE64编码错误"
constexpr std::string_view kDataAccepted = "发送邮件结束消息。";
constexpr std::string_view kMailComplete = "邮件发送完成。";
std::string endLine(int result); // "发送数据错误: %d。", also after a success
constexpr std::string_view kMailSucceeded = "发送成功。";
constexpr std::string_view kMailBroken = "出现了严重的错误。";

// Markers of the send's supervisor and of the user's cancellation.
constexpr std::string_view kSuccessMarker = "[status_success]";
constexpr std::string_view kFailureMarker = "[status_failed]";
constexpr std::string_view kCancelMarker = "[cancelled_by_user]";

} // namespace crash_mail
