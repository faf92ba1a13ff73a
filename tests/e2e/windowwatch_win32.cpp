// Watches orvanta.exe's windows from beside it, in the same Wine prefix, for a test that drives
// the program from outside: windowwatch ID...
//
// Prints a line in UTF-8 whenever something that the test checks changes:
//   dialog TEXT      the port settings dialog is up, its port list showing TEXT
//   dialog-gone      the port settings dialog has closed
//   main             the main window is up, with its full title
//   plot L T R B     the inside of the main window's graph, in screen coordinates
//   ID TEXT          the text of the main window's control ID
//   main-gone        the main window has closed after it was seen; the watch ends
#include "widetext.h"

#include <windows.h>

#include <cwchar>
#include <map>
#include <string>
#include <vector>

namespace {

constexpr int PORT_LIST = 1000;
constexpr int PLOT = 1003;
constexpr DWORD LOOK_INTERVAL_MS = 20;

struct Found
{
    HWND main = nullptr;
    HWND dialog = nullptr;
};

constexpr UINT ANSWER_WITHIN_MS = 5000;

std::wstring TitleOf(HWND window)
{
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(GetWindowTextW(window, text.data(), text.size())));
    return text;
}

// A control of another process keeps its own text, which only it can tell.
std::string TextOf(HWND control)
{
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(control, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, ANSWER_WITHIN_MS,
                             &length))
        return "(no answer)";
    std::wstring text(length + 1, L'\0');
    DWORD_PTR copied = 0;
    SendMessageTimeoutW(control, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                        SMTO_ABORTIFHUNG, ANSWER_WITHIN_MS, &copied);
    text.resize(copied);
    return Utf8FromWide(text);
}

BOOL CALLBACK Look(HWND window, LPARAM found)
{
    const std::wstring title = TitleOf(window);
    auto &windows = *reinterpret_cast<Found *>(found);
    if (title.starts_with(L"Orvanta (VER"))
        windows.main = window;
    else if (title == L"ポートの設定")
        windows.dialog = window;
    return TRUE;
}

std::string PlotInside(HWND main)
{
    RECT inside {};
    const HWND plot = GetDlgItem(main, PLOT);
    GetClientRect(plot, &inside);
    MapWindowPoints(plot, nullptr, reinterpret_cast<POINT *>(&inside), 2);
    return std::to_string(inside.left) + ' ' + std::to_string(inside.top) + ' '
        + std::to_string(inside.right) + ' ' + std::to_string(inside.bottom);
}

class CReport
{
public:
    // Prints `key` with its value when the value is new.
    void Set(const std::string &key, const std::string &value)
    {
        const auto known = m_values.find(key);
        if (known != m_values.end() && known->second == value)
            return;
        m_values[key] = value;
        Print(value.empty() ? key : key + ' ' + value);
    }

    void Forget(const std::string &key)
    {
        if (m_values.erase(key))
            Print(key + "-gone");
    }

private:
    static void Print(std::string line)
    {
        line += '\n';
        DWORD written = 0;
        WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), line.data(), static_cast<DWORD>(line.size()),
                  &written, nullptr);
    }

    std::map<std::string, std::string> m_values;
};

} // namespace

int wmain(int argc, wchar_t **argv)
{
    std::vector<int> controls;
    for (int i = 1; i < argc; ++i)
        controls.push_back(_wtoi(argv[i]));
    CReport report;
    bool mainSeen = false;
    for (;; Sleep(LOOK_INTERVAL_MS)) {
        Found found;
        EnumWindows(Look, reinterpret_cast<LPARAM>(&found));
        if (found.dialog)
            report.Set("dialog", TextOf(GetDlgItem(found.dialog, PORT_LIST)));
        else
            report.Forget("dialog");
        if (!found.main) {
            if (mainSeen)
                break;
            continue;
        }
        mainSeen = true;
        report.Set("main", "");
        report.Set("plot", PlotInside(found.main));
        for (const int id : controls)
            report.Set(std::to_string(id), TextOf(GetDlgItem(found.main, id)));
    }
    report.Forget("main");
    return 0;
}
