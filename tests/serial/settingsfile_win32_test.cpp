// rs232c.ini where the system is Windows: a file that another program holds open is not
// replaced under it.
#include "settingsfiletesting.h"

#include <windows.h>

namespace {

// Open without sharing, as an editor or a second Orvanta may hold it.
std::function<void()> HoldFileOpen()
{
    const HANDLE file = CreateFileW(L"rs232c.ini", GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    return [file] { CloseHandle(file); };
}

} // namespace

const std::vector<UnwritableCase> SYSTEM_UNWRITABLE_CASES = {
    {"held open by another program", HoldFileOpen},
};
