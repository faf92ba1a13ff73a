#pragma once

#include "paintedcontrol_win32.h"
#include "plotgeometry.h"

#include <windows.h>

// The legend of one channel, "X ch : RED", "Y ch : BLUE" or "Z ch : BLACK", control
// IDC_LEGEND_X, _Y or _Z of the main window's template (a static control with a black frame):
// written in the colour of the channel's trace on white inside the black frame. It has no state:
// every paint draws it whole. Lives on the main window's thread.
class CLegendView final : public CPaintedControl
{
public:
    explicit CLegendView(TraceChannel channel);

private:
    void Paint(HDC dc, const RECT &client) override;

    TraceChannel m_channel;
};
