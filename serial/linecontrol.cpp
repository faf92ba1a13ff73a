#include "linecontrol.h"

LineErrorCounts CountsSince(const LineErrorCounts &now, const LineErrorCounts &start)
{
    return {now.overrun - start.overrun, now.framing - start.framing, now.parity - start.parity,
            now.breaks - start.breaks};
}

std::shared_ptr<CLineControl> SystemLineControl()
{
    static const auto control = std::make_shared<CLineControl>();
    return control;
}
