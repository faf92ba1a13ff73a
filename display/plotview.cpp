#include "plotview.h"

#include "plotrenderer.h"

#include <QColor>
#include <QEvent>
#include <QPainter>
#include <qdrawutil.h>

namespace {

// The sunken edge lies outside the client, as a client edge does; the black frame is the
// client's outermost pixel ring, which the graph's erase leaves alone.
constexpr int SUNKEN_EDGE_WIDTH = 2;

} // namespace

CPlotView::CPlotView(const SampleBuffers &samples, const PlotPens &pens, QWidget *parent)
    : QFrame(parent)
    , m_samples(samples)
    , m_pens(pens)
{
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setLineWidth(SUNKEN_EDGE_WIDTH);
    // The copied background covers every pixel, edge included, so nothing is painted beneath.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void CPlotView::ShowGrid()
{
    m_bTracesShown = false;
    update();
}

void CPlotView::ShowTraces()
{
    m_bTracesShown = true;
    update();
}

void CPlotView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    // One block copy instead of the edge, the window's background and the graph's white area,
    // two fills of the whole client, on every repaint.
    painter.drawPixmap(0, 0, Background());
    if (m_bTracesShown)
        RenderTraces(painter, contentsRect(), m_samples, m_pens);
}

void CPlotView::changeEvent(QEvent *event)
{
    QFrame::changeEvent(event);
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::StyleChange)
        m_background = QPixmap();
}

// Between the black frame and the erased area the window's background shows, as it would
// under a control that leaves those pixels alone.
const QPixmap &CPlotView::Background()
{
    const qreal ratio = devicePixelRatioF();
    if (!m_background.isNull() && m_background.deviceIndependentSize() == QSizeF(size())
        && m_background.devicePixelRatio() == ratio)
        return m_background;
    m_background = QPixmap(size() * ratio);
    m_background.setDevicePixelRatio(ratio);
    QPainter painter(&m_background);
    painter.fillRect(rect(), palette().brush(QPalette::Window));
    drawFrame(&painter);
    qDrawPlainRect(&painter, contentsRect(), ToQColor(FRAME_COLOUR));
    RenderPlotBackground(painter, contentsRect(), m_pens);
    return m_background;
}
