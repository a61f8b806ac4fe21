// Local time from the C library, with the UTC offset derived from the two broken-down forms.
#include "runtime/clock.h"

#include <chrono>
#include <cstdio>

namespace quorvin {

namespace {

// Days since 1970-01-01 of a proleptic Gregorian date.
std::int64_t daysFromCivil(std::int64_t year, unsigned month, unsigned day) {
    year -= month <= 2;
    const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
    const unsigned yearOfEra = static_cast<unsigned>(year - era * 400);
    const unsigned dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + static_cast<std::int64_t>(dayOfEra) - 719468;
}

std::int64_t secondsOfFields(const std::tm& fields) {
    return daysFromCivil(fields.tm_year + 1900, fields.tm_mon + 1, fields.tm_mday) * 86400 +
           fields.tm_hour * 3600 + fields.tm_min * 60 + fields.tm_sec;
}

} // namespace

LocalDateTime localDateTime(std::int64_t unixSeconds) {
    std::tm local{}, utc{};
    LocalDateTime result;
    if (!detail::brokenDownTime(unixSeconds, true, local) ||
        !detail::brokenDownTime(unixSeconds, false, utc)) {
        return result;
    }
    result.year = local.tm_year + 1900;
    result.month = local.tm_mon + 1;
    result.day = local.tm_mday;
    result.hour = local.tm_hour;
    result.minute = local.tm_min;
    result.second = local.tm_sec;
    result.utcOffsetMinutes =
        static_cast<int>((secondsOfFields(local) - secondsOfFields(utc)) / 60);
    return result;
}

std::string formatDateTime(const LocalDateTime& time) {
    int offset = time.utcOffsetMinutes;
    char sign = offset < 0 ? '-' : '+';
    if (offset < 0) {
        offset = -offset;
    }
    char text[48];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d%c%02d:%02d", time.year,
                  time.month, time.day, time.hour, time.minute, time.second, sign, offset / 60,
                  offset % 60);
    return text;
}

std::string formatWallClock(const LocalDateTime& time) {
    char text[16];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d", time.hour, time.minute, time.second);
    return text;
}

std::int64_t unixSecondsNow() {
    using namespace std::chrono;
    return duration_cast<seconds>(system_clock::now().time_since_epoch()).count();
}

} // namespace quorvin
