#include "serve_status_view.h"

#include <algorithm>

#include <unistd.h>

#include "update/engine/process_state.h"
#include "update/engine/task_record.h"

namespace update_tool {
namespace {

// One write per line, so lines of different threads never mix. A name from the
// wire may hold control characters; they must not break the line.
void writeLine(int fd, const std::string& line) {
    std::string text = line;
    std::replace_if(
        text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20; }, '?');
    text += '\n';
    [[maybe_unused]] const ssize_t written = ::write(fd, text.data(), text.size());
}

void printEnd(const update::sUpdateStruct& record, const char* result) {
    writeLine(STDOUT_FILENO, "ended room=" + std::to_string(record.nRoomID) + " result=" + result +
                                 " name=" + record.gameName());
}

} // namespace

void ServeStatusView::showEnd(const update::sUpdateStruct& record, int workerResult) {
    if (workerResult == 0) {
        printEnd(record, "completed");
    } else {
        printEnd(record, record.bCancel || update::g_bStop ? "cancelled" : "failed");
    }
}

void ServeStatusView::showDropped(const update::sUpdateStruct& record) {
    printEnd(record, "cancelled");
}

void ServeStatusView::InsertRow(int /*row*/, const std::string& text) {
    ++m_rows;
    writeLine(STDERR_FILENO, "task: " + text);
}

} // namespace update_tool
