#include "plotrenderer.h"

#include "samplebuffers.h"

#include <QFont>
#include <QLine>
#include <QPainter>
#include <QPen>
#include <QStaticText>

#include <array>
#include <cstddef>

namespace {

QLine Line(const PlotLine &line)
{
    return QLine(line.from.x, line.from.y, line.to.x, line.to.y);
}

// With a square cap an aliased line covers both of its end points.
QPen SolidPen(PlotColour colour)
{
    return QPen(QBrush(ToQColor(colour)), 1, Qt::SolidLine, Qt::SquareCap);
}

const QPen &TextPen()
{
    static const QPen pen = SolidPen(LABEL_COLOUR);
    return pen;
}

const std::array<QStaticText, VALUE_LABEL_COUNT> &ValueLabelTexts()
{
    static const auto texts = [] {
        std::array<QStaticText, VALUE_LABEL_COUNT> made;
        for (std::size_t i = 0; i < VALUE_LABEL_COUNT; ++i)
            made[i] = DrawingText(ValueLabels()[i].text);
        return made;
    }();
    return texts;
}

void EraseGraphArea(QPainter &painter, const QSize &clientSize)
{
    painter.fillRect(ToQRect(ErasedArea(clientSize.width(), clientSize.height())),
                     ToQColor(PLOT_WHITE));
}

void DrawGridLines(QPainter &painter, const QPen &gridPen)
{
    painter.setPen(gridPen);
    for (const PlotLine &line : GridLines())
        painter.drawLine(Line(line));
}

void DrawValueLabels(QPainter &painter)
{
    painter.setPen(TextPen());
    painter.setFont(DrawingFont());
    const auto &texts = ValueLabelTexts();
    for (std::size_t i = 0; i < VALUE_LABEL_COUNT; ++i)
        painter.drawStaticText(ValueLabels()[i].topLeft.x, ValueLabels()[i].topLeft.y, texts[i]);
}

// Segment by segment: an aliased polyline would not cover the joins the same way.
void DrawTrace(QPainter &painter, const std::int32_t *channel, const QPen &pen)
{
    TracePoints room;
    const std::span<const PlotPoint> points = TraceOf(channel, room);
    if (points.empty())
        return;
    std::array<QLine, SWEEP_LENGTH> segments;
    for (std::size_t i = 0; i + 1 < points.size(); ++i)
        segments[i] = QLine(points[i].x, points[i].y, points[i + 1].x, points[i + 1].y);
    painter.setPen(pen);
    painter.drawLines(segments.data(), static_cast<int>(points.size() - 1));
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
        for (const TraceChannel channel : TRACE_CHANNELS)
            DrawTrace(painter, ChannelSamples(samples, channel), TracePen(pens, channel));
    });
}

QColor ToQColor(PlotColour colour)
{
    return QColor(colour.r, colour.g, colour.b);
}

QRect ToQRect(const PlotRect &rect)
{
    return QRect(QPoint(rect.left, rect.top), QPoint(rect.right - 1, rect.bottom - 1));
}

QPen MakeTracePen(TraceChannel channel)
{
    return SolidPen(TraceColour(channel));
}

QPen MakeGridPen()
{
    return SolidPen(GRID_COLOUR);
}

const QFont &DrawingFont()
{
    static const QFont font = [] {
        QFont made(QStringLiteral("monospace"));
        made.setStyleHint(QFont::Monospace, QFont::NoAntialias);
        made.setPixelSize(DRAWING_FONT_PIXELS);
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
