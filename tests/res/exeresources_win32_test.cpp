// The resources of the built orvanta.exe, read back the way Windows reads them: the icon that the
// window and Explorer show, the version that the file's properties show, and the manifest that the
// loader reads before the program starts.

#include "templates.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <filesystem>
#include <string>
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

class ProgramResources : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_module = LoadLibraryExW(ProgramPath().c_str(), nullptr,
                                  LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
        ASSERT_NE(m_module, nullptr) << GetLastError();
    }
    void TearDown() override { FreeLibrary(m_module); }

    // A resource's bytes, empty when the program has none of that name.
    std::vector<BYTE> Resource(const wchar_t *name, const wchar_t *type) const
    {
        const HRSRC found = FindResourceW(m_module, name, type);
        if (!found)
            return {};
        const auto *bytes = static_cast<const BYTE *>(LockResource(LoadResource(m_module, found)));
        return {bytes, bytes + SizeofResource(m_module, found)};
    }

    HMODULE m_module = nullptr;
};

// A picture's pixel: the icon's colour, or the ground where the icon is transparent.
struct Pixel
{
    int x;
    int y;
    COLORREF colour;
};

constexpr COLORREF GROUND = RGB(0, 255, 0);
constexpr COLORREF BLACK = RGB(0, 0, 0);
constexpr COLORREF GREY = RGB(0x80, 0x80, 0x80);
constexpr COLORREF SILVER = RGB(0xC0, 0xC0, 0xC0);
constexpr COLORREF WHITE = RGB(255, 255, 255);
constexpr COLORREF RED = RGB(255, 0, 0);
constexpr COLORREF BLUE = RGB(0, 0, 255);

struct IconImage
{
    int size;
    std::vector<Pixel> pixels;
};

// Pixels of the two pictures (res/mainicon32.xpm, res/mainicon16.xpm), with the top row 0: a
// picture upside down, mirrored or with red and blue swapped fails on them.
const IconImage ICON_IMAGES[] = {
    {32,
     {{0, 0, GROUND},
      {1, 2, BLACK},
      {30, 2, BLACK},
      {31, 2, GROUND},
      {2, 3, SILVER},
      {3, 4, GREY},
      {5, 6, WHITE},
      {9, 8, RED},
      {23, 10, BLUE},
      {5, 19, BLUE},
      {7, 28, BLACK},
      {0, 31, GROUND}}},
    {16,
     {{0, 0, GROUND},
      {0, 1, BLACK},
      {1, 2, GREY},
      {3, 4, WHITE},
      {5, 4, RED},
      {12, 4, BLUE},
      {6, 5, SILVER},
      {4, 13, GROUND},
      {5, 13, BLACK},
      {15, 15, GROUND}}},
};

// The icon drawn on a ground of a colour it does not hold, and read back pixel by pixel.
std::vector<COLORREF> DrawnOnGround(HICON icon, int size)
{
    BITMAPINFO info = {};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), size, -size, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void *bits = nullptr;
    const HDC dc = CreateCompatibleDC(nullptr);
    const HBITMAP picture = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    const HGDIOBJ before = SelectObject(dc, picture);
    const HBRUSH ground = CreateSolidBrush(GROUND);
    const RECT all {0, 0, size, size};
    FillRect(dc, &all, ground);
    DrawIconEx(dc, 0, 0, icon, size, size, 0, nullptr, DI_NORMAL);
    GdiFlush();
    // A DIB's pixel is 0x00RRGGBB, a COLORREF 0x00BBGGRR.
    std::vector<COLORREF> colours;
    const auto *pixels = static_cast<const DWORD *>(bits);
    for (const DWORD pixel : std::vector<DWORD>(pixels, pixels + size * size))
        colours.push_back(RGB((pixel >> 16) & 0xFF, (pixel >> 8) & 0xFF, pixel & 0xFF));
    SelectObject(dc, before);
    DeleteObject(ground);
    DeleteObject(picture);
    DeleteDC(dc);
    return colours;
}

