#include "filechoice_win32.h"

#include "widetext.h"

#include <commdlg.h>

#include <algorithm>
#include <string_view>
#include <vector>

namespace {

// Far beyond MAX_PATH, for the long paths that Windows 10 and later allow.
constexpr std::size_t PATH_SPACE = 32768;

FileChooser &Chooser()
{
    static FileChooser chooser;
    return chooser;
}

// The patterns in an entry's last brackets, "*.txt *.log" becoming "*.txt;*.log".
std::string PatternsOf(std::string_view entry)
{
    const std::size_t open = entry.rfind('(');
    const std::size_t close = entry.rfind(')');
    if (open == std::string_view::npos || close == std::string_view::npos || close < open + 2)
        return "*.*";
    std::string patterns(entry.substr(open + 1, close - open - 1));
    std::replace(patterns.begin(), patterns.end(), ' ', ';');
    return patterns;
}

// The extension a save adds to a name typed without one: that of the first entry's first pattern.
std::wstring DefaultExtension(const std::string &filter)
{
    const std::string patterns = PatternsOf(filter.substr(0, filter.find(";;")));
    const std::string first = patterns.substr(0, patterns.find(';'));
    if (first.rfind("*.", 0) != 0 || first.find('*', 2) != std::string::npos)
        return {};
    return WideFromUtf8(first.substr(2));
}

std::wstring FullPath(const std::wstring &path)
{
    std::vector<wchar_t> full(PATH_SPACE, L'\0');
    const DWORD length
        = GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    return length > 0 && length < full.size() ? std::wstring(full.data(), length) : path;
}

std::string AskSystem(HWND owner, const FileRequest &request)
{
    const bool save = request.choice == FileChoice::Save;
    const std::wstring start = FullPath(WideFromUtf8(request.start));
    // A save proposes the suggested file; an open starts in the folder with no name typed.
    std::vector<wchar_t> file(PATH_SPACE, L'\0');
    if (save)
        std::copy_n(start.begin(), std::min(start.size(), file.size() - 1), file.begin());
    const std::wstring filter = SystemFilter(request.filter);
    const std::wstring caption = WideFromUtf8(request.caption);
    const std::wstring extension = DefaultExtension(request.filter);

    OPENFILENAMEW dialog {};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = owner;
    dialog.lpstrFilter = filter.c_str();
    dialog.lpstrFile = file.data();
    dialog.nMaxFile = static_cast<DWORD>(file.size());
    dialog.lpstrInitialDir = save ? nullptr : start.c_str();
    dialog.lpstrTitle = caption.c_str();
    dialog.lpstrDefExt = save && !extension.empty() ? extension.c_str() : nullptr;
    dialog.Flags = OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR | OFN_EXPLORER
        | (save ? OFN_OVERWRITEPROMPT : OFN_FILEMUSTEXIST);
    const BOOL chosen = save ? GetSaveFileNameW(&dialog) : GetOpenFileNameW(&dialog);
    return chosen ? Utf8FromWide(file.data()) : std::string();
}

} // namespace

std::wstring SystemFilter(const std::string &filter)
{
    std::wstring list;
    std::size_t begin = 0;
    while (begin <= filter.size()) {
        const std::size_t end = std::min(filter.find(";;", begin), filter.size());
        const std::string entry = filter.substr(begin, end - begin);
        if (!entry.empty())
            list += WideFromUtf8(entry) + L'\0' + WideFromUtf8(PatternsOf(entry)) + L'\0';
        begin = end + 2;
    }
    return list + L'\0';
}

std::string ChooseFile(HWND owner, const FileRequest &request)
{
    return Chooser() ? Chooser()(owner, request) : AskSystem(owner, request);
}

void SetFileChooser(FileChooser chooser)
{
    Chooser() = std::move(chooser);
}
