#pragma once

#include "viewerplotstate.h"

#include <QPen>
#include <QWidget>

#include <array>
#include <cstdint>

class CRecording;

// The plot of the log viewer: X (red), Y (blue) and Z (black) of a recording against frame
// number, over a value scale of 0 to 500, for the whole run or any part of it, laid out and
// answering the user as CViewerPlotState says; this widget paints its shapes and routes Qt's
// events to it. Lives on the window's thread; each paint asks the recording once.
class CViewerPlot : public QWidget
{
    Q_OBJECT

public:
    explicit CViewerPlot(const CRecording &recording, QWidget *parent = nullptr);

    // The scaling of the frames read back; the recording rescales its summaries itself.
    void SetBitLengthCode(std::int32_t code) { m_state.SetBitLengthCode(code); }
    void RecordingGrew() { m_state.RecordingGrew(); }

    const CViewRange &Range() const { return m_state.Range(); }
    // The frame under a point of the widget; -1 outside the plot area or past the frames known.
    std::int64_t FrameAt(const QPoint &point) const
    {
        return m_state.FrameAt(point.x(), point.y());
    }
    std::int64_t PointedFrame() const { return m_state.PointedFrame(); }

signals:
    // The frame under the pointer changed; -1 when there is none.
    void PointedFrameChanged(std::int64_t frame);

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void DrawGrid(QPainter &painter, const CViewerLayout &layout) const;
    void DrawShapes(QPainter &painter, const CViewerLayout &layout, const PlotShapes &shapes) const;

    CViewerPlotState m_state;
    std::array<QPen, 3> m_tracePens;
    QPen m_gridPen;
};
