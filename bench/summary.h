#pragma once

#include <optional>
#include <string>
#include <vector>

// Lines of a benchmark's closing summary: what was measured, the figure and its unit, and where
// there is one the target with its verdict. A figure that could not be had shows as such.
void PrintFigure(const std::string &what, std::optional<double> value, const char *unit);
void PrintTarget(const std::string &what, std::optional<double> value, const char *unit,
                 const std::string &target, bool met);

// The value at or below which `share` (0 to 1) of the values lie; values must not be empty.
double Percentile(std::vector<double> values, double share);
