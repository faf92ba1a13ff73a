#pragma once

#include "viewrange.h"

#include <QPen>
#include <QWidget>

#include <array>
#include <cstdint>
#include <optional>

class CRecording;
struct PlotShapes;

// The plot of the log viewer: X (red), Y (blue) and Z (black) of a recording against frame
// number, over a value scale of 0 to 500, for the whole run or any part of it. Zoomed out, each
// screen column shows the span of the frames it covers, from the recording's summaries; zoomed in
// far enough that no column covers more than one frame, lines join the frames themselves, read
// back from the file. Columns and frames after skipped bytes are marked by a pale orange band.
// The wheel zooms around the pointer, dragging pans, + and - zoom, the arrow keys pan and Home
// shows the whole run. Lives on the window's thread; each paint asks the recording once.
class CViewerPlot : public QWidget
{
    Q_OBJECT

public:
    explicit CViewerPlot(const CRecording &recording, QWidget *parent = nullptr);

    // The scaling of the frames read back; the recording rescales its summaries itself.
    void SetBitLengthCode(std::int32_t code);
    // More frames are known: the range follows, and the plot is painted again. Before the scan
    // ends the whole run is taken to hold as many frames as the recording estimates.
    void RecordingGrew();

    const CViewRange &Range() const { return m_range; }
    // The frame under a point of the widget; -1 outside the plot area or past the frames known.
    std::int64_t FrameAt(const QPoint &point) const;
    std::int64_t PointedFrame() const { return m_pointedFrame; }

signals:
    // The frame under the pointer changed; -1 when there is none.
    void PointedFrameChanged(std::int64_t frame);

protected:
    void paintEvent(QPaintEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    QRect PlotArea() const;
    double FractionAt(int x) const;
    double FrameX(double frame) const;
    double ValueY(int value) const;
    bool ShowsFrames() const;
    PlotShapes ColumnShapes() const;
    PlotShapes FrameShapes() const;
    void DrawGrid(QPainter &painter) const;
    void DrawShapes(QPainter &painter, const PlotShapes &shapes) const;
    void RangeChanged();
    void SetPointedFrame(std::int64_t frame);

    const CRecording &m_recording;
    CViewRange m_range;
    std::int32_t m_code;
    std::array<QPen, 3> m_tracePens;
    QPen m_gridPen;
    // Where a drag began, and the first frame shown then.
    std::optional<QPoint> m_dragStart;
    double m_dragFirst = 0;
    QPoint m_pointer {-1, -1};
    std::int64_t m_pointedFrame = -1;
};
