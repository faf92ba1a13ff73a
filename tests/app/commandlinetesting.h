#pragma once

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

// What the tests of the built program's command line share on both systems.

struct ProgramRun
{
    int status;
    std::string output;
};

// Runs the built program in the working directory with `arguments` (UTF-8, as a shell takes them)
// and stderr joined to stdout; each system runs it its own way.
ProgramRun RunOrvanta(const std::string &arguments);

inline std::vector<std::string> Lines(const std::string &text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

// Whether the presence column of the port list starts at the same place on every line.
inline bool PresenceColumnsAligned(const std::vector<std::string> &lines)
{
    std::vector<std::size_t> columns;
    for (const std::string &line : lines)
        columns.push_back(std::min(line.find("  あり  "), line.find("  なし  ")));
    return !columns.empty() && columns[0] != std::string::npos
        && std::count(columns.begin(), columns.end(), columns[0])
        == static_cast<std::ptrdiff_t>(columns.size());
}

struct CommandLineCase
{
    std::string arguments;
    int status;
    // All of the output when the status is 0, else its start.
    std::string output;
};

// What only this system shows, beside the rows that both show.
extern const std::vector<CommandLineCase> SYSTEM_COMMAND_LINE_CASES;
