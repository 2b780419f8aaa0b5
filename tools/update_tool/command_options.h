#pragma once

#include <initializer_list>
#include <map>
#include <span>
#include <string>
#include <vector>

namespace update_tool {

// Arguments of a subcommand: positional ones, and "--name VALUE" options from a
// fixed set. Unknown options and options without a value make it invalid.
class CommandOptions {
public:
    CommandOptions(std::span<char*> args, std::initializer_list<const char*> names,
                   std::initializer_list<const char*> flags = {});

    bool valid() const { return m_error.empty(); }
    const std::string& error() const { return m_error; }
    const std::vector<std::string>& positional() const { return m_positional; }

    bool has(const std::string& name) const { return m_values.count(name) != 0; }
    std::string value(const std::string& name, const std::string& fallback) const;
    // Reads a whole decimal number; false (with error()) when the text is not one.
    bool integer(const std::string& name, int& value);

private:
    std::vector<std::string> m_positional;
    std::map<std::string, std::string> m_values;
    std::string m_error;
};

} // namespace update_tool
