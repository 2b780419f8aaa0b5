// update-tool serve [--dir DIR] [--port N]: Update without its window. It
// connects to the lobby client, runs the tasks it sends one at a time and sends
// each back when it has ended, and ends one second after the last task.
#include <chrono>
#include <cstdio>
#include <string>

#include "command_options.h"
#include "commands.h"
#include "headless_update.h"
#include "platform/termination_signals.h"
#include "serve_status_view.h"
#include "update/engine/queue_intake.h"
#include "update/engine/socket32.h"
#include "update/engine/task_message.h"
#include "update/engine/update_worker.h"
#include "update_directory.h"

namespace update_tool {
namespace {

constexpr const char* kUsage = "usage: update-tool serve [--dir DIR] [--port N]\n"
                               "  --dir DIR   Update's directory: tasks install there "
                               "(default: the tool's folder)\n"
                               "  --port N    the lobby client's port, instead of UpdateSetPort "
                               "in ./lumgame.lcf\n";

// The window connects to the lobby client this long after it has been set up.
constexpr std::chrono::milliseconds kLinkDelay{100};
// The window closes this long after the last task has ended.
constexpr std::chrono::milliseconds kCloseDelay{1000};

int usageError(const std::string& error) {
    std::fputs((error.empty() ? std::string(kUsage) : error + "\n" + kUsage).c_str(), stderr);
    return 2;
}

} // namespace

int runServe(std::span<char*> args) {
    CommandOptions options(args, {"--dir", "--port"});
    int port = 0;
    if (!options.valid() || !options.positional().empty() || !options.integer("--port", port)) {
        return usageError(options.error());
    }
    if (options.has("--port") && (port < 1 || port > 65535)) {
        return usageError("--port takes a TCP port (1 to 65535)");
    }
    if (!enterUpdateDirectory("serve", options.value("--dir", ""))) {
        return 2;
    }

    // The lobby client's configuration is read here, in the starting folder,
    // before any task makes Update's directory the current one.
    update::CSocket32 link;
    if (options.has("--port")) {
        link.setPort(port);
    }
    std::fprintf(stderr, "update-tool serve: lobby client at 127.0.0.1:%d\n", link.port());

    ServeStatusView view;
    int closed = 0;
    {
        HeadlessUpdate update(
            view, link,
            [&view](const std::shared_ptr<update::sUpdateStruct>& record) {
                view.showEnd(*record, update::TaskSupervisorThread(record));
            },
            kCloseDelay);
        update::QueueIntake intake(update.queue());
        update.setStartLink([&link, &intake] { link.Start(&intake); });
        // Closing, by the close timer or by a signal, first stops the link, so
        // that no task comes in that closing would drop unreported.
        update.setBeforeClose([&link, &update, &view] {
            link.stop();
            for (const auto& task : update.queue().snapshot()) {
                if (task->nState == 0) {
                    view.showDropped(*task);
                }
            }
        });
        // SIGINT and SIGTERM close as the window's close button does: the
        // running task stops, the waiting ones are dropped. Taken before any
        // other thread exists.
        const platform::TerminationSignals signals([&update](int) { update.close(1); });
        update.loop().postDelayed(kLinkDelay, [&update] {
            update.Post({update::MyMessageCode::StartLink, nullptr, -1});
        });
        closed = update.run();
    } // every task thread has ended here
    return closed;
}

} // namespace update_tool
