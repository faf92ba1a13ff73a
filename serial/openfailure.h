#pragma once

#include "portsystem.h"

#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>

// Why a port would not open, told in one paragraph for the message box below its fixed text:
// no permission (and what to do about the device's group), another program holding the port
// (by name and process id where /proc or a lock file shows it), this program's own previous
// connection still closing, no device, or else the system's own words.

struct OpenFailure
{
    // Why the system refused: errno of the refused open(), flock() or exclusive claim on Linux,
    // GetLastError() of the refused CreateFileW() on Windows. ENOENT or ERROR_FILE_NOT_FOUND
    // when no path names a port; EBUSY or ERROR_ACCESS_DENIED when the port was refused before
    // its open for one of the two causes below.
    int error = 0;
    // The path that was opened, as given (a link is followed here; "\\\\.\\COMn" on Windows);
    // empty when there was none.
    std::string path;
    // The process found holding the device, by a descriptor or a lock file (Linux only).
    std::optional<pid_t> holder {};
    // This program's own earlier connection to the device has not finished closing.
    bool stillClosing = false;
};

// The cause as the user reads it (UTF-8). Asked once the refused descriptor is closed, so that
// whatever still holds the device is another opener; a holder the refusal found is named as it
// is.
std::string DescribeOpenFailure(const OpenFailure &failure, const HostView &host = {});

// The text with values in place of %1, %2 ...; one pass, so a value that itself holds "%2" stays
// as it is.
std::string FillIn(std::string_view format, std::initializer_list<std::string_view> values);
