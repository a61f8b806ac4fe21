// The clocks: local date-time and wall-clock texts for the start line, request log and status
// line, and the monotonic clock of the event loop's timers and deadlines.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>

namespace quorvin {

struct LocalDateTime {
    int year = 1970, month = 1, day = 1;
    int hour = 0, minute = 0, second = 0;
    int utcOffsetMinutes = 0; // east of UTC is positive
};

// The broken-down local time of a moment given in seconds since 1970-01-01 UTC.
LocalDateTime localDateTime(std::int64_t unixSeconds);

// "yyyy-MM-dd'T'HH:mm:sszzz", for example 2020-08-14T06:05:37+02:00; zero offset is "+00:00".
std::string formatDateTime(const LocalDateTime& time);

// "HH:mm:ss".
std::string formatWallClock(const LocalDateTime& time);

std::int64_t unixSecondsNow();
inline std::string currentDateTime() {
    return formatDateTime(localDateTime(unixSecondsNow()));
}
inline std::string currentWallClock() {
    return formatWallClock(localDateTime(unixSecondsNow()));
}

// Monotonic time in nanoseconds, from an arbitrary start.
std::int64_t monotonicNow();

namespace detail {
// The C library's broken-down local (or UTC) time of a moment, with 64-bit moments on every
// platform; false when the moment cannot be converted.
bool brokenDownTime(std::int64_t unixSeconds, bool local, std::tm& out);
} // namespace detail

} // namespace quorvin