TEST_F(ProgramResources, TheIconHasBothPicturesAtTheirOwnSize)
{
    std::vector<BYTE> directory = Resource(MAKEINTRESOURCEW(MAIN_ICON), WideType(RT_GROUP_ICON));
    ASSERT_FALSE(directory.empty()) << "no icon " << MAIN_ICON;
    for (const IconImage &image : ICON_IMAGES) {
        SCOPED_TRACE(image.size);
        const int id = LookupIconIdFromDirectoryEx(directory.data(), TRUE, image.size, image.size,
                                                   LR_DEFAULTCOLOR);
        std::vector<BYTE> bits = Resource(MAKEINTRESOURCEW(id), WideType(RT_ICON));
        ASSERT_FALSE(bits.empty());
        // Asked for no size, the icon keeps that of its picture.
        const HICON icon = CreateIconFromResourceEx(bits.data(), static_cast<DWORD>(bits.size()),
                                                    TRUE, 0x00030000, 0, 0, LR_DEFAULTCOLOR);
        ASSERT_NE(icon, nullptr);
        ICONINFO info = {};
        BITMAP colours = {};
        ASSERT_TRUE(GetIconInfo(icon, &info));
        GetObjectW(info.hbmColor, sizeof colours, &colours);
        EXPECT_EQ(colours.bmWidth, image.size);
        EXPECT_EQ(colours.bmHeight, image.size);
        DeleteObject(info.hbmColor);
        DeleteObject(info.hbmMask);

        const std::vector<COLORREF> drawn = DrawnOnGround(icon, image.size);
        DestroyIcon(icon);
        for (const Pixel &pixel : image.pixels)
            EXPECT_EQ(drawn[pixel.y * image.size + pixel.x], pixel.colour)
                << "at " << pixel.x << ", " << pixel.y;
    }
}

// The version's numbers as the fixed part of the resource holds them, four of them, the missing
// ones 0.
std::vector<WORD> VersionNumbers(const std::string &text)
{
    std::vector<WORD> numbers;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t dot = std::min(text.find('.', at), text.size());
        numbers.push_back(static_cast<WORD>(std::stoi(text.substr(at, dot - at))));
        at = dot + 1;
    }
    numbers.resize(4, 0);
    return numbers;
}

TEST(ProgramVersion, ExplorerShowsTheVersionOfTheBuild)
{
    const std::wstring path = ProgramPath();
    const DWORD size = GetFileVersionInfoSizeW(path.c_str(), nullptr);
    ASSERT_NE(size, 0u) << GetLastError();
    std::vector<BYTE> block(size);
    ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, size, block.data()));

    VS_FIXEDFILEINFO *fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\", reinterpret_cast<void **>(&fixed), &length));
    EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
    const std::vector<WORD> numbers = VersionNumbers(ORVANTA_VERSION);
    EXPECT_EQ(fixed->dwFileVersionMS, MAKELONG(numbers[1], numbers[0]));
    EXPECT_EQ(fixed->dwFileVersionLS, MAKELONG(numbers[3], numbers[2]));
    EXPECT_EQ(fixed->dwProductVersionMS, fixed->dwFileVersionMS);
    EXPECT_EQ(fixed->dwProductVersionLS, fixed->dwFileVersionLS);
    EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));

    // Explorer reads the texts in the language and code page that the translation names.
    WORD *translation = nullptr;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation",
                               reinterpret_cast<void **>(&translation), &length));
    ASSERT_GE(length, 4u);
    wchar_t prefix[64];
    swprintf(prefix, 64, L"\\StringFileInfo\\%04x%04x\\", translation[0], translation[1]);
    EXPECT_EQ(translation[0], 0x0411) << "Japanese";

    const std::wstring version(ORVANTA_VERSION, ORVANTA_VERSION + sizeof ORVANTA_VERSION - 1);
    const std::pair<const wchar_t *, std::wstring> texts[] = {
        {L"FileDescription", L"Orvanta"},      {L"ProductName", L"Orvanta"},
        {L"OriginalFilename", L"orvanta.exe"}, {L"FileVersion", version},
        {L"ProductVersion", version},
    };
    for (const auto &[name, expected] : texts) {
        wchar_t *value = nullptr;
        EXPECT_TRUE(VerQueryValueW(block.data(), (prefix + std::wstring(name)).c_str(),
                                   reinterpret_cast<void **>(&value), &length))
            << name;
        EXPECT_EQ(std::wstring(value ? value : L""), expected) << name;
    }
}

