#include "plotview.h"

#include "plotrenderer.h"

#include <QPainter>
#include <qdrawutil.h>

namespace {

// The sunken edge lies outside the client, as a client edge does; the black frame is the
// client's outermost pixel ring, which the graph's erase leaves alone.
constexpr int SUNKEN_EDGE_WIDTH = 2;

} // namespace

CPlotView::CPlotView(const SampleBuffers &samples, QWidget *parent)
    : QFrame(parent)
    , m_samples(samples)
{
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setLineWidth(SUNKEN_EDGE_WIDTH);
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
    drawFrame(&painter);
    qDrawPlainRect(&painter, contentsRect(), Qt::black);
    RenderPlot(painter, contentsRect(), m_samples, m_bTracesShown);
}
