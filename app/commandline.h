#pragma once

#include <optional>

// The options Orvanta reads before any window exists, so that they work without a display:
// --list-ports, --help, --version and --csv each print and end the program. Arguments with a
// single dash are Qt's own (-platform, -style, …) and are left to it.

// The exit status when an option ends the program here; nothing when the window is to start.
std::optional<int> RunCommandLine(int argc, char **argv);
