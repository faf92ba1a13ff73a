#include "viewerplot.h"

#include "plotrenderer.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

#include <optional>
#include <vector>

namespace {

std::optional<PlotKey> PlotKeyOf(int key)
{
    switch (key) {
    case Qt::Key_Plus:
    case Qt::Key_Equal:
        return PlotKey::ZoomIn;
    case Qt::Key_Minus:
        return PlotKey::ZoomOut;
    case Qt::Key_Left:
        return PlotKey::PanLeft;
    case Qt::Key_Right:
        return PlotKey::PanRight;
    case Qt::Key_Home:
        return PlotKey::ShowAll;
    default:
        return std::nullopt;
    }
}

QLine ToQLine(const PlotLine &line)
{
    return {line.from.x, line.from.y, line.to.x, line.to.y};
}

} // namespace

CViewerPlot::CViewerPlot(const CRecording &recording, QWidget *parent)
    : QWidget(parent)
    , m_state(
          recording, [this] { update(); },
          [this](std::int64_t frame) { emit PointedFrameChanged(frame); })
    , m_tracePens {MakeTracePen(TraceChannel::X), MakeTracePen(TraceChannel::Y),
                   MakeTracePen(TraceChannel::Z)}
    , m_gridPen(MakeGridPen())
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
    setMinimumSize(CViewerLayout::MIN_WIDTH, CViewerLayout::MIN_HEIGHT);
    m_state.SetSize(width(), height());
}

void CViewerPlot::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    const CViewerLayout layout = m_state.Layout();
    DrawGrid(painter, layout);
    DrawShapes(painter, layout, m_state.Shapes());
}

void CViewerPlot::resizeEvent(QResizeEvent *)
{
    m_state.SetSize(width(), height());
}

void CViewerPlot::DrawGrid(QPainter &painter, const CViewerLayout &layout) const
{
    const int textHeight = QFontMetrics(DrawingFont()).height();
    painter.setFont(DrawingFont());
    const std::pair<std::vector<GridMark>, int> grids[] = {
        {layout.ValueGrid(textHeight), Qt::AlignRight | Qt::AlignVCenter},
        {layout.FrameGrid(textHeight), Qt::AlignHCenter | Qt::AlignTop},
    };
    for (const auto &[marks, alignment] : grids) {
        for (const GridMark &mark : marks) {
            painter.setPen(m_gridPen);
            painter.drawLine(ToQLine(mark.line));
            painter.setPen(ToQColor(AXIS_TEXT_COLOUR));
            painter.drawText(ToQRect(mark.label), alignment, QString::number(mark.number));
        }
    }
    painter.setPen(ToQColor(AXIS_TEXT_COLOUR));
    painter.drawRect(ToQRect(layout.Area()).adjusted(0, 0, -1, -1));
}

// A mark hides the grid lines it covers, never a trace. The traces are drawn in the order of the
// main window's graph, X first, so that Z lies on top.
void CViewerPlot::DrawShapes(QPainter &painter, const CViewerLayout &layout,
                             const PlotShapes &shapes) const
{
    const QRect area = ToQRect(layout.Area());
    painter.setClipRect(area);
    for (const MarkBand &mark : shapes.marks)
        painter.fillRect(QRectF(mark.left, area.top(), mark.right - mark.left, area.height()),
                         ToQColor(MARK_COLOUR));
    for (std::size_t c = 0; c < 3; ++c) {
        painter.setPen(m_tracePens[c]);
        std::vector<QLineF> lines;
        lines.reserve(shapes.lines[c].size());
        for (const TraceSegment &line : shapes.lines[c])
            lines.emplace_back(line.x1, line.y1, line.x2, line.y2);
        painter.drawLines(lines.data(), static_cast<int>(lines.size()));
        for (const TraceBar &bar : shapes.bars[c])
            painter.fillRect(QRect(bar.x, bar.y, bar.width, bar.height), m_tracePens[c].color());
    }
    painter.setClipping(false);
}

void CViewerPlot::wheelEvent(QWheelEvent *event)
{
    m_state.Wheel(event->position().toPoint().x(), event->angleDelta().y() / 120.0);
    event->accept();
}

void CViewerPlot::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return QWidget::mousePressEvent(event);
    m_state.Press(event->position().toPoint().x());
    setCursor(Qt::ClosedHandCursor);
}

void CViewerPlot::mouseMoveEvent(QMouseEvent *event)
{
    const QPoint at = event->position().toPoint();
    m_state.MoveTo(at.x(), at.y());
}

void CViewerPlot::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return QWidget::mouseReleaseEvent(event);
    m_state.Release();
    unsetCursor();
}

void CViewerPlot::leaveEvent(QEvent *)
{
    m_state.Leave();
}

void CViewerPlot::keyPressEvent(QKeyEvent *event)
{
    const std::optional<PlotKey> key = PlotKeyOf(event->key());
    if (!key)
        return QWidget::keyPressEvent(event);
    m_state.Key(*key);
}
