// config-tool: reads and edits a configuration store file from the command line.
// Exit codes: 0 done, 1 the operation failed (unreadable file, missing key, failed
// save), 2 the command line is wrong.

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "config_store/config_store.h"
#include "config_store/text_escape.h"

namespace {

constexpr int kDone = 0;
constexpr int kFailed = 1;
constexpr int kUsageError = 2;

constexpr std::string_view kUsage =
    "usage: config-tool FILE get SECTION KEY          print the key's value\n"
    "       config-tool FILE set SECTION KEY VALUE    store a value, making section and key\n"
    "       config-tool FILE erase SECTION [KEY]      remove a key, or a section with its keys\n"
    "       config-tool FILE list                     print sections and keys in order, spelled\n"
    "                                                 as in the file ([section], key=value)\n"
    "Names match without regard to ASCII letter case. A missing FILE reads as empty.\n";

int usageError(std::string_view problem) {
    std::fprintf(stderr, "config-tool: %.*s\n%.*s", static_cast<int>(problem.size()),
                 problem.data(), static_cast<int>(kUsage.size()), kUsage.data());
    return kUsageError;
}

int failed(const std::string& message) {
    std::fprintf(stderr, "config-tool: %s\n", message.c_str());
    return kFailed;
}

void printLine(std::string_view prefix, std::string_view text, std::string_view suffix) {
    std::fwrite(prefix.data(), 1, prefix.size(), stdout);
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fwrite(suffix.data(), 1, suffix.size(), stdout);
}

void list(CfgHandle handle) {
    for (CfgPosition sections = cfgFindFirstSectionPosition(handle); sections != nullptr;) {
        const std::string section = cfgFindNextSection(handle, sections);
        std::string line;
        config_store::appendEscaped(line, section, config_store::FieldKind::SectionName);
        printLine("[", line, "]\n");
        std::string key;
        std::string value;
        int number = 0;
        CfgPosition keys = cfgFindFistKeyPosition(handle, section.c_str());
        while (cfgFindNextKey(handle, section.c_str(), keys, key, value, number)) {
            line.clear();
            config_store::appendEscaped(line, key, config_store::FieldKind::KeyName);
            line += '=';
            config_store::appendEscaped(line, value, config_store::FieldKind::Value);
            printLine("", line, "\n");
        }
    }
}

// Runs one command on an open store; the store is closed (and saved) by the caller.
int run(CfgHandle handle, const std::string& file, const std::vector<std::string>& args) {
    const std::string& command = args[0];
    if (command == "get" && args.size() == 3) {
        const char* value = cfgGetValue(handle, args[1].c_str(), args[2].c_str(), nullptr);
        if (value == nullptr) {
            return failed(file + ": no key \"" + args[2] + "\" in section \"" + args[1] + "\"");
        }
        printLine("", value, "\n");
        return kDone;
    }
    if (command == "set" && args.size() == 4) {
        cfgSetValue(handle, args[1].c_str(), args[2].c_str(), args[3].c_str(), 0);
        return kDone;
    }
    if (command == "erase" && args.size() == 2) {
        cfgEraseSection(handle, args[1].c_str());
        return kDone;
    }
    if (command == "erase" && args.size() == 3) {
        cfgEraseKey(handle, args[1].c_str(), args[2].c_str());
        return kDone;
    }
    if (command == "list" && args.size() == 1) {
        list(handle);
        return kDone;
    }
    if (command == "get" || command == "set" || command == "erase" || command == "list") {
        return usageError("wrong number of arguments for " + command);
    }
    return usageError("unknown command \"" + command + "\"");
}

} // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) {
        std::fwrite(kUsage.data(), 1, kUsage.size(), stdout);
        return kDone;
    }
    if (args.size() < 2) {
        return usageError("a file and a command are needed");
    }
    const std::string& file = args[0];
    const std::vector<std::string> command(args.begin() + 1, args.end());
    const CfgHandle handle = cfgOpenFile(file.c_str(), "");
    if (handle == 0) {
        return failed("cannot read " + file);
    }
    const int result = run(handle, file, command);
    std::string failure;
    if (!cfgClose(handle, &failure)) {
        return failed("cannot save " + file + ": " + failure);
    }
    return result;
}
