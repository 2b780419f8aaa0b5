// update-tool run INDEX_URL VERSION [--dir DIR] [--name NAME] [--room N]:
// one whole task as Update runs it, without the window.
#include <atomic>
#include <cstdio>
#include <string>

#include <unistd.h>

#include "command_options.h"
#include "commands.h"
#include "headless_update.h"
#include "platform/termination_signals.h"
#include "task_status_view.h"
#include "update/engine/task_record.h"
#include "update/engine/task_window.h"
#include "update/engine/update_worker.h"
#include "update_directory.h"

namespace update_tool {
namespace {

constexpr const char* kUsage =
    "usage: update-tool run INDEX_URL VERSION [--dir DIR] [--name NAME] [--room N]\n";

// Nobody listens for reports when a task runs alone.
class NoLink : public update::ReportLink {
public:
    void SendReport(const char*, int) override {}
};

} // namespace

int runRun(std::span<char*> args) {
    CommandOptions options(args, {"--dir", "--name", "--room"});
    int room = 1;
    if (!options.valid() || options.positional().size() != 2 || !options.integer("--room", room)) {
        std::fputs(options.error().empty() ? kUsage : (options.error() + "\n" + kUsage).c_str(),
                   stderr);
        return 2;
    }
    if (!enterUpdateDirectory("run", options.value("--dir", ""))) {
        return 2;
    }

    update::TaskWireImage image{};
    image.nRoomID = room;
    update::setWireText(image.g_GameName, options.value("--name", "game"));
    update::setWireText(image.g_url, options.positional()[0]);
    update::setWireText(image.g_ver, options.positional()[1]);

    TaskStatusView view(::isatty(STDERR_FILENO) == 1);
    NoLink link;
    std::atomic<int> result{-1};
    int closed = 0;
    {
        HeadlessUpdate update(
            view, link,
            [&result](const std::shared_ptr<update::sUpdateStruct>& record) {
                result = update::TaskSupervisorThread(record);
            },
            std::chrono::milliseconds(0));
        // Ctrl-C closes as the window's close button does: the task stops and its
        // partial download is deleted. Taken before any task thread exists.
        const platform::TerminationSignals signals([&update](int) { update.close(1); });
        update.loop().post([&] {
            update.queue().OnSocketReceive(reinterpret_cast<const char*>(&image),
                                           static_cast<int>(update::kWireRecordSize));
        });
        closed = update.run();
    } // every task thread has ended here
    return closed == 0 && result == 0 ? 0 : 1;
}

} // namespace update_tool
