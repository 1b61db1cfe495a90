#include "gpstime.h"

#include "../state.h"

#include <cmath>
#include <cstring>

namespace {

constexpr std::int64_t week_ms = 604800000;
constexpr std::int64_t day_ms = 86400000;
constexpr std::int64_t epoch_day = 722820; // 1980-01-06, counting 0001-01-01 as day 1

// First day of month i (3 = March ... 14 = February) within a year that
// begins on 1 March.
constexpr std::int64_t month_start(std::int64_t i)
{
    return (306 * (i + 1)) / 10 - 122;
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

// The proleptic Gregorian date of a day counted from the GPS epoch.
void date_of(std::int64_t days, daydate& c)
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

} // namespace

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
        date_of(d, last);
        last.dayno = d;
        last.known = true;
    }
    s.year = last.year;
    s.month = last.month;
    s.day = last.day;
    s.hour = ms / 3600000;
    s.minute = ms / 60000 % 60;
    s.second = ms / 1000 % 60;
    s.hsec = ms % 1000 / 10;
}
