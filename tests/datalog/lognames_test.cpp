#include "lognames.h"
#include "logtimestamp.h"

#include <gtest/gtest.h>

#include <chrono>
#include <climits>
#include <string>

namespace {

using namespace std::chrono;

system_clock::time_point Utc(int y, unsigned mo, unsigned d, int h, int mi, int s = 0, int ms = 0)
{
    return sys_days {year {y} / month {mo} / day {d}} + hours {h} + minutes {mi} + seconds {s}
    + milliseconds {ms};
}

// The calendar's own reading of an instant, to hold the carry against. In seconds, because the
// system clock's nanoseconds end in 2262.
LogDateTime Fields(sys_seconds instant)
{
    const sys_days midnight = floor<days>(instant);
    const year_month_day date {midnight};
    const hh_mm_ss time {instant - midnight};
    return {static_cast<std::uint16_t>(static_cast<int>(date.year())),
            static_cast<std::uint16_t>(static_cast<unsigned>(date.month())),
            static_cast<std::uint16_t>(static_cast<unsigned>(date.day())),
            static_cast<std::uint16_t>(time.hours().count()),
            static_cast<std::uint16_t>(time.minutes().count()),
            static_cast<std::uint16_t>(time.seconds().count())};
}

std::string Text(const LogDateTime &t)
{
    return std::to_string(t.year) + '-' + std::to_string(t.month) + '-' + std::to_string(t.day)
        + ' ' + std::to_string(t.hour) + ':' + std::to_string(t.minute) + ':'
        + std::to_string(t.second);
}

::testing::AssertionResult AgreesWithTheCalendar(int offsetHours, sys_seconds utc)
{
    LogDateTime result {};
    ToReferenceTime(static_cast<std::uint16_t>(offsetHours), Fields(utc), result);
    const LogDateTime expected = Fields(utc + hours {offsetHours});
    if (result == expected)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << Text(Fields(utc)) << " + " << offsetHours << " h gave "
                                         << Text(result) << ", not " << Text(expected);
}

class LogTimeStamp : public ::testing::Test
{
protected:
    void TearDown() override { SetLogClock({}); }

