#include "viewerplot.h"

#include "frameparser.h"
#include "plotrenderer.h"
#include "recording.h"
#include "samplebuffers.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>
#include <vector>

// What one paint draws: the bands of the marked stretches and, for each channel, the lines
// through frames and the bars: columns one pixel wide, or the dots on frames far enough apart.
// Bars are filled as rectangles, which costs far less than stroking as many tall lines.
struct PlotShapes
{
    std::vector<QRectF> marks;
    std::array<std::vector<QLineF>, 3> lines;
    std::array<std::vector<QRect>, 3> bars;
};

namespace {

constexpr int MARGIN_LEFT = 40;
constexpr int MARGIN_RIGHT = 14;
constexpr int MARGIN_TOP = 10;
constexpr int MARGIN_BOTTOM = 22;

constexpr int TOP_VALUE = 500;
constexpr int VALUE_STEP = 100;
// Frame numbers on the axis stand at least this far apart.
constexpr int FRAME_LABEL_SPACING = 100;

constexpr double WHEEL_STEP_ZOOM = 1.25;
constexpr double KEY_ZOOM = 2;
// An arrow key moves the view by this share of what it shows.
constexpr double KEY_PAN_SHARE = 0.125;

// Frames this many pixels apart or more get a dot each, so that every one can be told apart.
constexpr double DOT_SPACING = 6;

const QColor MARK_COLOUR(255, 204, 128);
// A single marked column would be easy to miss: a mark is never narrower than this.
constexpr double MARK_MIN_WIDTH = 3;
const QColor AXIS_TEXT_COLOUR(0, 0, 0);

// 1, 2 or 5 times a power of ten, the smallest that is at least `least`.
std::int64_t RoundStep(double least)
{
    std::int64_t power = 1;
    while (true) {
        for (const std::int64_t multiple : {1, 2, 5}) {
            if (static_cast<double>(multiple * power) >= least)
                return multiple * power;
        }
        power *= 10;
    }
}

// A column joins the column before it: its bar reaches at least to the other's span, so that a
// trace stays unbroken wherever it moves.
ChannelSpan JoinedToPrevious(ChannelSpan span, const ChannelSpan &previous)
{
    if (previous.present) {
        span.low = std::min(span.low, previous.high);
        span.high = std::max(span.high, previous.low);
    }
    return span;
}

} // namespace

CViewerPlot::CViewerPlot(const CRecording &recording, QWidget *parent)
    : QWidget(parent)
    , m_recording(recording)
    , m_code(BIT_LENGTH_12)
    , m_tracePens {MakeTracePen(TraceChannel::X), MakeTracePen(TraceChannel::Y),
                   MakeTracePen(TraceChannel::Z)}
    , m_gridPen(MakeGridPen())
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
    setMinimumSize(MARGIN_LEFT + MARGIN_RIGHT + 200, MARGIN_TOP + MARGIN_BOTTOM + 100);
    m_range.SetFrameCount(m_recording.EstimatedFrameCount());
}

void CViewerPlot::SetBitLengthCode(std::int32_t code)
{
    m_code = code;
    update();
}

void CViewerPlot::RecordingGrew()
{
    m_range.SetFrameCount(m_recording.EstimatedFrameCount());
    RangeChanged();
}

QRect CViewerPlot::PlotArea() const
{
    return rect().adjusted(MARGIN_LEFT, MARGIN_TOP, -MARGIN_RIGHT, -MARGIN_BOTTOM);
}

// The middle of pixel column x, as a share of the plot area's width.
double CViewerPlot::FractionAt(int x) const
{
    const QRect area = PlotArea();
    return (x - area.left() + 0.5) / area.width();
}

double CViewerPlot::FrameX(double frame) const
{
    const QRect area = PlotArea();
    return area.left() + (frame - m_range.First()) * area.width() / m_range.Span();
}

double CViewerPlot::ValueY(int value) const
{
    const QRect area = PlotArea();
    return area.bottom() - static_cast<double>(value) * (area.height() - 1) / TOP_VALUE;
}

std::int64_t CViewerPlot::FrameAt(const QPoint &point) const
{
    if (!PlotArea().contains(point))
        return -1;
    const auto frame
        = static_cast<std::int64_t>(std::floor(m_range.FrameAt(FractionAt(point.x()))));
    return frame < m_recording.FrameCount() ? frame : -1;
}

