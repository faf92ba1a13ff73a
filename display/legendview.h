#pragma once

#include "plotrenderer.h"

#include <QWidget>

class QPainter;
class QRect;

// The legend of one channel, "X ch : RED", "Y ch : BLUE" or "Z ch : BLACK", written in the
// colour of the channel's trace on white inside a black frame. It has no state: every paint
// draws it whole. Lives on the main window's thread.
class CLegendView : public QWidget
{
    Q_OBJECT

public:
    explicit CLegendView(TraceChannel channel, QWidget *parent = nullptr);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    TraceChannel m_channel;
};

// Fills the client shrunk by 1 pixel with white and writes the channel's legend in its colour
// with the text's top-left corner at (5, 1) from the client's. The outermost pixel ring, where
// the frame goes, is left as it is.
void RenderLegend(QPainter &painter, const QRect &client, TraceChannel channel);
