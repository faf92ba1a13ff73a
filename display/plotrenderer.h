#pragma once

#include "plotgeometry.h"

class QColor;
class QFont;
class QPainter;
class QPen;
class QRect;
class QStaticText;
struct SampleBuffers;

// The sweep graph drawn from scratch with Qt, laid out by plotgeometry.h. It keeps nothing
// between calls, so the plotting area paints it on screen and tests paint it into an image.
// Painting uses fonts, so it runs on the GUI thread only.

// The pens the graph draws with. The main window owns them; the plotting area borrows them.
struct PlotPens
{
    const QPen &x;
    const QPen &y;
    const QPen &z;
    const QPen &grid;
};

// Pens of the graph's colours: the legends write with the traces' pens.
QPen MakeTracePen(TraceChannel channel);
QPen MakeGridPen();

// Erases the client rectangle shrunk by 4 pixels, draws grid and labels and, when tracesShown,
// the X, Y and Z traces over them in that order. Nothing is painted outside the client.
void RenderPlot(QPainter &painter, const QRect &client, const SampleBuffers &samples,
                const PlotPens &pens, bool tracesShown);
// The two halves of RenderPlot: the erased area with grid and labels, then the traces.
void RenderPlotBackground(QPainter &painter, const QRect &client, const PlotPens &pens);
void RenderTraces(QPainter &painter, const QRect &client, const SampleBuffers &samples,
                  const PlotPens &pens);

QColor ToQColor(PlotColour colour);
QRect ToQRect(const PlotRect &rect);

// The font of the value labels and the legends.
const QFont &DrawingFont();

// A fixed text in DrawingFont, laid out once; drawStaticText puts its top-left corner at the
// given point.
QStaticText DrawingText(const char *text);
