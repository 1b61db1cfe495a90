#include "gpstime.h"

#include "../state.h"

#include <cmath>
#include <cstring>

namespace {

constexpr std::int64_t week_seconds = 604800;
constexpr std::int64_t day_seconds = 86400;
constexpr std::int64_t week_ms = 604800000;
constexpr std::int64_t day_ms = 86400000;
constexpr std::int64_t epoch_day = 722820; // 1980-01-06, counting 0001-01-01 as day 1

// First day of month i (3 = March ... 14 = February) within a year that
// begins on 1 March.
constexpr std::int64_t month_start(std::int64_t i)
{
    return (306 * (i + 1)) / 10 - 122;
}

// std::floor, without a library call for the values a time takes: below
// 2^52 a double's whole part fits 64 bits exactly.
double floor_of(double x)
{
    if (!(std::fabs(x) < 4503599627370496.0))
        return std::floor(x);
    auto t = static_cast<double>(static_cast<std::int64_t>(x));
    if (t > x)
        t -= 1.0;
    return t == 0.0 ? x * 0.0 : t; // floor(-0.0) is -0.0
}

std::int64_t floor_div(std::int64_t a, std::int64_t b)
{
    std::int64_t q = a / b;
    return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

// ⌊x · 1000 + ½⌋: x in whole milliseconds, rounded to nearest with halves
// upward, exactly, from the double's binary value. x = ±m · 2^e with m below
// 2^53, so ⌊x · 2000⌋ is ±m · 2000 (below 2^64) shifted right by -e, with
// one more down for a negative x that the shift cuts; and
// ⌊x · 1000 + ½⌋ = ⌊(⌊x · 2000⌋ + 1) / 2⌋. A time of a fix is far within
// 2^40 s; anything beyond is taken as 2^40 s, so no double is undefined here.
std::int64_t round_ms(double x)
{
    constexpr double bound = 1099511627776.0; // 2^40
    if (!(std::fabs(x) < bound))
        x = x > 0.0 ? bound : -bound;
    std::uint64_t bits;
    std::memcpy(&bits, &x, sizeof bits);
    bool neg = (bits >> 63) != 0;
    int bexp = static_cast<int>(bits >> 52) & 0x7FF;
    std::uint64_t m = bits & ((std::uint64_t(1) << 52) - 1);
    int shift = 1074; // -e for a subnormal
    if (bexp != 0) {
        m |= std::uint64_t(1) << 52;
        shift = 1075 - bexp; // 13 or more below the bound
    }
    std::uint64_t a = m * 2000;
    std::uint64_t q = shift < 64 ? a >> shift : 0;
    bool cut = shift < 64 ? (a & ((std::uint64_t(1) << shift) - 1)) != 0 : a != 0;
    auto twice = static_cast<std::int64_t>(q); // ⌊|x| · 2000⌋
    if (neg)
        twice = -twice - (cut ? 1 : 0);
    return floor_div(twice + 1, 2);
}

// Days since the GPS epoch of the instant `week` weeks and `x` seconds after
// it. Whole seconds are 64-bit: instants after 2048 stay exact.
std::int64_t day_of(std::int32_t week, double x)
{
    std::int64_t s = week * week_seconds + static_cast<std::int64_t>(floor_of(x));
    return floor_div(s, day_seconds);
}

// The proleptic Gregorian date of a day counted from the GPS epoch.
void date_of(std::int64_t days, calendar& c)
{
    std::int64_t a = days + epoch_day + 305; // days since 1 March of year 0
    std::int64_t q400 = a / 146097, e = a % 146097;
    std::int64_t q100 = e / 36524, r = e % 36524;
    std::int64_t q4 = r / 1461, f = r % 1461;
    std::int64_t g = 400 * q400 + 100 * q100 + 4 * q4 + f / 365;
    std::int64_t doy = a - (365 * g + g / 4 - g / 100 + g / 400);
    if (doy == -1) { // 29 February closing a 4- or 400-year cycle
        g -= 1;
        doy = 365;
    }
    std::int64_t i = 3;
    while (i < 14 && doy >= month_start(i + 1))
        ++i;
    c.day = static_cast<std::int32_t>(doy - month_start(i) + 1);
    c.month = static_cast<std::int32_t>(i > 12 ? i - 12 : i);
    c.year = static_cast<std::int32_t>(i > 12 ? g + 1 : g);
}

// The time of day, from x alone: a week is a whole number of days.
void time_of(double x, calendar& c)
{
    double fd = x / 86400.0;
    double day = floor_of(fd);
    double h = (fd - day) * 24.0;
    // A negative x a hair before midnight can make the fraction of fd round
    // up to a whole day (24 h), and a tiny one can make fd underflow to -0,
    // a day after the date's day; either way the instant is the end of the
    // date's day: 23:59 and 60 s, which the rounding to hundredths carries
    // into 00:00:00.00 of the next day.
    if (h >= 24.0 || day != static_cast<double>(
                                floor_div(static_cast<std::int64_t>(floor_of(x)), day_seconds))) {
        c.hour = 23;
        c.minute = 59;
        c.second = 60.0;
        return;
    }
    double m = (h - floor_of(h)) * 60.0;
    c.hour = static_cast<std::int32_t>(h);
    c.minute = static_cast<std::int32_t>(m);
    c.second = (m - floor_of(m)) * 60.0;
}

} // namespace

calendar gps_to_calendar(std::int32_t week, double x)
{
    calendar c;
    date_of(day_of(week, x), c);
    time_of(x, c);
    return c;
}

void set_fix_time(nmeastate& s)
{
    // Whole milliseconds since the GPS epoch, then the day and the time of
    // day from them in whole numbers: the rounding is that of the exact value
    // of x, and a rounding that reaches the next second carries into the
    // minute, hour, day, month and year by itself.
    double x = s.tow + s.utcoffset;
    std::int64_t t = s.week * week_ms + round_ms(x);
    std::int64_t d = floor_div(t, day_ms);
    auto ms = static_cast<std::int32_t>(t - d * day_ms);
    daydate& last = s.lastday;
    if (!last.known || last.dayno != d) {
        calendar c;
        date_of(d, c);
        last = {d, c.year, c.month, c.day, true};
    }
    s.year = last.year;
    s.month = last.month;
    s.day = last.day;
    s.hour = ms / 3600000;
    s.minute = ms / 60000 % 60;
    s.second = ms / 1000 % 60;
    s.hsec = ms % 1000 / 10;
}
