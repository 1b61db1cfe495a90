// GPS week and seconds to the UTC time of a fix, against an oracle of the
// date and time of day.
#include "nmea/convert/gpstime.h"
#include "nmea/state.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <random>
#include <tuple>

namespace {

std::int64_t floor_div(std::int64_t a, std::int64_t b)
{
    std::int64_t q = a / b;
    return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

// The oracle: the date and time of day of the instant `week` weeks and `x`
// seconds after the GPS epoch (1980-01-06 00:00:00), x finite and within
// 2^52 s. The whole seconds, the day and the time of day are whole numbers,
// the date comes by years that begin on 1 March, and the fraction of the
// second is x less its floor: exact but for an x between -1 and 0, where
// the double may round it up to 1.
struct calendar {
    std::int32_t year, month, day, hour, minute;
    double second; // 0 to below 60 (60 for an x a hair below 0)
};

calendar gps_to_calendar(std::int32_t week, double x)
{
    double whole = std::floor(x);
    std::int64_t s = week * std::int64_t(604800) + static_cast<std::int64_t>(whole);
    std::int64_t days = floor_div(s, 86400), sod = s - days * 86400;
    calendar c;
    c.hour = static_cast<std::int32_t>(sod / 3600);
    c.minute = static_cast<std::int32_t>(sod / 60 % 60);
    c.second = static_cast<double>(sod % 60) + (x - whole);
    // Days since 1 March of year 0 (1980-01-06 is day 722820 counting
    // 0001-01-01 as day 1), in cycles of 400, 100, 4 and 1 years.
    std::int64_t a = days + 722820 + 305;
    std::int64_t q400 = a / 146097, e = a % 146097;
    std::int64_t q100 = e / 36524, r = e % 36524;
    std::int64_t q4 = r / 1461, f = r % 1461;
    std::int64_t g = 400 * q400 + 100 * q100 + 4 * q4 + f / 365;
    std::int64_t doy = a - (365 * g + g / 4 - g / 100 + g / 400);
    if (doy == -1) { // 29 February closing a 4- or 400-year cycle
        g -= 1;
        doy = 365;
    }
    auto month_start = [](std::int64_t i) { return (306 * (i + 1)) / 10 - 122; };
    std::int64_t i = 3; // March ... 14 = February
    while (i < 14 && doy >= month_start(i + 1))
        ++i;
    c.day = static_cast<std::int32_t>(doy - month_start(i) + 1);
    c.month = static_cast<std::int32_t>(i > 12 ? i - 12 : i);
    c.year = static_cast<std::int32_t>(i > 12 ? g + 1 : g);
    return c;
}

std::string fix_time(std::int32_t week, double tow, double utcoffset)
{
    nmeastate s{};
    s.week = week, s.tow = tow, s.utcoffset = utcoffset;
    set_fix_time(s);
    char buf[64];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d.%02d", s.year, s.month, s.day,
                  s.hour, s.minute, s.second, s.hsec);
    return buf;
}

TEST(gpstime, fix_times)
{
    struct row {
        std::int32_t week;
        double tow, offset;
        const char* want;
    } rows[] = {
        {0, 0.0, 0.0, "1980-01-06 00:00:00.00"},
        {1, 0.0, -16.0, "1980-01-12 23:59:44.00"},
        {1721, 15.5, -16.0, "2012-12-29 23:59:59.50"},
        {0, 0.0, -16.0, "1980-01-05 23:59:44.00"},
        {1677, 302400.0, 0.0, "2012-02-29 12:00:00.00"},
        {1051, 172800.0, 0.0, "2000-02-29 00:00:00.00"},
        {1721, 172799.0, 0.0, "2012-12-31 23:59:59.00"},
        {1721, 172799.9996, 0.0, "2013-01-01 00:00:00.00"},
        {1721, 59.995, 0.0, "2012-12-30 00:00:59.99"},
        {1721, 59.9996, 0.0, "2012-12-30 00:01:00.00"},
        {1721, 86399.9994, 0.0, "2012-12-30 23:59:59.99"},
        {1721, 12.3456, 0.0, "2012-12-30 00:00:12.34"},
        {3550, 443647.0, 0.0, "2048-01-24 03:14:07.00"},
        // Past the 32-bit count of seconds.
        {3550, 443648.0, 0.0, "2048-01-24 03:14:08.00"},
        {3550, 443647.9996, 0.0, "2048-01-24 03:14:08.00"},
        {65535, 604799.999, 0.0, "3236-01-12 23:59:59.99"},
        // The carry with a negative offset across a year end.
        {2399, 345617.9996, -18.0, "2026-01-01 00:00:00.00"},
        {2399, 345617.9994, -18.0, "2025-12-31 23:59:59.99"},
        {2399, 345618.9996, -18.0, "2026-01-01 00:00:01.00"},
    };
    for (const row& r : rows)
        EXPECT_EQ(fix_time(r.week, r.tow, r.offset), r.want) << r.week << " " << r.tow;
}

// Days from 1970-01-01 to a civil date, written independently of the
// converter's March-year cycles.
std::int64_t days_from_civil(std::int64_t y, int m, int d)
{
    static const int before[] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};
    auto leaps = [](std::int64_t yy) { return yy / 4 - yy / 100 + yy / 400; };
    bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    return (y - 1970) * 365 + (leaps(y - 1) - leaps(1969)) + before[m - 1] + (m > 2 && leap) + d -
           1;
}

