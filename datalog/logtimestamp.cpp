#include "logtimestamp.h"

#include <utility>

namespace {

LogClock g_logClock;

std::uint16_t DaysInMonth(std::uint16_t year, std::uint16_t month)
{
    switch (month) {
    case 2:
        return DaysInFebruary(year);
    case 4:
    case 6:
    case 9:
    case 11:
        return 30;
    default:
        return 31;
    }
}

void AdvanceOneDay(LogDateTime &date)
{
    if (++date.day <= DaysInMonth(date.year, date.month))
        return;
    date.day = 1;
    if (++date.month <= 12)
        return;
    date.month = 1;
    ++date.year;
}

LogDateTime ToDateTime(std::chrono::system_clock::time_point instant)
{
    using namespace std::chrono;
    const sys_days midnight = floor<days>(instant);
    const year_month_day date {midnight};
    const hh_mm_ss time {floor<seconds>(instant - midnight)};
    return {
        static_cast<std::uint16_t>(static_cast<int>(date.year())),
        static_cast<std::uint16_t>(static_cast<unsigned>(date.month())),
        static_cast<std::uint16_t>(static_cast<unsigned>(date.day())),
        static_cast<std::uint16_t>(time.hours().count()),
        static_cast<std::uint16_t>(time.minutes().count()),
        static_cast<std::uint16_t>(time.seconds().count()),
    };
}

LogDateTime CurrentUtcDateTime()
{
    return ToDateTime(g_logClock ? g_logClock() : std::chrono::system_clock::now());
}

} // namespace

std::uint16_t DaysInFebruary(std::uint16_t year)
{
    const bool leap = year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
    return leap ? 29 : 28;
}

void ToReferenceTime(std::uint16_t offsetHours, const LogDateTime &utc, LogDateTime &result)
{
    result = utc;
    result.hour = static_cast<std::uint16_t>(utc.hour + offsetHours);
    if (result.hour >= 24) {
        result.hour = static_cast<std::uint16_t>(result.hour - 24);
        AdvanceOneDay(result);
    }
}

void SetLogClock(LogClock clock)
{
    g_logClock = std::move(clock);
}

void MakeLogTimeStamp(std::string &text)
{
    LogDateTime reference;
    ToReferenceTime(LOG_TIME_OFFSET_HOURS, CurrentUtcDateTime(), reference);
    text += std::to_string(reference.year) + '_' + std::to_string(reference.month) + '_'
        + std::to_string(reference.day) + '_' + std::to_string(reference.hour) + '_'
        + std::to_string(reference.minute);
}
