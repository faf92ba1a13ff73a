#include "pacer.h"

#include <gtest/gtest.h>

namespace {

using namespace std::chrono_literals;

// Runs the pacer the way the simulator does, waking at each NextWake, until `end`.
std::uint64_t ReleasedBy(CPacer &pacer, Nanos end)
{
    std::uint64_t released = 0;
    for (Nanos now = pacer.NextWake(); now <= end; now = pacer.NextWake())
        released += pacer.Release(now);
    return released;
}

TEST(Pacer, SendsTheFirstUnitAtOnceAndEachNextOnTime)
{
    CPacer pacer(100, 0ns);
    EXPECT_EQ(pacer.Release(0ns), 1u);
    EXPECT_EQ(pacer.NextWake(), 10ms);
    EXPECT_EQ(pacer.Release(10ms - 1ns), 0u);
    EXPECT_EQ(pacer.Release(10ms), 1u);
    EXPECT_EQ(pacer.NextWake(), 20ms);
}

struct RateCase
{
    const char *name;
    double rate;
    Nanos start;
    Nanos end;
    std::uint64_t units;
};

// A unit falls due at the start and every 1 / rate after it, the end included.
const RateCase RATE_CASES[] = {
    {"HundredFramesASecond", 100, 0ns, 1s, 101},
    {"SevenAfterAThousandSeconds", 7, 0ns, 1000s, 7001},
    {"ThirdsDoNotDrift", 3, 5s, 5s + 3600s, 10801},
    {"HalfAFrameASecond", 0.5, 0ns, 10s, 6},
    {"LineLimitInBytes", 300000, 0ns, 2s, 600001},
    {"LateStartOnTheMonotonicClock", 1000, 123456789s, 123456789s + 1s, 1001},
};

TEST(Pacer, ReleasesExactlyTheUnitsDueWithoutDrift)
{
    for (const RateCase &row : RATE_CASES) {
        SCOPED_TRACE(row.name);
        CPacer pacer(row.rate, row.start);
        EXPECT_EQ(ReleasedBy(pacer, row.end), row.units);
        EXPECT_EQ(pacer.Released(), row.units);
    }
}

TEST(Pacer, BatchesHighRatesIntoOneWakeUpAMillisecond)
{
    CPacer pacer(300000, 0ns);
    pacer.Release(0ns);
    EXPECT_EQ(pacer.NextWake(), MIN_WRITE_INTERVAL);
    EXPECT_EQ(pacer.Release(MIN_WRITE_INTERVAL / 2), 0u);
    EXPECT_EQ(pacer.Release(MIN_WRITE_INTERVAL), 300u);
    EXPECT_EQ(pacer.NextWake(), 2 * MIN_WRITE_INTERVAL);
}

TEST(Pacer, CatchesUpAfterALateWakeUp)
{
    CPacer pacer(1000, 0ns);
    pacer.Release(0ns);
    EXPECT_EQ(pacer.Release(3500us), 3u);
    EXPECT_EQ(pacer.NextWake(), 4500us);
    EXPECT_EQ(pacer.Release(4ms), 0u);
    EXPECT_EQ(pacer.Release(4500us), 1u);
}

TEST(Pacer, RestartsTheScheduleAfterAStallInsteadOfBursting)
{
    CPacer pacer(100, 0ns);
    pacer.Release(0ns);
    EXPECT_EQ(pacer.Release(5s), 1u);
    EXPECT_EQ(pacer.NextWake(), 5s + 10ms);
    EXPECT_EQ(pacer.Release(5s + 10ms), 1u);
    EXPECT_EQ(ReleasedBy(pacer, 6s + 10ms), 100u);
}

TEST(Pacer, KeepsABacklogShorterThanTheLagLimit)
{
    CPacer pacer(1000, 0ns);
    pacer.Release(0ns);
    EXPECT_EQ(pacer.Release(MAX_LAG), 100u);
}

} // namespace
