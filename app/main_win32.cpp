#include "commandline.h"
#include "logviewer_win32.h"
#include "monitordlg_win32.h"
#include "texts.h"
#include "widetext.h"

#include <windows.h>

#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>
#include <cstdio>
#include <fcntl.h>
#include <io.h>
#include <string>
#include <vector>

namespace {

// The arguments as the user typed them, in UTF-8 like on Linux, so that a file name in any
// script reaches the file calls whole.
std::vector<std::string> Utf8Arguments()
{
    int count = 0;
    wchar_t **arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::string> utf8;
    for (int i = 0; arguments && i < count; ++i)
        utf8.push_back(Utf8FromWide(arguments[i]));
    LocalFree(arguments);
    return utf8;
}

// A file or a pipe that a parent handed over is kept; a console's handle is not, so that the
// console's code page can be set for it.
bool Redirected(DWORD stream)
{
    const HANDLE handle = GetStdHandle(stream);
    DWORD mode = 0;
    return handle != nullptr && handle != INVALID_HANDLE_VALUE
        && GetFileType(handle) != FILE_TYPE_UNKNOWN && !GetConsoleMode(handle, &mode);
}

// The stream is buffered whole, so that a letter's bytes reach the console in one write: a console
// takes a part of a UTF-8 sequence for a wrong letter.
void ToConsole(FILE *stream)
{
    std::freopen("CONOUT$", "w", stream);
    std::setvbuf(stream, nullptr, _IOFBF, 1 << 16);
}

// Whether the program has a console now: its parent's, or one it was given already.
bool AttachedToConsole()
{
    return AttachConsole(ATTACH_PARENT_PROCESS) || GetLastError() == ERROR_ACCESS_DENIED;
}

// A window program gets no console from Windows; the command line's output goes to the console
// of whoever started it, where there is one. The console's code page is the user's own, and is
// given back as it was.
class CParentConsole
{
public:
    CParentConsole()
    {
        const bool outputKept = Redirected(STD_OUTPUT_HANDLE);
        const bool errorKept = Redirected(STD_ERROR_HANDLE);
        if ((!outputKept || !errorKept) && AttachedToConsole()) {
            if (!outputKept)
                ToConsole(stdout);
            if (!errorKept)
                ToConsole(stderr);
            m_codePage = GetConsoleOutputCP();
            SetConsoleOutputCP(CP_UTF8);
        }
        // Bytes go out as they are: the CSV has its own line ends, which text mode would double.
        _setmode(_fileno(stdout), _O_BINARY);
        _setmode(_fileno(stderr), _O_BINARY);
    }
    ~CParentConsole()
    {
        std::fflush(stdout);
        std::fflush(stderr);
        if (m_codePage != 0)
            SetConsoleOutputCP(m_codePage);
    }
    CParentConsole(const CParentConsole &) = delete;
    CParentConsole &operator=(const CParentConsole &) = delete;

private:
    UINT m_codePage = 0;
};

// The viewer alone, until the user closes it; 1 when the file cannot be read, which the viewer
// has said.
int ViewLog(const std::string &path)
{
    const HWND viewer = OpenLogViewer(nullptr, path);
    if (!viewer)
        return 1;
    MSG msg;
    while (IsWindow(viewer) && GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return 0;
}

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    const CParentConsole console;
    WindowChoice choice;
    if (const std::optional<int> status = RunCommandLine(Utf8Arguments(), choice))
        return *status;
    const INITCOMMONCONTROLSEX controls {sizeof(INITCOMMONCONTROLSEX),
                                         ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);
    if (!choice.viewPath.empty())
        return ViewLog(choice.viewPath);
    CMonitorDlg dialog;
    if (choice.demo)
        dialog.Monitor().UseDemoDevice();
    dialog.DoModal();
    return 0;
}
