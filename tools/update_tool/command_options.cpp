#include "command_options.h"

#include <algorithm>
#include <charconv>

namespace update_tool {

CommandOptions::CommandOptions(std::span<char*> args, std::initializer_list<const char*> names,
                               std::initializer_list<const char*> flags) {
    const auto listed = [](std::initializer_list<const char*> list, const std::string& name) {
        return std::any_of(list.begin(), list.end(), [&](const char* n) { return name == n; });
    };
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string arg = args[i];
        if (arg.size() < 3 || arg.compare(0, 2, "--") != 0) {
            m_positional.push_back(arg);
        } else if (listed(flags, arg)) {
            m_values[arg] = "";
        } else if (!listed(names, arg)) {
            m_error = "unknown option " + arg;
        } else if (i + 1 >= args.size()) {
            m_error = "option " + arg + " needs a value";
        } else {
            m_values[arg] = args[++i];
        }
    }
}

std::string CommandOptions::value(const std::string& name, const std::string& fallback) const {
    const auto it = m_values.find(name);
    return it == m_values.end() ? fallback : it->second;
}

bool CommandOptions::integer(const std::string& name, int& value) {
    const auto it = m_values.find(name);
    if (it == m_values.end()) {
        return true;
    }
    const std::string& text = it->second;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) {
        m_error = "option " + name + " takes a whole number, not '" + text + "'";
        return false;
    }
    return true;
}

} // namespace update_tool
