#include "savefilechoice_win32.h"

#include "widetext.h"

#include <commdlg.h>

#include <vector>

namespace {

SaveFileChooser &Chooser()
{
    static SaveFileChooser chooser;
    return chooser;
}

// The dialog's filter: the entry's name, then its pattern, each ended by a null, and one null
// more at the end.
std::wstring FilterList(const std::string &entry)
{
    const std::size_t open = entry.rfind('(');
    const std::size_t close = entry.rfind(')');
    const std::string pattern = open != std::string::npos && close > open
        ? entry.substr(open + 1, close - open - 1)
        : "*.*";
    return WideFromUtf8(entry) + L'\0' + WideFromUtf8(pattern) + L'\0';
}

std::string AskSystem(HWND owner, const SaveFileRequest &request)
{
    const std::wstring suggested = WideFromUtf8(request.suggested);
    std::vector<wchar_t> file(suggested.begin(), suggested.end());
    file.resize(std::max<std::size_t>(file.size() + 1, 32768), L'\0');
    const std::wstring filter = FilterList(request.filter);
    const std::wstring caption = WideFromUtf8(request.caption);
    const std::size_t dot = filter.rfind(L'.');
    const std::wstring extension = dot == std::wstring::npos
        ? std::wstring()
        : filter.substr(dot + 1, filter.size() - dot - 2);

    OPENFILENAMEW dialog {};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = owner;
    dialog.lpstrFilter = filter.c_str();
    dialog.lpstrFile = file.data();
    dialog.nMaxFile = static_cast<DWORD>(file.size());
    dialog.lpstrTitle = caption.c_str();
    dialog.lpstrDefExt = extension.empty() ? nullptr : extension.c_str();
    dialog.Flags = OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR | OFN_EXPLORER;
    if (!GetSaveFileNameW(&dialog))
        return {};
    return Utf8FromWide(file.data());
}

} // namespace

std::string ChooseSaveFile(HWND owner, const SaveFileRequest &request)
{
    return Chooser() ? Chooser()(owner, request) : AskSystem(owner, request);
}

void SetSaveFileChooser(SaveFileChooser chooser)
{
    Chooser() = std::move(chooser);
}
