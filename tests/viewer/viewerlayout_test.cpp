#include "csvexport.h"
#include "recording.h"
#include "tempworkdir.h"
#include "viewerlayout.h"
#include "viewerplotstate.h"
#include "viewertext.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

// What both systems' viewers share, worked out by hand for a plot of 554 x 232 pixels: the plot
// area is then 500 x 200 pixels from (40, 10), so that a run of 1000 frames puts two frames in
// each pixel column.

namespace {

constexpr int WIDTH = 554;
constexpr int HEIGHT = 232;

std::string Repeated(const std::string &frame, int count)
{
    std::string text;
    for (int i = 0; i < count; ++i)
        text += frame;
    return text;
}

// The bytes of a file named in UTF-8, which a narrow name would not reach on every system.
std::string ContentsOf(const char8_t *name)
{
    std::ifstream in(std::filesystem::path(name), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A recording of `log`, scanned to its end.
class Recorded
{
public:
    explicit Recorded(const std::string &log)
    {
        WriteBytes("log.txt", {log.begin(), log.end()});
        std::string failure;
        EXPECT_TRUE(recording.Open(failure)) << failure;
        recording.WaitForScan();
    }

    CTempWorkDir workDir;
    CRecording recording {"log.txt"};
};

CViewRange RangeOf(std::int64_t frames)
{
    CViewRange range;
    range.SetFrameCount(frames);
    return range;
}

TEST(ViewerLayout, PlacesFramesAndValuesInThePlotArea)
{
    const CViewerLayout layout(WIDTH, HEIGHT, RangeOf(1000));
    const PlotRect area = layout.Area();
    EXPECT_EQ(area.left, 40);
    EXPECT_EQ(area.top, 10);
    EXPECT_EQ(area.right, 540);
    EXPECT_EQ(area.bottom, 210);
    EXPECT_EQ(layout.FrameX(0), 40);
    EXPECT_EQ(layout.FrameX(500), 290);
    EXPECT_EQ(layout.ValueY(0), 209);
    EXPECT_EQ(layout.ValueY(250), 109.5);
    EXPECT_EQ(layout.ValueY(500), 10);
    EXPECT_FALSE(layout.ShowsFrames());

    struct PointCase
    {
        int x;
        int y;
        std::int64_t known;
        std::int64_t frame;
    };
    // Column x holds frames 2(x - 40) and 2(x - 40) + 1; its middle falls on the second.
    const PointCase points[] = {
        {40, 100, 1000, 1},  {290, 10, 1000, 501}, {539, 209, 1000, 999}, {539, 209, 999, -1},
        {39, 100, 1000, -1}, {540, 100, 1000, -1}, {100, 9, 1000, -1},    {100, 210, 1000, -1},
    };
    for (const PointCase &row : points)
        EXPECT_EQ(layout.FrameAt(row.x, row.y, row.known), row.frame) << row.x << "," << row.y;
}

TEST(ViewerLayout, GridLinesStandAtRoundNumbers)
{
    const std::pair<double, std::int64_t> steps[]
        = {{0.3, 1}, {1, 1}, {1.01, 2}, {3, 5}, {7, 10}, {150, 200}, {200, 200}, {201, 500}};
    for (const auto &[least, step] : steps)
        EXPECT_EQ(RoundStep(least), step) << least;

    const CViewerLayout layout(WIDTH, HEIGHT, RangeOf(1000));
    // Values 0 to 500 from the bottom row up, each label 12 pixels high, centred on its line.
    const int valueRows[] = {209, 169, 129, 90, 50, 10};
    const std::vector<GridMark> values = layout.ValueGrid(12);
    ASSERT_EQ(values.size(), 6u);
    for (std::size_t i = 0; i < values.size(); ++i) {
        const int y = valueRows[i];
        EXPECT_EQ(values[i].number, static_cast<std::int64_t>(i) * 100);
        EXPECT_EQ(values[i].line.from.x, 40);
        EXPECT_EQ(values[i].line.from.y, y);
        EXPECT_EQ(values[i].line.to.x, 539);
        EXPECT_EQ(values[i].label.top, y - 6);
        EXPECT_EQ(values[i].label.right, 34);
    }
    // Half a pixel a frame: a label every 200 frames keeps them 100 pixels apart.
    const std::int64_t frames[] = {0, 200, 400, 600, 800};
    const int columns[] = {40, 140, 240, 340, 440};
    const std::vector<GridMark> numbers = layout.FrameGrid(12);
    ASSERT_EQ(numbers.size(), 5u);
    for (std::size_t i = 0; i < numbers.size(); ++i) {
        EXPECT_EQ(numbers[i].number, frames[i]);
        EXPECT_EQ(numbers[i].line.from.x, columns[i]);
        EXPECT_EQ(numbers[i].line.to.y, 209);
        EXPECT_EQ(numbers[i].label.left, columns[i] - 50);
        EXPECT_EQ(numbers[i].label.top, 212);
    }
}

// Eight frames of X at 250 fill the 500 pixels, 62.5 apart: lines with a dot on each frame, and
// the skipped bytes before the fifth marked back to the fourth.
TEST(ViewerLayout, ShowsFarApartFramesWithDotsAndMarksSkippedBytes)
{
    const Recorded log(Repeated("X0800\r\n", 4) + "??" + Repeated("X0800\r\n", 4));
    const CViewerLayout layout(WIDTH, HEIGHT, RangeOf(8));
    ASSERT_TRUE(layout.ShowsFrames());
    const PlotShapes shapes = layout.Shapes(log.recording, 3);
    ASSERT_EQ(shapes.lines[0].size(), 8u);
    EXPECT_TRUE(shapes.lines[1].empty() && shapes.lines[2].empty());
    EXPECT_EQ(shapes.lines[0][0].x1, 71.25);
    EXPECT_EQ(shapes.lines[0][0].x2, 71.25);
    EXPECT_EQ(shapes.lines[0][1].x1, 71.25);
    EXPECT_EQ(shapes.lines[0][1].x2, 133.75);
    EXPECT_EQ(shapes.lines[0][1].y2, 109.5);
    ASSERT_EQ(shapes.bars[0].size(), 8u);
    EXPECT_EQ(shapes.bars[0][0].x, 70);
    EXPECT_EQ(shapes.bars[0][0].y, 109);
    EXPECT_EQ(shapes.bars[0][0].width, 3);
    ASSERT_EQ(shapes.marks.size(), 1u);
    EXPECT_EQ(shapes.marks[0].left, 258.75);
    EXPECT_EQ(shapes.marks[0].right, 321.25);
}

// 2000 frames in 500 columns: one bar of one pixel per column at the value, X only.
TEST(ViewerLayout, ShowsAColumnSpanWhereFramesLieCloser)
{
    const Recorded log(Repeated("X0800\r\n", 2000));
    const CViewerLayout layout(WIDTH, HEIGHT, RangeOf(2000));
    ASSERT_FALSE(layout.ShowsFrames());
    const PlotShapes shapes = layout.Shapes(log.recording, 3);
    ASSERT_EQ(shapes.bars[0].size(), 500u);
    EXPECT_TRUE(shapes.bars[1].empty() && shapes.lines[0].empty() && shapes.marks.empty());
    EXPECT_EQ(shapes.bars[0][0].x, 40);
    EXPECT_EQ(shapes.bars[0][499].x, 539);
    EXPECT_EQ(shapes.bars[0][7].y, 110);
    EXPECT_EQ(shapes.bars[0][7].height, 1);
}

struct StepCase
{
    const char *name;
    void (*act)(CViewerPlotState &state);
    double first;
    double span;
    std::int64_t pointed;
    bool redrawn;
};

// Each step from where the one before left 1000 frames, with the pointer resting on column 290
// until a drag moves it to column 190 and back.
const StepCase STEP_CASES[] = {
    {"+ halves the span around the middle", [](CViewerPlotState &s) { s.Key(PlotKey::ZoomIn); },
     250, 500, 500, true},
    {"right moves an eighth on", [](CViewerPlotState &s) { s.Key(PlotKey::PanRight); }, 312.5, 500,
     563, true},
    {"left moves back", [](CViewerPlotState &s) { s.Key(PlotKey::PanLeft); }, 250, 500, 500, true},
    {"a drag 100 pixels left shows 100 frames further on",
     [](CViewerPlotState &s) {
         s.Press(290);
         s.MoveTo(190, 100);
         s.Release();
     },
     350, 500, 500, true},
    {"after the release the pointer moves over the frames",
     [](CViewerPlotState &s) { s.MoveTo(290, 100); }, 350, 500, 600, false},
    {"- doubles the span, kept within the run",
     [](CViewerPlotState &s) { s.Key(PlotKey::ZoomOut); }, 0, 1000, 501, true},
    {"a notch of the wheel at column 139 keeps frame 199 there",
     [](CViewerPlotState &s) { s.Wheel(139, 1); }, 39.8, 800, 440, true},
    {"Home shows everything", [](CViewerPlotState &s) { s.Key(PlotKey::ShowAll); }, 0, 1000, 501,
     true},
    {"leaving forgets the pointer", [](CViewerPlotState &s) { s.Leave(); }, 0, 1000, -1, false},
};

TEST(ViewerPlotState, KeysWheelAndDragMoveTheRangeAndThePointedFrameFollows)
{
    const Recorded log(Repeated("X0100\r\n", 1000));
    int redraws = 0;
    std::vector<std::int64_t> reported;
    CViewerPlotState state(
        log.recording, [&] { ++redraws; }, [&](std::int64_t frame) { reported.push_back(frame); });
    state.SetSize(WIDTH, HEIGHT);
    state.MoveTo(290, 100);
    ASSERT_EQ(state.PointedFrame(), 501);
    for (const StepCase &row : STEP_CASES) {
        const int redrawsBefore = redraws;
        row.act(state);
        EXPECT_NEAR(state.Range().First(), row.first, 1e-9) << row.name;
        EXPECT_NEAR(state.Range().Span(), row.span, 1e-9) << row.name;
        EXPECT_EQ(state.PointedFrame(), row.pointed) << row.name;
        EXPECT_EQ(reported.back(), row.pointed) << row.name;
        EXPECT_EQ(redraws > redrawsBefore, row.redrawn) << row.name;
    }
}

struct ReadoutCase
{
    const char *name;
    std::int64_t frame;
    std::int32_t code;
    const char *expected;
};

const ReadoutCase READOUT_CASES[] = {
    {"three channels at 12 bit", 1, 3,
     "フレーム 1\u3000位置 17\u3000X 07FF (249)\u3000Y 0801 (250)\u3000Z 0ABC (335)"},
    {"three channels at 8 bit", 1, 5,
     "フレーム 1\u3000位置 17\u3000X 07FF (498)\u3000Y 0801 (1)\u3000Z 0ABC (367)"},
    {"an XY frame after garbage at 14 bit", 2, 2,
     "フレーム 2\u3000位置 37\u3000X 0ABC (83)\u3000Y 0123 (8)"},
    {"a frame not in the file", 4, 3, ""},
    {"no frame", -1, 3, ""},
};

TEST(ViewerText, ReadsOutAFrameAsItStandsInTheFile)
{
    const Recorded log("X0100Y0200Z0300\r\nX07FFY0801Z0ABC\r\n??\rX0ABCY0123\r\nX%3%3\r\n");
    for (const ReadoutCase &row : READOUT_CASES)
        EXPECT_EQ(ReadoutText(log.recording, row.frame, row.code), row.expected) << row.name;
    // Digits that look like a placeholder are shown as they stand.
    EXPECT_EQ(ReadoutText(log.recording, 3, 3).rfind("フレーム 3\u3000位置 49\u3000X %3%3 (", 0),
              0u)
        << ReadoutText(log.recording, 3, 3);
}

TEST(ViewerText, NamesTheWindowAndTheFilesBesideTheLog)
{
    const std::pair<std::string, std::string> suggestions[] = {
        {"/logs/run.txt", "/logs/run.csv"},
        {"run.log.txt", "run.log.csv"},
        {"data", "data.csv"},
        {"/a.b/run", "/a.b/run.csv"},
        {"ログ/記録.txt", "ログ/記録.csv"},
    };
    for (const auto &[log, suggested] : suggestions)
        EXPECT_EQ(SuggestedFile(log, ".csv"), suggested) << log;
    EXPECT_EQ(ViewerTitle("/logs/記録.txt"), "記録.txt - ログ表示");
    EXPECT_EQ(ScanProgressText(42, 100), "読み込んでいます 42%");
    EXPECT_EQ(ScanProgressText(0, 0), "読み込んでいます 100%");
}

// The file is named in UTF-8 and starts with the UTF-8 mark, so that a spreadsheet reads the
// header as it is; a file that cannot be made says so.
TEST(CsvFile, WritesTheMarkThenTheRowsIntoAFileNamedInUtf8)
{
    const Recorded log("X07FFY0801Z0ABC\r\nX0100\r\n");
    std::string failure;
    ASSERT_TRUE(WriteCsvFile(log.recording, 0, std::nullopt, 3, "書き出し.csv", failure))
        << failure;
    EXPECT_EQ(ContentsOf(u8"書き出し.csv"),
              "\xEF\xBB\xBF"
              "フレーム番号,バイト位置,X 16進,Y 16進,Z 16進,X 値,Y 値,Z 値\r\n"
              "0,0,0x07FF,0x0801,0x0ABC,249,250,335\r\n"
              "1,17,0x0100,,,31,,\r\n");
    ASSERT_TRUE(WriteCsvFile(log.recording, 1, 2, 3, "一行.csv", failure)) << failure;
    EXPECT_EQ(ContentsOf(u8"一行.csv"),
              "\xEF\xBB\xBF"
              "フレーム番号,バイト位置,X 16進,Y 16進,Z 16進,X 値,Y 値,Z 値\r\n"
              "1,17,0x0100,,,31,,\r\n");

    EXPECT_FALSE(WriteCsvFile(log.recording, 0, 2, 3, "無い/out.csv", failure));
    EXPECT_EQ(failure.rfind("CSVファイルに書き込めません：", 0), 0u) << failure;
}

} // namespace
