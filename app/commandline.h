#pragma once

#include <optional>
#include <string>
#include <vector>

// The options Orvanta reads before any window exists, so that they work without a display:
// --list-ports, --help, --version and --csv each print and end the program. Arguments with a
// single dash are Qt's own (-platform, -style, …) and are left to it.

// --view FILE asks for the log viewer alone, on that file, instead of the main window; --demo
// asks for the main window with a demo device in place of the port.
struct WindowChoice
{
    std::string viewPath;
    bool demo = false;
};

// The exit status of a command line that is not understood.
inline constexpr int USAGE_ERROR = 2;

// `arguments` are the program's name and its arguments, in UTF-8 on either system. The exit status
// when an option ends the program here; nothing when a window is to start, as `choice` says.
std::optional<int> RunCommandLine(const std::vector<std::string> &arguments, WindowChoice &choice);
