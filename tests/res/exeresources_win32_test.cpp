// The resources of the built orvanta.exe, read back the way Windows reads them: the icon that the
// window and Explorer show, the version that the file's properties show, and the manifest that the
// loader reads before the program starts.

#include "templates.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <string>
#include <tuple>
#include <vector>

namespace {

// The W form of a resource type that the headers give as a narrow string.
const wchar_t *WideType(LPCSTR type)
{
    return MAKEINTRESOURCEW(reinterpret_cast<ULONG_PTR>(type));
}

// The program beside the test program in the build tree.
std::wstring ProgramPath()
{
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    return (std::filesystem::path(self).parent_path() / ORVANTA_RELATIVE_PATH)
        .make_preferred()
        .wstring();
}

// Rows of the two pictures (res/mainicon32.xpm, res/mainicon16.xpm) by their colours' letters, a
// blank where the ground shows through: a picture upside down, mirrored or with red and blue
// swapped fails on them.
struct IconRows
{
    int size;
    std::vector<std::pair<int, std::string>> rows;
};
const IconRows ICON_ROWS[] = {
    {32,
     {{0, "                                "},
      {8, " ksgkwwwkrrrwkwswwkwswwkwwwkggk "},
      {19, " ksgkbbwwwswwwwswwwwrrrwwwwkggk "},
      {28, "       kkkkkkkkkkkkkkkkkk       "}}},
    {16, {{1, "kkkkkkkkkkkkkkkk"}, {4, "kgkwwrrwwwswbkgk"}, {13, "     kggggk     "}}},
};

// The icon drawn on a green ground, which it does not hold, as its colours' letters: the top row
// first.
std::vector<std::string> DrawnOnGround(HICON icon, int size)
{
    BITMAPINFO info = {};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), size, -size, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void *bits = nullptr;
    const HDC dc = CreateCompatibleDC(nullptr);
    const HBITMAP picture = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    const HGDIOBJ before = SelectObject(dc, picture);
    std::fill_n(static_cast<DWORD *>(bits), size * size, 0x00FF00);
    DrawIconEx(dc, 0, 0, icon, size, size, 0, nullptr, DI_NORMAL);
    GdiFlush();
    const std::map<DWORD, char> letters = {
        {0x00FF00, ' '}, {0x000000, 'k'}, {0x808080, 'g'}, {0xC0C0C0, 's'},
        {0xFFFFFF, 'w'}, {0xFF0000, 'r'}, {0x0000FF, 'b'},
    };
    std::vector<std::string> rows(size);
    for (int i = 0; i < size * size; ++i) {
        const auto letter = letters.find(static_cast<const DWORD *>(bits)[i] & 0xFFFFFF);
        rows[i / size] += letter == letters.end() ? '?' : letter->second;
    }
    SelectObject(dc, before);
    DeleteObject(picture);
    DeleteDC(dc);
    return rows;
}

