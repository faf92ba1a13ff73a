#include "porttarget.h"

std::string JoinParts(const std::vector<std::string> &parts)
{
    std::string joined;
    for (const std::string &part : parts) {
        if (part.empty())
            continue;
        if (!joined.empty())
            joined += " — ";
        joined += part;
    }
    return joined;
}

std::string DescribePortTarget(const PortTarget &target)
{
    const std::string description = JoinParts({target.label, target.reaches});
    return target.notKept.empty() ? description : description + "\n" + target.notKept;
}
