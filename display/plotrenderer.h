#pragma once

class QFont;
class QPainter;
class QPen;
class QRect;
class QStaticText;
struct SampleBuffers;

// The sweep graph drawn from scratch: a white area, a grey grid of 15 x 10 cells with six value
// labels on its left and, once traces are shown, one line per channel from the sample buffers.
// It keeps nothing between calls, so the plotting area paints it on screen and tests paint it
// into an image. Painting uses fonts, so it runs on the GUI thread only.

enum class TraceChannel { X, Y, Z };

// The pens the graph draws with. The main window owns them; the plotting area borrows them.
struct PlotPens
{
    const QPen &x;
    const QPen &y;
    const QPen &z;
    const QPen &grid;
};

// The one place of the graph's colours: X red, Y blue, Z black, the grid light grey. The legends
// write in the traces' colours.
QPen MakeTracePen(TraceChannel channel);
QPen MakeGridPen();

// The graph is laid out in pixels from the client's top-left corner and does not follow the
// client's size: the whole grid needs a client of this size.
inline constexpr int PLOT_CLIENT_MIN_WIDTH = 801;
inline constexpr int PLOT_CLIENT_MIN_HEIGHT = 521;

// Erases the client rectangle shrunk by 4 pixels, draws grid and labels and, when tracesShown,
// the X, Y and Z traces over them in that order. Nothing is painted outside the client.
void RenderPlot(QPainter &painter, const QRect &client, const SampleBuffers &samples,
                const PlotPens &pens, bool tracesShown);
// The two halves of RenderPlot: the erased area with grid and labels, then the traces.
void RenderPlotBackground(QPainter &painter, const QRect &client, const PlotPens &pens);
void RenderTraces(QPainter &painter, const QRect &client, const SampleBuffers &samples,
                  const PlotPens &pens);

// The font of the value labels and the legends: a plain monospaced face, so that the labels'
// leading blanks line them up, small enough that four characters fit left of the grid.
const QFont &DrawingFont();

// A fixed text in DrawingFont, laid out once; drawStaticText puts its top-left corner at the
// given point.
QStaticText DrawingText(const char *text);
