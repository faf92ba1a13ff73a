#pragma once

#include <QFrame>
#include <QPixmap>

#include "plotrenderer.h"

struct SampleBuffers;

// The plotting area of the main window: a black frame inside a sunken edge, and inside it the
// sweep graph of the main window's samples drawn with its pens, grid only or grid and traces. Every
// paint draws the graph afresh from the samples, whether the program or the window system asked for
// it: the traces are drawn over a copy of the unchanging rest. Lives on the main window's thread,
// which is also the only one that writes the samples.
class CPlotView : public QFrame
{
    Q_OBJECT

public:
    CPlotView(const SampleBuffers &samples, const PlotPens &pens, QWidget *parent = nullptr);

    // From the next paint on, the empty grid (after a clear).
    void ShowGrid();
    // From the next paint on, the grid and the traces of the samples as they then stand.
    void ShowTraces();

    bool TracesShown() const { return m_bTracesShown; }

protected:
    void paintEvent(QPaintEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    const QPixmap &Background();

    const SampleBuffers &m_samples;
    PlotPens m_pens;
    bool m_bTracesShown = false;
    // The whole view as it is without traces, drawn once for its size and palette.
    QPixmap m_background;
};
