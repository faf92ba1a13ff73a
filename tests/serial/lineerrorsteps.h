#pragma once

#include "recordinglinecontrol.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

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

// Takes the steps in turn on a reader whose clock is `now`, from 1000 s on: sets the counts, lets
// `deliverFrame` send one frame and wait for it, then looks at `reports`, the reports so far.
inline void ExpectLineErrorSteps(std::atomic<std::chrono::steady_clock::duration> &now,
                                 CRecordingLineControl &control,
                                 const std::function<bool()> &deliverFrame,
                                 const std::function<std::vector<LineErrorCounts>()> &reports)
{
    for (const LineErrorStep &step : LINE_ERROR_STEPS) {
        SCOPED_TRACE(step.at.count());
        now = std::chrono::seconds(1000) + step.at;
        control.SetCounts(LineErrorCounts {step.overrun, 20 + 2, 30, 40 + 1});
        const std::size_t reportsBefore = reports().size();
        ASSERT_TRUE(deliverFrame());
        const std::vector<LineErrorCounts> after = reports();
        ASSERT_EQ(after.size(), reportsBefore + (step.reported ? 1 : 0));
        if (step.reported) {
            EXPECT_EQ(after.back(), (LineErrorCounts {*step.reported, 2, 0, 1}));
        }
    }
}