TEST(gpstime, dates_agree_with_an_independent_count_of_days)
{
    std::mt19937_64 rng(42);
    const std::int64_t epoch = days_from_civil(1980, 1, 6);
    for (int i = 0; i < 200000; ++i) {
        auto week = static_cast<std::int32_t>(rng() % 65536);
        double x = static_cast<double>(rng() % 1209600) - 302400.0 + (rng() % 1000) / 1000.0;
        calendar c = gps_to_calendar(week, x);
        ASSERT_GE(c.month, 1);
        ASSERT_LE(c.month, 12);
        ASSERT_GE(c.day, 1);
        std::int64_t s = week * 604800LL + static_cast<std::int64_t>(std::floor(x));
        std::int64_t days = s >= 0 ? s / 86400 : -((-s + 86399) / 86400);
        ASSERT_EQ(days_from_civil(c.year, c.month, c.day) - epoch, days)
            << week << " " << x << " -> " << c.year << "-" << c.month << "-" << c.day;
        double sod = static_cast<double>(s - days * 86400) + (x - std::floor(x));
        ASSERT_EQ(c.hour * 3600.0 + c.minute * 60.0 + c.second, sod) << week << " " << x;
        ASSERT_LT(c.second, 60.0);
        ASSERT_LT(c.minute, 60);
    }
}

// Whole hours and midnights are exact, on any day of the week and days
// before or after it: 43200 s is 12:00:00, 86400 s the next day's 00:00:00.
TEST(gpstime, whole_hours_and_midnights)
{
    const std::int64_t start = days_from_civil(2024, 12, 15); // week 2345 begins
    for (std::int64_t h = -50; h <= 8 * 24 + 50; ++h) {
        for (std::int32_t week : {2345, 2344}) {
            double x = static_cast<double>(h * 3600 + (2345 - week) * 604800);
            calendar c = gps_to_calendar(week, x);
            EXPECT_EQ(days_from_civil(c.year, c.month, c.day) - start, floor_div(h, 24)) << x;
            EXPECT_EQ(c.hour, floor_div(h, 24) * -24 + h) << x;
            EXPECT_EQ(c.minute, 0) << x;
            EXPECT_EQ(c.second, 0.0) << x;
        }
    }
    calendar noon = gps_to_calendar(2345, 43200.0), next = gps_to_calendar(2345, 86400.0);
    EXPECT_EQ(std::make_tuple(noon.day, noon.hour, noon.minute, noon.second),
              std::make_tuple(15, 12, 0, 0.0));
    EXPECT_EQ(std::make_tuple(next.day, next.hour, next.minute, next.second),
              std::make_tuple(16, 0, 0, 0.0));
}

