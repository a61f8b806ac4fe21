// The C library's broken-down time and the monotonic clock on POSIX.
#include "runtime/clock.h"

#include <time.h>

namespace quorvin {

namespace detail {

bool brokenDownTime(std::int64_t unixSeconds, bool local, std::tm& out) {
    const std::time_t moment = static_cast<std::time_t>(unixSeconds);
    return (local ? localtime_r(&moment, &out) : gmtime_r(&moment, &out)) != nullptr;
}

} // namespace detail

std::int64_t monotonicNow() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return std::int64_t{now.tv_sec} * 1'000'000'000 + now.tv_nsec;
}

} // namespace quorvin
