#pragma once

#include <optional>
#include <string>
#include <vector>

#include <sys/types.h>

// Why a port would not open, told in one paragraph for the message box below its fixed text:
// no permission (and what to do about the device's group), another program holding the port
// (by name and process id where /proc or a lock file shows it), this program's own previous
// connection still closing, no device, or else the system's own words.

struct OpenFailure
{
    // errno of the refused open(), flock() or exclusive claim; ENOENT when no path names a port;
    // EBUSY when the port was refused before its open for one of the two causes below.
    int error = 0;
    // The path that was opened, as given (a link is followed here); empty when there was none.
    std::string path;
    // The process found holding the device, by a descriptor or a lock file.
    std::optional<pid_t> holder {};
    // This program's own earlier connection to the device has not finished closing.
    bool stillClosing = false;
};

// Where the cause is looked up on this machine. Group lists left empty are looked up: the
// process's own groups (fixed at login) and the groups the user database gives the user now.
struct HostView
{
    std::string procRoot = "/proc";
    std::optional<std::vector<gid_t>> loginGroups;
    std::optional<std::vector<gid_t>> databaseGroups;
};

// The cause as the user reads it (UTF-8). Asked once the refused descriptor is closed, so that
// whatever still holds the device is another opener; a holder the refusal found is named as it
// is.
std::string DescribeOpenFailure(const OpenFailure &failure, const HostView &host = {});
