#include "task_status_view.h"

#include <unistd.h>

#include "progress_printer.h"

namespace update_tool {
namespace {

constexpr int kBarWidth = 30;
constexpr auto kPlainInterval = std::chrono::seconds(1);

void writeToStderr(const std::string& text) {
    [[maybe_unused]] const ssize_t written = ::write(STDERR_FILENO, text.data(), text.size());
}

} // namespace

TaskStatusView::TaskStatusView(bool live)
    : m_live(live) {}

void TaskStatusView::SetRowSize(int /*row*/, long sizeKb) {
    m_sizeKb = sizeKb;
}

void TaskStatusView::InsertRow(int /*row*/, const std::string& text) {
    ++m_rows;
    writeToStderr("task: " + text + "\n");
}

void TaskStatusView::DeleteRow(int /*row*/) {
    show(true);
    --m_rows;
}

void TaskStatusView::SetRowState(int /*row*/, bool installing) {
    m_installing = installing;
}
void TaskStatusView::SetRowProgress(int /*row*/, float progress) {
    m_progress = progress;
}

void TaskStatusView::SetRowSpeed(int /*row*/, float speedKb) {
    m_speed = speedKb;
    show(false);
}

void TaskStatusView::show(bool last) {
    const auto now = std::chrono::steady_clock::now();
    if (!m_live && !last && now - m_lastPrinted < kPlainInterval) {
        return;
    }
    m_lastPrinted = now;
    const std::string line = std::string(m_installing ? "installing  " : "downloading ") +
                             progressLine(m_sizeKb, m_progress, m_speed, m_live ? kBarWidth : 0);
    // On a terminal the line is redrawn in place ("\r", erase to its end).
    writeToStderr(m_live ? "\r" + line + "\x1b[K" + (last ? "\n" : "") : line + "\n");
}

} // namespace update_tool
