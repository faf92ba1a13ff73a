#include "legendview.h"

#include <QPainter>
#include <QPen>
#include <QStaticText>
#include <qdrawutil.h>

#include <array>
#include <cstddef>

namespace {

constexpr int FRAME_WIDTH = 1;
constexpr QPoint TEXT_TOP_LEFT(5, 1);

const QStaticText &LegendText(TraceChannel channel)
{
    static const std::array<QStaticText, 3> texts
        = {DrawingText("X ch : RED"), DrawingText("Y ch : BLUE"), DrawingText("Z ch : BLACK")};
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
    qDrawPlainRect(&painter, rect(), Qt::black, FRAME_WIDTH);
    RenderLegend(painter, rect(), m_channel);
}

void RenderLegend(QPainter &painter, const QRect &client, TraceChannel channel)
{
    painter.save();
    painter.setClipRect(client, Qt::IntersectClip);
    painter.translate(client.topLeft());
    painter.fillRect(QRect(QPoint(0, 0), client.size())
                         .adjusted(FRAME_WIDTH, FRAME_WIDTH, -FRAME_WIDTH, -FRAME_WIDTH),
                     Qt::white);
    painter.setPen(MakeTracePen(channel));
    painter.setFont(DrawingFont());
    painter.drawStaticText(TEXT_TOP_LEFT, LegendText(channel));
    painter.restore();
}
