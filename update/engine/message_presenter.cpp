#include "message_presenter.h"

#include <atomic>

#include <unistd.h>

namespace update {
namespace {

StderrMessagePresenter g_stderrPresenter;
std::atomic<MessagePresenter*> g_presenter{&g_stderrPresenter};

} // namespace

MessageAnswer StderrMessagePresenter::show(const Message& message) {
    const std::string line = "[" + message.caption + "] " + message.text + "\n";
    [[maybe_unused]] const ssize_t written = ::write(STDERR_FILENO, line.data(), line.size());
    return message.buttons == MessageButtons::Ok ? MessageAnswer::Ok : MessageAnswer::Yes;
}

void setMessagePresenter(MessagePresenter* presenter) {
    g_presenter.store(presenter ? presenter : &g_stderrPresenter);
}

MessageAnswer showMessage(const Message& message) {
    return g_presenter.load()->show(message);
}

void showError(const std::string& text) {
    showMessage({text, "错误", MessageIcon::Error, MessageButtons::Ok});
}

void showNotice(const std::string& text) {
    showMessage({text, "提示", MessageIcon::None, MessageButtons::Ok});
}

} // namespace update
