#include "summary.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

bool PrintValue(const std::string &what, std::optional<double> value, const char *unit)
{
    if (!value) {
        std::printf("%-52s %12s\n", what.c_str(), "not measured");
        return false;
    }
    std::printf("%-52s %12.3f %-9s", what.c_str(), *value, unit);
    return true;
}

} // namespace

void PrintFigure(const std::string &what, std::optional<double> value, const char *unit)
{
    if (PrintValue(what, value, unit))
        std::printf("\n");
    std::fflush(stdout);
}

void PrintTarget(const std::string &what, std::optional<double> value, const char *unit,
                 const std::string &target, bool met)
{
    if (PrintValue(what, value, unit))
        std::printf(" target %-10s %s\n", target.c_str(), met ? "met" : "MISSED");
    std::fflush(stdout);
}

double Percentile(std::vector<double> values, double share)
{
    std::sort(values.begin(), values.end());
    const auto rank
        = static_cast<std::size_t>(std::ceil(share * static_cast<double>(values.size())));
    return values[std::clamp<std::size_t>(rank, 1, values.size()) - 1];
}