// The activation context that the loader makes of the program's manifest: made at all only when
// the manifest is sound, which Windows checks before the program runs.
class ProgramManifest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        const std::wstring path = ProgramPath();
        ACTCTXW request = {};
        request.cbSize = sizeof request;
        request.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID;
        request.lpSource = path.c_str();
        request.lpResourceName = WideType(CREATEPROCESS_MANIFEST_RESOURCE_ID);
        m_context = CreateActCtxW(&request);
        ASSERT_NE(m_context, INVALID_HANDLE_VALUE) << GetLastError();
    }
    void TearDown() override
    {
        if (m_context != INVALID_HANDLE_VALUE)
            ReleaseActCtx(m_context);
    }

    // A value of the manifest's windowsSettings in the namespace of the Windows that brought it,
    // empty where there is none.
    std::wstring Setting(const wchar_t *space, const wchar_t *name) const
    {
        wchar_t value[128] = {};
        SIZE_T written = 0;
        if (!QueryActCtxSettingsW(0, m_context, space, name, value, 128, &written))
            return {};
        return value;
    }

    HANDLE m_context = INVALID_HANDLE_VALUE;
};

constexpr const wchar_t *SETTINGS_2005 = L"http://schemas.microsoft.com/SMI/2005/WindowsSettings";
constexpr const wchar_t *SETTINGS_2016 = L"http://schemas.microsoft.com/SMI/2016/WindowsSettings";
constexpr const wchar_t *SETTINGS_2019 = L"http://schemas.microsoft.com/SMI/2019/WindowsSettings";

TEST_F(ProgramManifest, TheProgramDrawsAtEachMonitorsDpiInTheSystemsCodePage)
{
    EXPECT_EQ(Setting(SETTINGS_2016, L"dpiAwareness"), L"PerMonitorV2, PerMonitor");
    EXPECT_EQ(Setting(SETTINGS_2005, L"dpiAware"), L"true/pm");
    EXPECT_EQ(Setting(SETTINGS_2019, L"activeCodePage"), L"");
}

// Windows 10 from 1903 on gives each element the newest version tested besides, which the
// compiler's headers do not have yet.
struct CompatibilityElement
{
    GUID id;
    ACTCTX_COMPATIBILITY_ELEMENT_TYPE type;
    ULONGLONG maxVersionTested;
};
struct CompatibilityInformation
{
    DWORD count;
    CompatibilityElement elements[4];
};

TEST_F(ProgramManifest, TheProgramRunsAsItsUserOnWindows10And11)
{
    ACTIVATION_CONTEXT_RUN_LEVEL_INFORMATION runLevel = {};
    ASSERT_TRUE(QueryActCtxW(0, m_context, nullptr, RunlevelInformationInActivationContext,
                             &runLevel, sizeof runLevel, nullptr));
    EXPECT_EQ(runLevel.RunLevel, ACTCTX_RUN_LEVEL_AS_INVOKER);
    EXPECT_FALSE(runLevel.UiAccess);

    CompatibilityInformation compatibility = {};
    ASSERT_TRUE(QueryActCtxW(0, m_context, nullptr, CompatibilityInformationInActivationContext,
                             &compatibility, sizeof compatibility, nullptr));
    ASSERT_EQ(compatibility.count, 1u);
    const GUID windows10
        = {0x8e0f7a12, 0xbfb3, 0x4fe8, {0xb9, 0xa5, 0x48, 0xfd, 0x50, 0xa1, 0x5a, 0x9a}};
    EXPECT_EQ(compatibility.elements[0].type, ACTCTX_COMPATIBILITY_ELEMENT_TYPE_OS);
    EXPECT_TRUE(IsEqualGUID(compatibility.elements[0].id, windows10));
}

// The system loads the common controls of the assembly that the manifest names, from that
// assembly's folder. Wine's copy there still reports version 5.81 by DllGetVersion, so the folder
// is what is checked.
TEST_F(ProgramManifest, TheProgramGetsTheCommonControlsOfVersion6)
{
    ULONG_PTR cookie = 0;
    ASSERT_TRUE(ActivateActCtx(m_context, &cookie));
    const HMODULE controls = LoadLibraryW(L"comctl32.dll");
    DeactivateActCtx(0, cookie);
    ASSERT_NE(controls, nullptr);
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(controls, path, MAX_PATH);
    FreeLibrary(controls);
    std::wstring folder = std::filesystem::path(path).parent_path().filename().wstring();
    CharLowerW(folder.data());
    EXPECT_NE(folder.find(L"_microsoft.windows.common-controls_6595b64144ccf1df_6."),
              std::wstring::npos)
        << std::filesystem::path(path).string();
}

} // namespace
