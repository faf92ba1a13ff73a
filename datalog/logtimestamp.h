#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

// The time stamp in a log file's name: year, month, day, hour and minute of the reference time,
// which is UTC shifted by a fixed number of hours, so the name does not depend on the computer's
// time zone or daylight-saving setting. Used on the main window's thread.

inline constexpr std::uint16_t LOG_TIME_OFFSET_HOURS = 9;

// A calendar date and time of day; month and day count from 1.
struct LogDateTime
{
    std::uint16_t year;
    std::uint16_t month;
    std::uint16_t day;
    std::uint16_t hour;
    std::uint16_t minute;
    std::uint16_t second;

    friend bool operator==(const LogDateTime &, const LogDateTime &) = default;
};

// 29 in a leap year of the Gregorian calendar, else 28.
std::uint16_t DaysInFebruary(std::uint16_t year);

// `utc` moved forward by `offsetHours` (0 to 23), carrying into day, month and year.
void ToReferenceTime(std::uint16_t offsetHours, const LogDateTime &utc, LogDateTime &result);

// The clock that MakeLogTimeStamp reads; an empty function selects the system clock.
using LogClock = std::function<std::chrono::system_clock::time_point()>;
void SetLogClock(LogClock clock);

// Appends "year_month_day_hour_minute" of the reference time now, in decimal without leading
// zeros, to `text`.
void MakeLogTimeStamp(std::string &text);
