#include "sendschedule.h"

#include <gtest/gtest.h>

namespace {

using namespace std::chrono_literals;

// Runs the schedule the way the simulator does, waking at each NextWake, until `end`.
std::uint64_t ReleasedBy(CSendSchedule &schedule, Nanos end)
{
    std::uint64_t released = 0;
    for (Nanos now = schedule.NextWake(); now <= end; now = schedule.NextWake())
        released += schedule.Release(now);
    return released;
}

TEST(SendSchedule, SendsTheFirstUnitAtOnceAndEachNextOnTime)
{
    CSendSchedule schedule(100, 0ns);
    EXPECT_EQ(schedule.Release(0ns), 1u);
    EXPECT_EQ(schedule.NextWake(), 10ms);
    EXPECT_EQ(schedule.Release(10ms - 1ns), 0u);
    EXPECT_EQ(schedule.Release(10ms), 1u);
    EXPECT_EQ(schedule.NextWake(), 20ms);
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

TEST(SendSchedule, ReleasesExactlyTheUnitsDueWithoutDrift)
{
    for (const RateCase &row : RATE_CASES) {
        SCOPED_TRACE(row.name);
        CSendSchedule schedule(row.rate, row.start);
        EXPECT_EQ(ReleasedBy(schedule, row.end), row.units);
        EXPECT_EQ(schedule.Released(), row.units);
    }
}

TEST(SendSchedule, BatchesHighRatesIntoOneWakeUpAMillisecond)
{
    CSendSchedule schedule(300000, 0ns);
    schedule.Release(0ns);
    EXPECT_EQ(schedule.NextWake(), MIN_WRITE_INTERVAL);
    EXPECT_EQ(schedule.Release(MIN_WRITE_INTERVAL / 2), 0u);
    EXPECT_EQ(schedule.Release(MIN_WRITE_INTERVAL), 300u);
    EXPECT_EQ(schedule.NextWake(), 2 * MIN_WRITE_INTERVAL);
}

TEST(SendSchedule, CatchesUpAfterALateWakeUp)
{
    CSendSchedule schedule(1000, 0ns);
    schedule.Release(0ns);
    EXPECT_EQ(schedule.Release(3500us), 3u);
    EXPECT_EQ(schedule.NextWake(), 4500us);
    EXPECT_EQ(schedule.Release(4ms), 0u);
    EXPECT_EQ(schedule.Release(4500us), 1u);
}

TEST(SendSchedule, RestartsTheScheduleAfterAStallInsteadOfBursting)
{
    CSendSchedule schedule(100, 0ns);
    schedule.Release(0ns);
    EXPECT_EQ(schedule.Release(5s), 1u);
    EXPECT_EQ(schedule.NextWake(), 5s + 10ms);
    EXPECT_EQ(schedule.Release(5s + 10ms), 1u);
    EXPECT_EQ(ReleasedBy(schedule, 6s + 10ms), 100u);
}

TEST(SendSchedule, KeepsABacklogShorterThanTheLagLimit)
{
    CSendSchedule schedule(1000, 0ns);
    schedule.Release(0ns);
    EXPECT_EQ(schedule.Release(MAX_LAG), 100u);
}

} // namespace