// The time of a fix agrees with the oracle at times whose fraction of a
// second is a whole number of milliseconds in binary (eighths), over any
// week and offsets of days either way.
TEST(gpstime, fix_times_agree_with_the_oracle)
{
    std::mt19937_64 rng(3);
    for (int i = 0; i < 200000; ++i) {
        auto week = static_cast<std::int32_t>(rng() % 65536);
        double x = static_cast<double>(static_cast<std::int64_t>(rng() % 2419200) - 907200) +
                   static_cast<double>(rng() % 8) / 8.0;
        double offset = -static_cast<double>(rng() % 40);
        calendar c = gps_to_calendar(week, x);
        auto sec = static_cast<int>(c.second);
        char want[64];
        std::snprintf(want, sizeof want, "%04d-%02d-%02d %02d:%02d:%02d.%02d", c.year, c.month,
                      c.day, c.hour, c.minute, sec, static_cast<int>((c.second - sec) * 100));
        ASSERT_EQ(fix_time(week, x - offset, offset), want) << week << " " << x;
    }
}

// The date kept for the fixes of one day gives exactly what converting each
// fix afresh gives, over runs of fixes that stay on a day, cross midnight
// either way, and jump by weeks.
TEST(gpstime, the_date_kept_between_fixes_changes_nothing)
{
    std::mt19937_64 rng(7);
    nmeastate kept{};
    std::int32_t week = 2000;
    double tow = 86000.0;
    for (int i = 0; i < 300000; ++i) {
        switch (rng() % 50) {
        case 0: week = static_cast<std::int32_t>(rng() % 65536); break;
        case 1: tow = static_cast<double>(rng() % 604800); break;
        case 2: tow -= 400.0; break;
        default: tow += (rng() % 400) / 20.0; break;
        }
        kept.week = week, kept.tow = tow, kept.utcoffset = -18.0 + (rng() % 3) * 1e-9;
        nmeastate fresh{};
        fresh.week = week, fresh.tow = tow, fresh.utcoffset = kept.utcoffset;
        set_fix_time(kept);
        set_fix_time(fresh);
        ASSERT_EQ(std::make_tuple(kept.year, kept.month, kept.day, kept.hour, kept.minute,
                                  kept.second, kept.hsec),
                  std::make_tuple(fresh.year, fresh.month, fresh.day, fresh.hour, fresh.minute,
                                  fresh.second, fresh.hsec))
            << week << " " << tow;
    }
}

// An instant a hair before midnight is 00:00:00.00 of the next day: the
// fraction of the day must not round up to 24 h, and a tiny negative time
// must not lose a whole day.
TEST(gpstime, a_hair_before_midnight_is_the_next_midnight)
{
    // Week 2345 begins on Sunday 15 December 2024.
    EXPECT_EQ(fix_time(2345, 18.0, -18.0 - 1e-13), "2024-12-15 00:00:00.00");
    EXPECT_EQ(fix_time(2345, 0.0, -1e-320), "2024-12-15 00:00:00.00");
    EXPECT_EQ(fix_time(2345, 0.0, -4.9e-324), "2024-12-15 00:00:00.00");
    EXPECT_EQ(fix_time(2345, 86400.0, std::nextafter(-0.0, -1.0)), "2024-12-16 00:00:00.00");
    EXPECT_EQ(fix_time(2345, 0.0, -1e-9), "2024-12-15 00:00:00.00");
    EXPECT_EQ(fix_time(2345, 0.0, -0.0004), "2024-12-15 00:00:00.00");
    EXPECT_EQ(fix_time(2345, 0.0, -0.004), "2024-12-14 23:59:59.99");
    // Every time just short of a midnight, over the days of a week.
    for (int day = 1; day <= 7; ++day) {
        double midnight = 86400.0 * day;
        double below = std::nextafter(midnight, 0.0);
        char want[32];
        std::snprintf(want, sizeof want, "2024-12-%02d 00:00:00.00", 15 + day);
        EXPECT_EQ(fix_time(2345, below, 0.0), want) << day;
        EXPECT_EQ(fix_time(2345, midnight, std::nextafter(-0.0, -1.0)), want) << day;
    }
}

} // namespace