// Lines through the frames themselves once no column covers more than one of them.
bool CViewerPlot::ShowsFrames() const
{
    return m_range.Span() <= PlotArea().width();
}

void CViewerPlot::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    DrawGrid(painter);
    DrawShapes(painter, ShowsFrames() ? FrameShapes() : ColumnShapes());
}

PlotShapes CViewerPlot::ColumnShapes() const
{
    PlotShapes shapes;
    const QRect area = PlotArea();
    if (m_range.EndFrame() <= m_range.FirstFrame())
        return shapes;
    const std::vector<FrameStretch> stretches
        = m_recording.Stretches(m_range.FirstFrame(), m_range.EndFrame(), area.width());
    std::array<ChannelSpan, 3> previous {};
    for (std::size_t column = 0; column < stretches.size(); ++column) {
        const FrameStretch &stretch = stretches[column];
        const int x = area.left() + static_cast<int>(column);
        if (stretch.malformed)
            shapes.marks.emplace_back(x + 0.5 - MARK_MIN_WIDTH / 2, area.top(), MARK_MIN_WIDTH,
                                      area.height());
        for (std::size_t c = 0; c < 3; ++c) {
            const ChannelSpan &span = stretch.channel[c];
            if (span.present) {
                const ChannelSpan joined = JoinedToPrevious(span, previous[c]);
                const int top = static_cast<int>(std::lround(ValueY(joined.high)));
                const int bottom = static_cast<int>(std::lround(ValueY(joined.low)));
                shapes.bars[c].emplace_back(x, top, 1, bottom - top + 1);
            }
            previous[c] = span;
        }
    }
    return shapes;
}

PlotShapes CViewerPlot::FrameShapes() const
{
    PlotShapes shapes;
    const QRect area = PlotArea();
    // One frame past the right edge, so that the lines run on to it.
    const std::int64_t first = m_range.FirstFrame();
    const std::vector<RecordedFrame> frames
        = m_recording.Frames(first, m_range.EndFrame() - first + 1);
    std::array<std::optional<QPointF>, 3> previous;
    std::int64_t expected = first;
    const double spacing = area.width() / m_range.Span();
    const bool dotted = spacing >= DOT_SPACING;
    for (const RecordedFrame &frame : frames) {
        const double x = FrameX(static_cast<double>(frame.number) + 0.5);
        // The skipped bytes lie between this frame and the one before.
        if (frame.afterSkippedBytes)
            shapes.marks.emplace_back(QPointF(x - std::max(spacing, MARK_MIN_WIDTH), area.top()),
                                      QPointF(x, area.bottom() + 1));
        if (frame.number != expected)
            previous = {};
        expected = frame.number + 1;
        for (std::size_t c = 0; c < 3; ++c) {
            if (static_cast<int>(c) >= frame.channels) {
                previous[c].reset();
                continue;
            }
            const QPointF point(x, ValueY(DecodeChannelValue(frame.digits[c], m_code)));
            shapes.lines[c].emplace_back(previous[c].value_or(point), point);
            previous[c] = point;
            if (dotted)
                shapes.bars[c].emplace_back(static_cast<int>(std::lround(x)) - 1,
                                            static_cast<int>(std::lround(point.y())) - 1, 3, 3);
        }
    }
    return shapes;
}

