// The leap-second table: GPS - UTC at and around each of its steps.
#include "nmea/convert/leaps.h"

#include <gtest/gtest.h>

namespace {

// Days from 1980-01-06 to a date, counted a month at a time (a different
// count from the table's own).
std::int64_t days_since_gps_epoch(int y, int m, int d)
{
    static const int month_days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    auto leap = [](int yy) { return (yy % 4 == 0 && yy % 100 != 0) || yy % 400 == 0; };
    std::int64_t days = 0;
    for (int yy = 1980; yy < y; ++yy)
        days += leap(yy) ? 366 : 365;
    for (int mm = 1; mm < m; ++mm)
        days += month_days[mm - 1] + (mm == 2 && leap(y) ? 1 : 0);
    return days + d - 6;
}

// The UTC dates at whose start GPS - UTC became n (IERS bulletins C).
struct step {
    int y, m, d, n;
} const steps[] = {{1981, 7, 1, 1},  {1982, 7, 1, 2},  {1983, 7, 1, 3},  {1985, 7, 1, 4},
                   {1988, 1, 1, 5},  {1990, 1, 1, 6},  {1991, 1, 1, 7},  {1992, 7, 1, 8},
                   {1993, 7, 1, 9},  {1994, 7, 1, 10}, {1996, 1, 1, 11}, {1997, 7, 1, 12},
                   {1999, 1, 1, 13}, {2006, 1, 1, 14}, {2009, 1, 1, 15}, {2012, 7, 1, 16},
                   {2015, 7, 1, 17}, {2017, 1, 1, 18}};

TEST(leap_seconds, change_exactly_when_gps_time_reaches_each_step)
{
    for (const step& s : steps) {
        // The step's instant in GPS time: 00:00:00 UTC of its day, which
        // GPS time reaches n seconds later.
        std::int64_t at = (days_since_gps_epoch(s.y, s.m, s.d) * 86400 + s.n) * 1000;
        EXPECT_EQ(leap_seconds(at), s.n) << s.y << "-" << s.m;
        EXPECT_EQ(leap_seconds(at - 1), s.n - 1) << s.y << "-" << s.m;
        EXPECT_EQ(leap_seconds(at - 1000), s.n - 1) << s.y << "-" << s.m;
        EXPECT_EQ(leap_seconds(at + 86400000), s.n) << s.y << "-" << s.m;
    }
}

TEST(leap_seconds, known_instants)
{
    EXPECT_EQ(leap_seconds(0), 0); // the GPS epoch
    EXPECT_EQ(leap_seconds(-1), 0);
    EXPECT_EQ(leap_seconds(gps_ms(77, 0)), 0); // mid-1981, before the first step
    // 2017-01-01 is the first day of GPS week 1930: its 00:00:18 GPS is
    // 00:00:00 UTC with 18 s, and its 00:00:17 GPS also 00:00:00 UTC, with
    // the 17 s that held until then.
    EXPECT_EQ(leap_seconds(gps_ms(1930, 17999)), 17);
    EXPECT_EQ(leap_seconds(gps_ms(1930, 18000)), 18);
    // The last value holds for every later date, up to the end of the
    // 16-bit week.
    EXPECT_EQ(leap_seconds(gps_ms(2448, 131700000)), 18);
    EXPECT_EQ(leap_seconds(gps_ms(65535, 4294967295u)), 18);
}

} // namespace