TEST(ProgramIcon, HasBothPicturesAtTheirOwnSize)
{
    const HMODULE program = LoadLibraryExW(
        ProgramPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_NE(program, nullptr) << GetLastError();
    // A resource's bytes, empty when the program has none of that name.
    const auto resource = [program](const wchar_t *name, LPCSTR type) -> std::vector<BYTE> {
        const HRSRC found = FindResourceW(program, name, WideType(type));
        const auto *bytes = static_cast<const BYTE *>(LockResource(LoadResource(program, found)));
        return {bytes, bytes + (found ? SizeofResource(program, found) : 0)};
    };
    std::vector<BYTE> directory = resource(MAKEINTRESOURCEW(MAIN_ICON), RT_GROUP_ICON);
    ASSERT_FALSE(directory.empty()) << "no icon " << MAIN_ICON;
    for (const auto &[size, rows] : ICON_ROWS) {
        const int id
            = LookupIconIdFromDirectoryEx(directory.data(), TRUE, size, size, LR_DEFAULTCOLOR);
        std::vector<BYTE> bits = resource(MAKEINTRESOURCEW(id), RT_ICON);
        ASSERT_FALSE(bits.empty()) << size;
        // Asked for no size, the icon keeps that of its picture.
        const HICON icon = CreateIconFromResourceEx(bits.data(), static_cast<DWORD>(bits.size()),
                                                    TRUE, 0x00030000, 0, 0, LR_DEFAULTCOLOR);
        ICONINFOEXW info = {};
        info.cbSize = sizeof info;
        BITMAP colours = {};
        ASSERT_TRUE(GetIconInfoExW(icon, &info)) << size;
        GetObjectW(info.hbmColor, sizeof colours, &colours);
        DeleteObject(info.hbmColor);
        DeleteObject(info.hbmMask);
        EXPECT_EQ(colours.bmWidth, size);
        EXPECT_EQ(colours.bmHeight, size);

        const std::vector<std::string> drawn = DrawnOnGround(icon, size);
        DestroyIcon(icon);
        for (const auto &[y, row] : rows)
            EXPECT_EQ(drawn[y], row) << size << " pixels, row " << y;
    }
    FreeLibrary(program);
}

TEST(ProgramVersion, ExplorerShowsTheVersionOfTheBuild)
{
    const std::wstring path = ProgramPath();
    std::vector<BYTE> block(GetFileVersionInfoSizeW(path.c_str(), nullptr));
    ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, block.size(), block.data()));

    VS_FIXEDFILEINFO *fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\", reinterpret_cast<void **>(&fixed), &length));
    constexpr WORD numbers[] = {ORVANTA_VERSION_NUMBERS};
    EXPECT_EQ(fixed->dwFileVersionMS, MAKELONG(numbers[1], numbers[0]));
    EXPECT_EQ(fixed->dwFileVersionLS, MAKELONG(numbers[3], numbers[2]));
    EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));

    // Explorer reads the texts in the language and code page that the translation names.
    WORD *translation = nullptr;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation",
                               reinterpret_cast<void **>(&translation), &length));
    EXPECT_EQ(translation[0], 0x0411) << "Japanese";
    wchar_t prefix[64];
    swprintf(prefix, 64, L"\\StringFileInfo\\%04x%04x\\", translation[0], translation[1]);
    const std::wstring version(ORVANTA_VERSION, ORVANTA_VERSION + sizeof ORVANTA_VERSION - 1);
    const std::pair<const wchar_t *, std::wstring> texts[] = {
        {L"FileDescription", L"Orvanta"},      {L"ProductName", L"Orvanta"},
        {L"OriginalFilename", L"orvanta.exe"}, {L"FileVersion", version},
        {L"ProductVersion", version},
    };
    for (const auto &[name, expected] : texts) {
        wchar_t *value = nullptr;
        VerQueryValueW(block.data(), (prefix + std::wstring(name)).c_str(),
                       reinterpret_cast<void **>(&value), &length);
        EXPECT_EQ(std::wstring(value ? value : L""), expected) << name;
    }
}

// The activation context that the loader makes of the program's manifest is made at all only
// when the manifest is sound, which Windows checks before the program runs.
TEST(ProgramManifest, AsksForEachMonitorsDpiTheSystemsCodePageUsersRightsAndCommonControls6)
{
    const std::wstring path = ProgramPath();
    ACTCTXW request = {};
    request.cbSize = sizeof request;
    request.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID;
    request.lpSource = path.c_str();
    request.lpResourceName = WideType(CREATEPROCESS_MANIFEST_RESOURCE_ID);
    const HANDLE context = CreateActCtxW(&request);
    ASSERT_NE(context, INVALID_HANDLE_VALUE) << GetLastError();

    // Values of windowsSettings in the namespace of the Windows that brought them; none is empty.
    const std::tuple<int, const wchar_t *, const wchar_t *> settings[] = {
        {2016, L"dpiAwareness", L"PerMonitorV2, PerMonitor"},
        {2005, L"dpiAware", L"true/pm"},
        {2019, L"activeCodePage", L""},
    };
    for (const auto &[year, name, expected] : settings) {
        const std::wstring space
            = L"http://schemas.microsoft.com/SMI/" + std::to_wstring(year) + L"/WindowsSettings";
        wchar_t value[128] = {};
        SIZE_T written = 0;
        QueryActCtxSettingsW(0, context, space.c_str(), name, value, 128, &written);
        EXPECT_STREQ(value, expected) << name;
    }

    ACTIVATION_CONTEXT_RUN_LEVEL_INFORMATION runLevel = {};
    EXPECT_TRUE(QueryActCtxW(0, context, nullptr, RunlevelInformationInActivationContext, &runLevel,
                             sizeof runLevel, nullptr));
    EXPECT_EQ(runLevel.RunLevel, ACTCTX_RUN_LEVEL_AS_INVOKER);
    EXPECT_FALSE(runLevel.UiAccess);

    // The system loads the common controls of the assembly that the manifest names, from that
    // assembly's folder. Wine's copy there still reports version 5.81 by DllGetVersion, so the
    // folder is what is checked.
    ULONG_PTR cookie = 0;
    EXPECT_TRUE(ActivateActCtx(context, &cookie));
    const HMODULE controls = LoadLibraryW(L"comctl32.dll");
    DeactivateActCtx(0, cookie);
    ReleaseActCtx(context);
    wchar_t controlsPath[MAX_PATH] = {};
    GetModuleFileNameW(controls, controlsPath, MAX_PATH);
    FreeLibrary(controls);
    std::wstring folder = std::filesystem::path(controlsPath).parent_path().filename().wstring();
    CharLowerW(folder.data());
    EXPECT_NE(folder.find(L"_microsoft.windows.common-controls_6595b64144ccf1df_6."),
              std::wstring::npos)
        << std::filesystem::path(controlsPath).string();
}

} // namespace
