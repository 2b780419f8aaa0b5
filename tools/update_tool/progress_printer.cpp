#include "progress_printer.h"

#include <algorithm>
#include <chrono>
#include <cstdio>

#include <unistd.h>

#include "update/engine/task_record.h"

namespace update_tool {
namespace {

constexpr auto kLiveInterval = std::chrono::milliseconds(100);
constexpr auto kPlainInterval = std::chrono::seconds(1);
constexpr int kBarWidth = 30;

void writeToStderr(const std::string& text) {
    [[maybe_unused]] const ssize_t written = ::write(STDERR_FILENO, text.data(), text.size());
}

} // namespace

std::string progressLine(long sizeKb, float progress, double speedKbPerSecond, int barWidth) {
    const float fraction = std::clamp(progress, 0.0f, 1.0f);
    std::string line;
    if (barWidth > 0) {
        const int filled = static_cast<int>(fraction * static_cast<float>(barWidth));
        line = "[" + std::string(static_cast<std::size_t>(filled), '#') +
               std::string(static_cast<std::size_t>(barWidth - filled), ' ') + "] ";
    }
    char numbers[96];
    std::snprintf(numbers, sizeof numbers, "%5.1f%% of %ld KB, %.1f KB/s",
                  static_cast<double>(fraction) * 100.0, sizeKb, speedKbPerSecond);
    return line + numbers;
}

ProgressPrinter::ProgressPrinter(const update::sUpdateStruct& record, bool live)
    : m_record(record)
    , m_live(live) {}

ProgressPrinter::~ProgressPrinter() {
    stop();
}

void ProgressPrinter::SetRowSize(int /*row*/, long sizeKb) {
    m_sizeKb.store(sizeKb);
}

void ProgressPrinter::start() {
    if (!m_thread.joinable()) {
        m_thread = std::thread([this] { run(); });
    }
}

void ProgressPrinter::stop() {
    if (!m_thread.joinable()) {
        return;
    }
    {
        std::lock_guard lock(m_stopMutex);
        m_stopRequested = true;
    }
    m_stopped.notify_all();
    m_thread.join();
    print(true);
}

void ProgressPrinter::run() {
    const std::chrono::milliseconds interval = m_live ? kLiveInterval : kPlainInterval;
    std::unique_lock lock(m_stopMutex);
    while (!m_stopped.wait_for(lock, interval, [this] { return m_stopRequested; })) {
        print(false);
    }
}

void ProgressPrinter::print(bool last) const {
    const std::string line = progressLine(m_sizeKb.load(), m_record.fProgress.load(),
                                          m_record.dSpeed.load(), m_live ? kBarWidth : 0);
    // On a terminal the line is redrawn in place ("\r", erase to its end).
    writeToStderr(m_live ? "\r\033[K" + line + (last ? "\n" : "") : line + "\n");
}

} // namespace update_tool
