#pragma once

#include <chrono>
#include <cstdint>
#include <optional>

// A reader's looks at the driver's line error counts, which the tests of both systems take
// through the line control: at `at` after the first look the driver counts `overrun` overruns,
// and the reader reports `reported` overruns since the open, or nothing. The other counts stay
// at framing 22, parity 30 and breaks 41, against 20, 30 and 40 at the open; 10 overruns were
// there before it. Changed counts are reported no more than once a second.
struct LineErrorStep
{
    std::chrono::milliseconds at;
    std::uint32_t overrun;
    std::optional<std::uint32_t> reported;
};

inline constexpr LineErrorStep LINE_ERROR_STEPS[] = {
    {std::chrono::milliseconds(0), 11, 1},     {std::chrono::milliseconds(500), 12, {}},
    {std::chrono::milliseconds(999), 13, {}},  {std::chrono::milliseconds(1000), 13, 3},
    {std::chrono::milliseconds(2500), 13, {}}, {std::chrono::milliseconds(2600), 14, {}},
    {std::chrono::milliseconds(3499), 14, {}}, {std::chrono::milliseconds(3500), 14, 4},
};