    static std::string StampAt(system_clock::time_point utc)
    {
        SetLogClock([utc] { return utc; });
        std::string text;
        MakeLogTimeStamp(text);
        return text;
    }
};

struct StampRow
{
    const char *name;
    system_clock::time_point utc;
    const char *stamp;
};

TEST_F(LogTimeStamp, CarriesTheNineHoursIntoDayMonthAndYear)
{
    const StampRow rows[] = {
        {"new year", Utc(2026, 12, 31, 23, 30), "2027_1_1_8_30"},
        {"last minute of April", Utc(2026, 4, 30, 14, 59), "2026_4_30_23_59"},
        {"first minute of May", Utc(2026, 4, 30, 15, 0), "2026_5_1_0_0"},
        {"leap year 2028", Utc(2028, 2, 28, 15, 0), "2028_2_29_0_0"},
        {"no leap year 2100", Utc(2100, 2, 28, 15, 0), "2100_3_1_0_0"},
        {"leap year 2000", Utc(2000, 2, 28, 15, 0), "2000_2_29_0_0"},
        {"no leading zeros", Utc(2026, 3, 5, 3, 7), "2026_3_5_12_7"},
        {"seconds are dropped, not rounded", Utc(2026, 3, 5, 3, 7, 59, 999), "2026_3_5_12_7"},
        {"no carry before 15:00", Utc(2026, 1, 31, 14, 0), "2026_1_31_23_0"},
        {"31 January", Utc(2026, 1, 31, 15, 0), "2026_2_1_0_0"},
        {"28 February", Utc(2026, 2, 28, 15, 0), "2026_3_1_0_0"},
        {"31 March", Utc(2026, 3, 31, 15, 0), "2026_4_1_0_0"},
        {"30 April", Utc(2026, 4, 30, 15, 0), "2026_5_1_0_0"},
        {"31 May", Utc(2026, 5, 31, 15, 0), "2026_6_1_0_0"},
        {"30 June", Utc(2026, 6, 30, 15, 0), "2026_7_1_0_0"},
        {"31 July", Utc(2026, 7, 31, 15, 0), "2026_8_1_0_0"},
        {"31 August", Utc(2026, 8, 31, 15, 0), "2026_9_1_0_0"},
        {"30 September", Utc(2026, 9, 30, 15, 0), "2026_10_1_0_0"},
        {"31 October", Utc(2026, 10, 31, 15, 0), "2026_11_1_0_0"},
        {"30 November", Utc(2026, 11, 30, 15, 0), "2026_12_1_0_0"},
        {"31 December", Utc(2026, 12, 31, 15, 0), "2027_1_1_0_0"},
    };
    for (const StampRow &row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(StampAt(row.utc), row.stamp);
    }
}

TEST_F(LogTimeStamp, AppendsToTheGivenText)
{
    SetLogClock([] { return Utc(2026, 3, 5, 3, 7); });
    std::string text = "COM1_";
    MakeLogTimeStamp(text);
    EXPECT_EQ(text, "COM1_2026_3_5_12_7");
}

TEST_F(LogTimeStamp, ReadsTheSystemClockWhenNoClockIsSet)
{
    const system_clock::time_point before = system_clock::now();
    SetLogClock({});
    std::string stamp;
    MakeLogTimeStamp(stamp);
    const system_clock::time_point after = system_clock::now();
    EXPECT_TRUE(stamp == StampAt(before) || stamp == StampAt(after)) << stamp;
}

TEST(DaysInFebruary, FollowsTheGregorianLeapYears)
{
    const struct
    {
        std::uint16_t year;
        std::uint16_t days;
    } rows[] = {{1900, 28}, {2000, 29}, {2024, 29}, {2026, 28}, {2100, 28}, {2400, 29}};
    for (const auto &row : rows)
        EXPECT_EQ(DaysInFebruary(row.year), row.days) << row.year;
}

TEST(ReferenceTime, AgreesWithTheCalendarOnEveryDayFrom1896To2404)
{
    const sys_days last = sys_days {year {2404} / 12 / 31};
    for (sys_days date = sys_days {year {1896} / 1 / 1}; date <= last; date += days {1}) {
        for (const seconds timeOfDay :
             {hours {14} + minutes {59} + seconds {59}, seconds {hours {15}},
              hours {23} + minutes {59} + seconds {59}})
            ASSERT_TRUE(AgreesWithTheCalendar(LOG_TIME_OFFSET_HOURS, date + timeOfDay));
    }
}

TEST(ReferenceTime, TakesEveryOffsetFromZeroTo23)
{
    for (const sys_days day : {sys_days {year {2026} / 12 / 31}, sys_days {year {2028} / 2 / 28},
                               sys_days {year {2100} / 2 / 28}}) {
        for (int offset = 0; offset < 24; ++offset) {
            for (int hour = 0; hour < 24; ++hour)
                ASSERT_TRUE(AgreesWithTheCalendar(offset, day + hours {hour} + minutes {17}));
        }
    }
}

// 7 December 2026 18:05 reference time: 09:05 UTC.
TEST(LogFileName, NamesThePortAndTheMinute)
{
    SetLogClock([] { return Utc(2026, 12, 7, 9, 5); });
    const struct
    {
        std::uint32_t portIndex;
        const char *name;
    } rows[] = {
        {0, "./DATALOG/COM1_2026_12_7_18_5_DataLogger.txt"},
        {2, "./DATALOG/COM3_2026_12_7_18_5_DataLogger.txt"},
        {15, "./DATALOG/COM16_2026_12_7_18_5_DataLogger.txt"},
        {16, "./DATALOG/_2026_12_7_18_5_DataLogger.txt"},
        {UINT32_MAX, "./DATALOG/_2026_12_7_18_5_DataLogger.txt"},
    };
    for (const auto &row : rows)
        EXPECT_EQ(LogFileName(row.portIndex), row.name) << row.portIndex;
    SetLogClock({});
}

} // namespace
