#pragma once

#include <optional>
#include <string>

namespace dravex {

// Records keep UTC; people on the line give and read local time (the TZ of this process).

// The UTC timestamp, as records keep it, at which a DATE of the command line begins: "YYYY-MM-DD" at that
// day's local midnight, "YYYY-MM-DD HH:MM" at that minute. With wholeDay, a DATE without a time gives the
// next day's midnight instead, so that an exclusive end includes the day named. Nothing for text that is
// no such date, a year outside 1970 to 9999, or a bound past the year 9999 in UTC.
std::optional<std::string> utcBoundOf(const std::string &date, bool wholeDay);

// A record's time as "2026-12-08 13:01:02" in local time; the text as stored when it does not read.
std::string localTimeText(const std::string &utcTimestamp);
// The hour of the day, local time, of a record's time; nothing when it does not read.
std::optional<int> localHour(const std::string &utcTimestamp);

} // namespace dravex
