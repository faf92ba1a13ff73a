#include "plotrenderer.h"

#include "samplebuffers.h"

#include <QFont>
#include <QLine>
#include <QPainter>
#include <QPen>
#include <QStaticText>

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <iterator>

namespace {

constexpr int ERASE_INSET = 4;

constexpr int GRID_LEFT = 50;
constexpr int GRID_RIGHT = 800;
constexpr int GRID_TOP = 20;
constexpr int GRID_BOTTOM = 520;
constexpr int GRID_STEP = 50;
constexpr int HORIZONTAL_LINE_COUNT = (GRID_BOTTOM - GRID_TOP) / GRID_STEP + 1;
constexpr int VERTICAL_LINE_COUNT = (GRID_RIGHT - GRID_LEFT) / GRID_STEP + 1;

static_assert(PLOT_CLIENT_MIN_WIDTH == GRID_RIGHT + 1 && PLOT_CLIENT_MIN_HEIGHT == GRID_BOTTOM + 1);

constexpr int SAMPLE_SPACING = 2;
// One pixel above the top grid line is still drawn.
constexpr std::int32_t MAX_DRAWABLE_VALUE = 501;
// Far beyond anything the parser stores (a few thousand at most); keeps a corrupted first slot,
// whose value is never checked, from overflowing the pixel arithmetic.
constexpr std::int32_t START_VALUE_LIMIT = 1'000'000;

// A trace reads the slot after the last one of a sweep, which always stays empty.
static_assert(SWEEP_LENGTH < SAMPLE_CAPACITY);

constexpr int LABEL_LEFT = 10;

struct ValueLabel
{
    int top;
    const char *text;
};

// The grid read on a scale of 10 and on a scale of 5, from the top line down to the bottom one.
constexpr ValueLabel VALUE_LABELS[] = {
    {8, "10/5"}, {108, " 8/4"}, {208, " 6/3"}, {308, " 4/2"}, {408, " 2/1"}, {508, "   0"},
};
constexpr std::size_t VALUE_LABEL_COUNT = std::size(VALUE_LABELS);

using GridLines = std::array<QLine, HORIZONTAL_LINE_COUNT + VERTICAL_LINE_COUNT>;

constexpr GridLines MakeGridLines()
{
    GridLines lines {};
    std::size_t n = 0;
    for (int y = GRID_TOP; y <= GRID_BOTTOM; y += GRID_STEP)
        lines[n++] = QLine(GRID_LEFT, y, GRID_RIGHT, y);
    for (int x = GRID_LEFT; x <= GRID_RIGHT; x += GRID_STEP)
        lines[n++] = QLine(x, GRID_TOP, x, GRID_BOTTOM);
    return lines;
}

constexpr GridLines GRID_LINES = MakeGridLines();

// With a square cap an aliased line covers both of its end points: the grid reaches its far
// corner and a full sweep ends on the pixel of its last sample.
QPen SolidPen(QRgb rgb)
{
    return QPen(QBrush(QColor(rgb)), 1, Qt::SolidLine, Qt::SquareCap);
}

const QPen &TextPen()
{
    static const QPen pen = SolidPen(qRgb(0, 0, 0));
    return pen;
}

const std::array<QStaticText, VALUE_LABEL_COUNT> &ValueLabelTexts()
{
    static const auto texts = [] {
        std::array<QStaticText, VALUE_LABEL_COUNT> made;
        for (std::size_t i = 0; i < VALUE_LABEL_COUNT; ++i)
            made[i] = DrawingText(VALUE_LABELS[i].text);
        return made;
    }();
    return texts;
}

bool IsDrawable(std::int32_t value)
{
    return value >= 0 && value <= MAX_DRAWABLE_VALUE;
}

int SlotX(int slot)
{
    return GRID_LEFT + SAMPLE_SPACING * slot;
}

int ValueY(std::int32_t value)
{
    return GRID_BOTTOM - std::clamp(value, -START_VALUE_LIMIT, START_VALUE_LIMIT);
}

// Joins slot 0 to each following slot up to the first that holds no drawable value. Only the end
// of a segment is checked, so the first segment starts from whatever slot 0 holds: an empty slot
// puts it one pixel below the bottom line.
int TraceSegments(const std::int32_t *channel, QLine *segments)
{
    int slot = 0;
    for (; slot < SWEEP_LENGTH && IsDrawable(channel[slot + 1]); ++slot)
        segments[slot]
            = QLine(SlotX(slot), ValueY(channel[slot]), SlotX(slot + 1), ValueY(channel[slot + 1]));
    return slot;
}

void EraseGraphArea(QPainter &painter, const QSize &clientSize)
{
    painter.fillRect(QRect(QPoint(0, 0), clientSize)
                         .adjusted(ERASE_INSET, ERASE_INSET, -ERASE_INSET, -ERASE_INSET),
                     Qt::white);
}

void DrawGridLines(QPainter &painter, const QPen &gridPen)
{
    painter.setPen(gridPen);
    painter.drawLines(GRID_LINES.data(), static_cast<int>(GRID_LINES.size()));
}

void DrawValueLabels(QPainter &painter)
{
    painter.setPen(TextPen());
    painter.setFont(DrawingFont());
    const auto &texts = ValueLabelTexts();
    for (std::size_t i = 0; i < VALUE_LABEL_COUNT; ++i)
        painter.drawStaticText(LABEL_LEFT, VALUE_LABELS[i].top, texts[i]);
}

void DrawTrace(QPainter &painter, const std::int32_t *channel, const QPen &pen)
{
    std::array<QLine, SWEEP_LENGTH> segments;
    const int count = TraceSegments(channel, segments.data());
    painter.setPen(pen);
    painter.drawLines(segments.data(), count);
}

// Runs draw with the painter clipped to the client and its origin at the client's top-left.
template<typename Draw> void DrawInClient(QPainter &painter, const QRect &client, Draw draw)
{
    painter.save();
    painter.setClipRect(client, Qt::IntersectClip);
    painter.translate(client.topLeft());
    painter.setRenderHint(QPainter::Antialiasing, false);
    draw();
    painter.restore();
}

} // namespace

