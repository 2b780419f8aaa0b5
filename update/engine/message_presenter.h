#pragma once

#include <string>

namespace update {

enum class MessageIcon { None, Error, Information };
enum class MessageButtons { Ok, YesNoCancel };
enum class MessageAnswer { Ok, Yes, No, Cancel };

struct Message {
    std::string text;    // UTF-8
    std::string caption; // empty: the program's default caption
    MessageIcon icon = MessageIcon::None;
    MessageButtons buttons = MessageButtons::Ok;
};

// Shows the engine's message boxes. The window implements it with a modal box
// owned by the main window; tools print. show() is called from task threads and
// blocks the caller until the user has answered.
class MessagePresenter {
public:
    virtual ~MessagePresenter() = default;
    virtual MessageAnswer show(const Message& message) = 0;
};

// Prints "[caption] text" to standard error and answers Ok (Yes for a question).
class StderrMessagePresenter : public MessagePresenter {
public:
    MessageAnswer show(const Message& message) override;
};

// The presenter every engine message goes to; by default a StderrMessagePresenter.
// The presenter must outlive every task thread that may show a message.
void setMessagePresenter(MessagePresenter* presenter);

// Shows a message through the current presenter and returns the answer.
MessageAnswer showMessage(const Message& message);

// The two forms the engine uses most: an error ("错误", error icon) and a notice
// ("提示", no icon), both with an OK button only.
void showError(const std::string& text);
void showNotice(const std::string& text);

} // namespace update
