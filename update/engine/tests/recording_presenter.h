#pragma once

#include <mutex>
#include <ostream>
#include <string>
#include <vector>

#include "update/engine/message_presenter.h"

namespace update::testing {

// Text, caption and icon of a shown message, comparable and printable.
struct ShownMessage {
    std::string text;
    std::string caption;
    MessageIcon icon = MessageIcon::None;
    MessageButtons buttons = MessageButtons::Ok;

    bool operator==(const ShownMessage&) const = default;
};

inline std::ostream& operator<<(std::ostream& out, const ShownMessage& message) {
    return out << "[" << message.caption << "|icon " << static_cast<int>(message.icon)
               << "|buttons " << static_cast<int>(message.buttons) << "] " << message.text;
}

// The engine's notice ("提示", no icon) and error ("错误", error icon), both OK only.
inline ShownMessage notice(const std::string& text) {
    return {text, "提示", MessageIcon::None, MessageButtons::Ok};
}
inline ShownMessage error(const std::string& text) {
    return {text, "错误", MessageIcon::Error, MessageButtons::Ok};
}

// Records every message instead of showing it, for as long as it lives; answers
// OK. Messages come from task threads, so recording is guarded.
class RecordingPresenter : public MessagePresenter {
public:
    RecordingPresenter() { setMessagePresenter(this); }
    ~RecordingPresenter() override { setMessagePresenter(nullptr); }
    RecordingPresenter(const RecordingPresenter&) = delete;
    RecordingPresenter& operator=(const RecordingPresenter&) = delete;

    MessageAnswer show(const Message& message) override {
        std::lock_guard lock(m_mutex);
        m_shown.push_back({message.text, message.caption, message.icon, message.buttons});
        return MessageAnswer::Ok;
    }

    std::vector<ShownMessage> shown() const {
        std::lock_guard lock(m_mutex);
        return m_shown;
    }

private:
    mutable std::mutex m_mutex;
    std::vector<ShownMessage> m_shown;
};

} // namespace update::testing
