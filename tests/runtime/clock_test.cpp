// Local date-time texts in zones east, west and at UTC.
#include "runtime/clock.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>

using namespace quorvin;

namespace {

// Sets the process time zone in the C library's POSIX form ("XXX-2" is two hours east).
class ZoneGuard {
public:
    explicit ZoneGuard(const char* zone) {
        const char* old = std::getenv("TZ");
        hadOld_ = old != nullptr;
        if (hadOld_) {
            old_ = old;
        }
        set(zone);
    }
    ~ZoneGuard() { hadOld_ ? set(old_.c_str()) : unset(); }

private:
    static void set(const char* zone) {
#ifdef _WIN32
        _putenv_s("TZ", zone);
        _tzset();
#else
        setenv("TZ", zone, 1);
        tzset();
#endif
    }
    static void unset() {
#ifdef _WIN32
        _putenv_s("TZ", "");
        _tzset();
#else
        unsetenv("TZ");
        tzset();
#endif
    }
    bool hadOld_ = false;
    std::string old_;
};

// 2020-08-14T04:05:37Z
constexpr std::int64_t sample = 1597377937;

} // namespace

TEST(Clock, ZeroOffsetIsWrittenWithPlus) {
    ZoneGuard zone("UTC0");
    EXPECT_EQ(formatDateTime(localDateTime(sample)), "2020-08-14T04:05:37+00:00");
    EXPECT_EQ(formatWallClock(localDateTime(sample)), "04:05:37");
}

TEST(Clock, ZoneEastOfUtc) {
    ZoneGuard zone("XXX-2");
    EXPECT_EQ(formatDateTime(localDateTime(sample)), "2020-08-14T06:05:37+02:00");
}

TEST(Clock, ZoneWestOfUtcCrossesMidnight) {
    ZoneGuard zone("XXX5");
    EXPECT_EQ(formatDateTime(localDateTime(sample)), "2020-08-13T23:05:37-05:00");
    EXPECT_EQ(formatWallClock(localDateTime(sample)), "23:05:37");
}

TEST(Clock, HalfHourOffset) {
    ZoneGuard zone("XXX-5:30");
    EXPECT_EQ(formatDateTime(localDateTime(sample)), "2020-08-14T09:35:37+05:30");
}

TEST(Clock, MomentsPast2038) {
    ZoneGuard zone("UTC0");
    EXPECT_EQ(formatDateTime(localDateTime(std::int64_t{1} << 31)), "2038-01-19T03:14:08+00:00");
    EXPECT_EQ(formatDateTime(localDateTime(std::int64_t{1} << 32)), "2106-02-07T06:28:16+00:00");
}

TEST(Clock, FormatPadsEveryField) {
    LocalDateTime time{987, 1, 2, 3, 4, 5, -(9 * 60 + 30)};
    EXPECT_EQ(formatDateTime(time), "0987-01-02T03:04:05-09:30");
    EXPECT_EQ(formatWallClock(time), "03:04:05");
}

TEST(Clock, CurrentDateTimeHasTheFullPattern) {
    std::string now = currentDateTime();
    ASSERT_EQ(now.size(), 25u) << now;
    EXPECT_EQ(now[10], 'T');
    EXPECT_EQ(now[22], ':');
    EXPECT_TRUE(now[19] == '+' || now[19] == '-');
    EXPECT_EQ(currentWallClock().size(), 8u);
}
