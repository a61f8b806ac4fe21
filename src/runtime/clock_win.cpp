// The C runtime's broken-down time and the performance counter on Windows.
#include "runtime/clock.h"

#include <windows.h>

namespace quorvin {

namespace detail {

// The 64-bit forms by name: the 32-bit time_t of the 32-bit runtime ends in 2038.
bool brokenDownTime(std::int64_t unixSeconds, bool local, std::tm& out) {
    const __time64_t moment = static_cast<__time64_t>(unixSeconds);
    return (local ? _localtime64_s(&out, &moment) : _gmtime64_s(&out, &moment)) == 0;
}

} // namespace detail

std::int64_t monotonicNow() {
    static const std::int64_t frequency = [] {
        LARGE_INTEGER value;
        QueryPerformanceFrequency(&value);
        return static_cast<std::int64_t>(value.QuadPart);
    }();
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    // Whole seconds and the remainder apart: exact for every frequency, with no overflow.
    std::int64_t ticks = counter.QuadPart;
    return ticks / frequency * 1'000'000'000 + ticks % frequency * 1'000'000'000 / frequency;
}

} // namespace quorvin
