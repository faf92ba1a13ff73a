#include "legendview.h"

#include <QColor>
#include <QPainter>
#include <QPen>
#include <QStaticText>
#include <qdrawutil.h>

#include <array>
#include <cstddef>

namespace {

const QStaticText &LegendStaticText(TraceChannel channel)
{
    static const std::array<QStaticText, 3> texts = {DrawingText(LegendText(TraceChannel::X).text),
                                                     DrawingText(LegendText(TraceChannel::Y).text),
                                                     DrawingText(LegendText(TraceChannel::Z).text)};
    return texts[static_cast<std::size_t>(channel)];
}

} // namespace

CLegendView::CLegendView(TraceChannel channel, QWidget *parent)
    : QWidget(parent)
    , m_channel(channel)
{
    // Frame and fill cover every pixel.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void CLegendView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    qDrawPlainRect(&painter, rect(), ToQColor(FRAME_COLOUR), LEGEND_FRAME_WIDTH);
    RenderLegend(painter, rect(), m_channel);
}

void RenderLegend(QPainter &painter, const QRect &client, TraceChannel channel)
{
    painter.save();
    painter.setClipRect(client, Qt::IntersectClip);
    painter.translate(client.topLeft());
    painter.fillRect(ToQRect(LegendFillArea(client.width(), client.height())),
                     ToQColor(PLOT_WHITE));
    painter.setPen(MakeTracePen(channel));
    painter.setFont(DrawingFont());
    const PlotPoint topLeft = LegendText(channel).topLeft;
    painter.drawStaticText(topLeft.x, topLeft.y, LegendStaticText(channel));
    painter.restore();
}
