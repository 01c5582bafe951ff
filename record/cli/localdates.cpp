#include "record/cli/localdates.h"

#include <cstdio>
#include <ctime>

namespace dravex {

namespace {

bool isLeapYear(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int daysInMonth(int year, int month) {
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && isLeapYear(year) ? 29 : days[month - 1];
}

// The number of width digits at text[at], or -1 when any of them is no digit.
int digitsAt(const std::string &text, size_t at, size_t width) {
    int value = 0;
    for (size_t i = at; i < at + width; ++i) {
        if (text[i] < '0' || text[i] > '9')
            return -1;
        value = value * 10 + (text[i] - '0');
    }
    return value;
}

bool validDay(int year, int month, int day) {
    return year >= 1970 && year <= 9999 && month >= 1 && month <= 12 && day >= 1 &&
           day <= daysInMonth(year, month);
}

// "2026-12-08T05:01:02.123Z" as seconds since the epoch.
std::optional<std::time_t> utcSeconds(const std::string &timestamp) {
    if (timestamp.size() < 19 || timestamp[4] != '-' || timestamp[7] != '-' || timestamp[10] != 'T' ||
        timestamp[13] != ':' || timestamp[16] != ':')
        return std::nullopt;
    std::tm utc{};
    utc.tm_year = digitsAt(timestamp, 0, 4) - 1900;
    utc.tm_mon = digitsAt(timestamp, 5, 2) - 1;
    utc.tm_mday = digitsAt(timestamp, 8, 2);
    utc.tm_hour = digitsAt(timestamp, 11, 2);
    utc.tm_min = digitsAt(timestamp, 14, 2);
    utc.tm_sec = digitsAt(timestamp, 17, 2);
    if (!validDay(utc.tm_year + 1900, utc.tm_mon + 1, utc.tm_mday) || utc.tm_hour < 0 || utc.tm_hour > 23 ||
        utc.tm_min < 0 || utc.tm_min > 59 || utc.tm_sec < 0 || utc.tm_sec > 60)
        return std::nullopt;
    return ::timegm(&utc);
}

std::optional<std::tm> localTime(const std::string &utcTimestamp) {
    const std::optional<std::time_t> seconds = utcSeconds(utcTimestamp);
    std::tm local{};
    if (!seconds || !::localtime_r(&*seconds, &local))
        return std::nullopt;
    return local;
}

} // namespace

std::optional<std::string> utcBoundOf(const std::string &date, bool wholeDay) {
    const bool withTime = date.size() == 16;
    if ((date.size() != 10 && !withTime) || date[4] != '-' || date[7] != '-' ||
        (withTime && (date[10] != ' ' || date[13] != ':')))
        return std::nullopt;
    std::tm local{};
    local.tm_year = digitsAt(date, 0, 4);
    local.tm_mon = digitsAt(date, 5, 2);
    local.tm_mday = digitsAt(date, 8, 2);
    if (!validDay(local.tm_year, local.tm_mon, local.tm_mday))
        return std::nullopt;
    local.tm_year -= 1900;
    local.tm_mon -= 1;
    if (withTime) {
        local.tm_hour = digitsAt(date, 11, 2);
        local.tm_min = digitsAt(date, 14, 2);
        if (local.tm_hour < 0 || local.tm_hour > 23 || local.tm_min < 0 || local.tm_min > 59)
            return std::nullopt;
    } else if (wholeDay) {
        ++local.tm_mday; // mktime carries it into the next month or year
    }
    local.tm_isdst = -1; // the zone's own rule for that day decides summer time
    const std::time_t seconds = std::mktime(&local);
    std::tm utc{};
    if (seconds == -1 || !::gmtime_r(&seconds, &utc))
        return std::nullopt;
    // Past the year 9999 the text would no longer sort as the records' times do.
    char bound[64];
    if (std::snprintf(bound, sizeof bound, "%04d-%02d-%02dT%02d:%02d:%02d.000Z", utc.tm_year + 1900,
                      utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec) != 24)
        return std::nullopt;
    return std::string(bound);
}

std::string localTimeText(const std::string &utcTimestamp) {
    const std::optional<std::tm> local = localTime(utcTimestamp);
    char text[32];
    if (!local || std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &*local) == 0)
        return utcTimestamp;
    return text;
}

std::optional<int> localHour(const std::string &utcTimestamp) {
    const std::optional<std::tm> local = localTime(utcTimestamp);
    return local ? std::optional<int>(local->tm_hour) : std::nullopt;
}

} // namespace dravex
