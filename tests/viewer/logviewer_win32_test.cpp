#include "filechoice_win32.h"
#include "logviewer_win32.h"
#include "tempworkdir.h"
#include "widetext.h"
#include "win32testing.h"

#include <wincodec.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

// The viewer's own window under the system's window manager, driven by the messages a user's
// pointer, keys and clicks would send. The file dialogs are answered by a stand-in.

namespace {

const std::string FRAME = "X07FFY0801Z0ABC\r\n";
const char *const CSV_HEADER = "フレーム番号,バイト位置,X 16進,Y 16進,Z 16進,X 値,Y 値,Z 値\r\n";

std::string Repeated(const std::string &text, int count)
{
    std::string repeated;
    for (int i = 0; i < count; ++i)
        repeated += text;
    return repeated;
}

std::string ContentsOf(const std::string &name)
{
    std::ifstream in(std::filesystem::path(WideFromUtf8(name)), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Records every request and answers with `chosen`.
class CChooserStandIn
{
public:
    CChooserStandIn()
    {
        SetFileChooser([this](HWND, const FileRequest &request) {
            requests.push_back(request);
            return chosen;
        });
    }
    ~CChooserStandIn() { SetFileChooser({}); }

    std::string chosen;
    std::vector<FileRequest> requests;
};

bool Shown(HWND window)
{
    return (GetWindowLongW(window, GWL_STYLE) & WS_VISIBLE) != 0;
}

class LogViewerWindow : public ::testing::Test
{
protected:
    // Opens `bytes` as log.txt and waits until the scan has read it all.
    void Open(const std::string &bytes)
    {
        WriteBytes("log.txt", {bytes.begin(), bytes.end()});
        m_viewer.reset(OpenLogViewer(nullptr, "log.txt"));
        ASSERT_NE(m_viewer.get(), nullptr);
        ASSERT_TRUE(PumpMessagesUntil([this] { return !Shown(Item(IDC_VIEWER_SCAN_PROGRESS)); }));
    }

    HWND Item(int id) const { return GetDlgItem(m_viewer.get(), id); }
    HWND Plot() const { return Item(IDC_VIEWER_PLOT); }
    std::string Readout() const { return TextOf(Item(IDC_VIEWER_READOUT)); }

    // The plot area spans the plot's client but for 40 pixels on the left and 14 on the right:
    // its middle column, halfway down, shows the middle frame of a run shown whole.
    POINT Middle() const
    {
        const RECT client = ClientOf(Plot());
        return {40 + (client.right - 54) / 2, client.bottom / 2};
    }

    void MovePointer(POINT at) const
    {
        SendMessageW(Plot(), WM_MOUSEMOVE, 0, MAKELPARAM(at.x, at.y));
    }

    void Wheel(POINT at, int notches) const
    {
        ClientToScreen(Plot(), &at);
        SendMessageW(Plot(), WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA * notches),
                     MAKELPARAM(at.x, at.y));
    }

    void Click(int id) const
    {
        SendMessageW(m_viewer.get(), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                     reinterpret_cast<LPARAM>(Item(id)));
    }

    bool CommandsEnabled() const { return IsWindowEnabled(Item(IDC_VIEWER_SAVE_ALL_CSV)) != 0; }

    CTempWorkDir m_workDir;
    CRecordedAlerts m_alerts;
    OwnedWindow m_viewer;
};

std::string ReadoutOf(int frame, const char *values)
{
    return "フレーム " + std::to_string(frame) + "\u3000位置 " + std::to_string(frame * 17)
        + values;
}

constexpr const char *AT_12_BIT = "\u3000X 07FF (249)\u3000Y 0801 (250)\u3000Z 0ABC (335)";
constexpr const char *AT_8_BIT = "\u3000X 07FF (498)\u3000Y 0801 (1)\u3000Z 0ABC (367)";

// 100 frames: the middle column shows frame 50. Zoomed in to about half the run, an arrow key
// moves an eighth of that on and frame 56 stands there; Home shows the whole run again.
TEST_F(LogViewerWindow, ReadsOutThePointedFrameAsKeysWheelAndBitLengthChangeIt)
{
    Open(Repeated(FRAME, 100));
    EXPECT_EQ(TextOf(m_viewer.get()), "log.txt - ログ表示");
    const POINT middle = Middle();
    MovePointer(middle);
    EXPECT_EQ(Readout(), ReadoutOf(50, AT_12_BIT));

    SendMessageW(Plot(), WM_CHAR, L'+', 0);
    SendMessageW(Plot(), WM_KEYDOWN, VK_RIGHT, 0);
    EXPECT_EQ(Readout(), ReadoutOf(56, AT_12_BIT)) << "+ and right";
    SendMessageW(Plot(), WM_KEYDOWN, VK_HOME, 0);
    EXPECT_EQ(Readout(), ReadoutOf(50, AT_12_BIT)) << "Home";
    // Three notches leave 51.2 frames in view, the pointer's frame where it was.
    Wheel(middle, 3);
    EXPECT_EQ(Readout(), ReadoutOf(50, AT_12_BIT)) << "the wheel";
    SendMessageW(Plot(), WM_KEYDOWN, VK_RIGHT, 0);
    EXPECT_EQ(Readout(), ReadoutOf(56, AT_12_BIT)) << "the wheel and right";
    SendMessageW(Plot(), WM_KEYDOWN, VK_HOME, 0);

    const HWND combo = Item(IDC_VIEWER_BIT_LENGTH);
    wchar_t entry[16] = {};
    SendMessageW(combo, CB_GETLBTEXT, 2, reinterpret_cast<LPARAM>(entry));
    EXPECT_EQ(Utf8FromWide(entry), "12Bit");
    EXPECT_EQ(SendMessageW(combo, CB_GETCURSEL, 0, 0), 2);
    SendMessageW(combo, CB_SETCURSEL, 4, 0);
    SendMessageW(m_viewer.get(), WM_COMMAND, MAKEWPARAM(IDC_VIEWER_BIT_LENGTH, CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(combo));
    EXPECT_EQ(Readout(), ReadoutOf(50, AT_8_BIT)) << "8 bit";

    MovePointer({0, 0});
    EXPECT_EQ(Readout(), "") << "outside the plot area";
    MovePointer(middle);
    SendMessageW(Plot(), WM_MOUSELEAVE, 0, 0);
    EXPECT_EQ(Readout(), "") << "the pointer left";
}

TEST_F(LogViewerWindow, SavesTheWholeFileAsCsvAndThePlotAsAPicture)
{
    CChooserStandIn chooser;
    Open(Repeated(FRAME, 100));
    chooser.chosen = "全体.csv";
    Click(IDC_VIEWER_SAVE_ALL_CSV);
    ASSERT_TRUE(PumpMessagesUntil([this] { return CommandsEnabled(); }));
    ASSERT_EQ(chooser.requests.size(), 1u);
    EXPECT_EQ(chooser.requests[0].start, "log.csv");
    EXPECT_EQ(chooser.requests[0].filter, "CSVファイル (*.csv)");
    EXPECT_EQ(chooser.requests[0].caption, "CSVで保存");
    std::string expected = std::string("\xEF\xBB\xBF") + CSV_HEADER;
    for (int frame = 0; frame < 100; ++frame)
        expected += std::to_string(frame) + "," + std::to_string(frame * 17)
            + ",0x07FF,0x0801,0x0ABC,249,250,335\r\n";
    EXPECT_EQ(ContentsOf("全体.csv"), expected);

    chooser.chosen = "plot.png";
    Click(IDC_VIEWER_SAVE_PICTURE);
    EXPECT_EQ(chooser.requests.back().start, "log.png");
    EXPECT_EQ(chooser.requests.back().filter, "PNG画像 (*.png)");
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    {
        IWICImagingFactory *factory = nullptr;
        IWICBitmapDecoder *decoder = nullptr;
        IWICBitmapFrameDecode *frame = nullptr;
        IWICFormatConverter *converter = nullptr;
        ASSERT_TRUE(SUCCEEDED(CoCreateInstance(CLSID_WICImagingFactory, nullptr,
                                               CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&factory))));
        ASSERT_TRUE(SUCCEEDED(factory->CreateDecoderFromFilename(
            L"plot.png", nullptr, GENERIC_READ, WICDecodeMetadataCacheOnDemand, &decoder)));
        ASSERT_TRUE(SUCCEEDED(decoder->GetFrame(0, &frame)));
        UINT width = 0;
        UINT height = 0;
        frame->GetSize(&width, &height);
        const RECT client = ClientOf(Plot());
        EXPECT_EQ(static_cast<LONG>(width), client.right);
        EXPECT_EQ(static_cast<LONG>(height), client.bottom);
        ASSERT_TRUE(SUCCEEDED(factory->CreateFormatConverter(&converter)));
        ASSERT_TRUE(SUCCEEDED(converter->Initialize(frame, GUID_WICPixelFormat32bppBGR,
                                                    WICBitmapDitherTypeNone, nullptr, 0,
                                                    WICBitmapPaletteTypeCustom)));
        std::vector<std::uint32_t> pixels(std::size_t {width} * height);
        ASSERT_TRUE(SUCCEEDED(converter->CopyPixels(nullptr, width * 4,
                                                    static_cast<UINT>(pixels.size() * 4),
                                                    reinterpret_cast<BYTE *>(pixels.data()))));
        int red = 0;
        for (const std::uint32_t pixel : pixels)
            red += (pixel & 0xFFFFFF) == RED;
        EXPECT_GT(red, 0) << "the X trace";
        converter->Release();
        frame->Release();
        decoder->Release();
        factory->Release();
    }
    CoUninitialize();
    EXPECT_TRUE(m_alerts.messages.empty());

    chooser.chosen = "";
    Click(IDC_VIEWER_SAVE_PICTURE);
    chooser.chosen = "無い/plot.png";
    Click(IDC_VIEWER_SAVE_PICTURE);
    chooser.chosen = "無い/out.csv";
    Click(IDC_VIEWER_SAVE_VISIBLE_CSV);
    ASSERT_TRUE(
        PumpMessagesUntil([this] { return CommandsEnabled() && m_alerts.messages.size() == 2; }));
    EXPECT_EQ(m_alerts.messages[0], "画像ファイルに書き込めません");
    EXPECT_EQ(m_alerts.messages[1].rfind("CSVファイルに書き込めません：", 0), 0u)
        << m_alerts.messages[1];
}

// Closed while the scan runs and a CSV file waits for it, the window ends both before it goes:
// the file then holds every frame. A window with an owner goes with it.
TEST_F(LogViewerWindow, EndsTheScanAndTheWriterWhenDestroyed)
{
    CChooserStandIn chooser;
    constexpr int FRAMES = 100000;
    const std::string log = Repeated(FRAME, FRAMES);
    WriteBytes("log.txt", {log.begin(), log.end()});
    const OwnedWindow owner = MakeMainWindow();
    const HWND viewer = OpenLogViewer(owner.get(), "log.txt");
    ASSERT_NE(viewer, nullptr);
    EXPECT_EQ(GetWindow(viewer, GW_OWNER), owner.get());
    chooser.chosen = "whole.csv";
    SendMessageW(viewer, WM_COMMAND, MAKEWPARAM(IDC_VIEWER_SAVE_ALL_CSV, BN_CLICKED), 0);
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(viewer, IDC_VIEWER_SAVE_ALL_CSV)));
    DestroyWindow(viewer);
    EXPECT_FALSE(IsWindow(viewer));
    const std::string csv = ContentsOf("whole.csv");
    EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), FRAMES + 1);

    const HWND owned = OpenLogViewer(owner.get(), "log.txt");
    ASSERT_NE(owned, nullptr);
    DestroyWindow(owner.get());
    EXPECT_FALSE(IsWindow(owned));
}

TEST_F(LogViewerWindow, AFileThatDoesNotOpenOpensNothingAndSaysWhy)
{
    EXPECT_EQ(OpenLogViewer(nullptr, "missing.txt"), nullptr);
    ASSERT_EQ(m_alerts.messages.size(), 1u);
    EXPECT_FALSE(m_alerts.messages[0].empty());
    EXPECT_EQ(FindWindowW(nullptr, L"missing.txt - ログ表示"), nullptr);
}

} // namespace