void CViewerPlot::DrawGrid(QPainter &painter) const
{
    const QRect area = PlotArea();
    const QFontMetrics metrics(DrawingFont());
    painter.setFont(DrawingFont());
    for (int value = 0; value <= TOP_VALUE; value += VALUE_STEP) {
        const int y = static_cast<int>(std::lround(ValueY(value)));
        painter.setPen(m_gridPen);
        painter.drawLine(area.left(), y, area.right(), y);
        painter.setPen(AXIS_TEXT_COLOUR);
        const QRect label(0, y - metrics.height() / 2, MARGIN_LEFT - 6, metrics.height());
        painter.drawText(label, Qt::AlignRight | Qt::AlignVCenter, QString::number(value));
    }
    const double pixelsPerFrame = area.width() / m_range.Span();
    const std::int64_t step = RoundStep(FRAME_LABEL_SPACING / pixelsPerFrame);
    const std::int64_t end = m_range.EndFrame();
    for (std::int64_t frame = (m_range.FirstFrame() + step - 1) / step * step; frame < end;
         frame += step) {
        const int x = static_cast<int>(std::lround(FrameX(static_cast<double>(frame) + 0.5)));
        if (x < area.left() || x > area.right())
            continue;
        painter.setPen(m_gridPen);
        painter.drawLine(x, area.top(), x, area.bottom());
        painter.setPen(AXIS_TEXT_COLOUR);
        const QRect label(x - FRAME_LABEL_SPACING / 2, area.bottom() + 3, FRAME_LABEL_SPACING,
                          metrics.height());
        painter.drawText(label, Qt::AlignHCenter | Qt::AlignTop, QString::number(frame));
    }
    painter.setPen(AXIS_TEXT_COLOUR);
    painter.drawRect(area.adjusted(0, 0, -1, -1));
}

// A mark hides the grid lines it covers, never a trace. The traces are drawn in the order of the
// main window's graph, X first, so that Z lies on top.
void CViewerPlot::DrawShapes(QPainter &painter, const PlotShapes &shapes) const
{
    painter.setClipRect(PlotArea());
    for (const QRectF &mark : shapes.marks)
        painter.fillRect(mark, MARK_COLOUR);
    for (std::size_t c = 0; c < 3; ++c) {
        painter.setPen(m_tracePens[c]);
        painter.drawLines(shapes.lines[c].data(), static_cast<int>(shapes.lines[c].size()));
        for (const QRect &bar : shapes.bars[c])
            painter.fillRect(bar, m_tracePens[c].color());
    }
    painter.setClipping(false);
}

void CViewerPlot::wheelEvent(QWheelEvent *event)
{
    const double steps = event->angleDelta().y() / 120.0;
    if (steps == 0)
        return;
    const double fraction = std::clamp(FractionAt(event->position().toPoint().x()), 0.0, 1.0);
    m_range.ZoomAround(fraction, std::pow(WHEEL_STEP_ZOOM, steps));
    RangeChanged();
    event->accept();
}

void CViewerPlot::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return QWidget::mousePressEvent(event);
    m_dragStart = event->position().toPoint();
    m_dragFirst = m_range.First();
    setCursor(Qt::ClosedHandCursor);
}

void CViewerPlot::mouseMoveEvent(QMouseEvent *event)
{
    m_pointer = event->position().toPoint();
    if (m_dragStart) {
        const double framesPerPixel = m_range.Span() / PlotArea().width();
        const double first = m_dragFirst - (m_pointer.x() - m_dragStart->x()) * framesPerPixel;
        m_range.Pan(first - m_range.First());
        RangeChanged();
        return;
    }
    SetPointedFrame(FrameAt(m_pointer));
}

void CViewerPlot::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return QWidget::mouseReleaseEvent(event);
    m_dragStart.reset();
    unsetCursor();
}

void CViewerPlot::leaveEvent(QEvent *)
{
    m_pointer = QPoint(-1, -1);
    SetPointedFrame(-1);
}

void CViewerPlot::keyPressEvent(QKeyEvent *event)
{
    const double pan = std::max(1.0, m_range.Span() * KEY_PAN_SHARE);
    switch (event->key()) {
    case Qt::Key_Plus:
    case Qt::Key_Equal:
        m_range.ZoomAround(0.5, KEY_ZOOM);
        break;
    case Qt::Key_Minus:
        m_range.ZoomAround(0.5, 1 / KEY_ZOOM);
        break;
    case Qt::Key_Left:
        m_range.Pan(-pan);
        break;
    case Qt::Key_Right:
        m_range.Pan(pan);
        break;
    case Qt::Key_Home:
        m_range.ShowAll();
        break;
    default:
        return QWidget::keyPressEvent(event);
    }
    RangeChanged();
}

// The pointer stays where it is while the frames move under it.
void CViewerPlot::RangeChanged()
{
    update();
    SetPointedFrame(FrameAt(m_pointer));
}

void CViewerPlot::SetPointedFrame(std::int64_t frame)
{
    if (frame == m_pointedFrame)
        return;
    m_pointedFrame = frame;
    emit PointedFrameChanged(frame);
}