void RenderPlot(QPainter &painter, const QRect &client, const SampleBuffers &samples,
                const PlotPens &pens, bool tracesShown)
{
    RenderPlotBackground(painter, client, pens);
    if (tracesShown)
        RenderTraces(painter, client, samples, pens);
}

void RenderPlotBackground(QPainter &painter, const QRect &client, const PlotPens &pens)
{
    DrawInClient(painter, client, [&] {
        EraseGraphArea(painter, client.size());
        DrawGridLines(painter, pens.grid);
        DrawValueLabels(painter);
    });
}

void RenderTraces(QPainter &painter, const QRect &client, const SampleBuffers &samples,
                  const PlotPens &pens)
{
    DrawInClient(painter, client, [&] {
        DrawTrace(painter, samples.x, pens.x);
        DrawTrace(painter, samples.y, pens.y);
        DrawTrace(painter, samples.z, pens.z);
    });
}

QPen MakeTracePen(TraceChannel channel)
{
    constexpr QRgb TRACE_COLOURS[] = {qRgb(255, 0, 0), qRgb(0, 0, 255), qRgb(0, 0, 0)};
    return SolidPen(TRACE_COLOURS[static_cast<std::size_t>(channel)]);
}

QPen MakeGridPen()
{
    return SolidPen(qRgb(191, 191, 191));
}

const QFont &DrawingFont()
{
    static const QFont font = [] {
        QFont made(QStringLiteral("monospace"));
        // One-colour glyphs: every pixel of a text is the text's colour or left as it was.
        made.setStyleHint(QFont::Monospace, QFont::NoAntialias);
        made.setPixelSize(13);
        return made;
    }();
    return font;
}

QStaticText DrawingText(const char *text)
{
    QStaticText staticText(QString::fromLatin1(text));
    staticText.setTextFormat(Qt::PlainText);
    staticText.prepare(QTransform(), DrawingFont());
    return staticText;
}
