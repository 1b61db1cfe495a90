// GPS time to the UTC time of a fix, over every value a log can give: week
// 0 to 65535, milliseconds 0 to 2^32 - 1, and an offset that is finite and
// within 2^31 s. Checks: every field is in its range, and the time written
// is within 10 ms (below) of the exact instant.
#include "nmea/convert/gpstime.h"
#include "nmea/state.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// Days from 1970-01-01 to a proleptic Gregorian date.
long long days_from_civil(long long y, unsigned m, unsigned d)
{
    y -= m <= 2;
    long long era = (y >= 0 ? y : y - 399) / 400;
    auto yoe = static_cast<unsigned>(y - era * 400);
    unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<long long>(doe) - 719468;
}

void fail(const char* why, const nmeastate& s, double offset)
{
    std::fprintf(stderr,
                 "%s: week %d tow %.17g offset %.17g -> %04d-%02d-%02d %02d:%02d:%02d.%02d\n", why,
                 s.week, s.tow, offset, s.year, s.month, s.day, s.hour, s.minute, s.second, s.hsec);
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 14)
        return 0;
    std::uint16_t week;
    std::uint32_t ms;
    double offset;
    std::memcpy(&week, data, 2);
    std::memcpy(&ms, data + 2, 4);
    std::memcpy(&offset, data + 6, 8);
    if (!std::isfinite(offset) || std::fabs(offset) > 2147483648.0)
        return 0;

    nmeastate s{};
    s.week = week;
    s.tow = ms / 1000.0;
    s.utcoffset = offset;
    set_fix_time(s);

    static const int mdays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (s.month < 1 || s.month > 12 || s.day < 1 || s.day > mdays[s.month - 1] || s.hour < 0 ||
        s.hour > 23 || s.minute < 0 || s.minute > 59 || s.second < 0 || s.second > 59 ||
        s.hsec < 0 || s.hsec > 99)
        fail("out of range", s, offset);
    bool leap = (s.year % 4 == 0 && s.year % 100 != 0) || s.year % 400 == 0;
    if (s.month == 2 && s.day == 29 && !leap)
        fail("29 February of a common year", s, offset);

    // Seconds since the GPS epoch, written and exact: the exact one from the
    // week, the milliseconds and the offset in long double, where they are
    // held exactly enough (the offset is a double, the rest whole numbers).
    long long days =
        days_from_civil(s.year, static_cast<unsigned>(s.month), static_cast<unsigned>(s.day)) -
        days_from_civil(1980, 1, 6);
    long double written =
        days * 86400.0L + s.hour * 3600.0L + s.minute * 60.0L + s.second + s.hsec / 100.0L;
    long double exact = week * 604800.0L + ms / 1000.0L + static_cast<long double>(offset);
    long double lag = exact - written;
    if (lag < -0.0005L - 1e-6L || lag > 0.01L + 1e-6L)
        fail("not within 10 ms of the exact instant", s, offset);
    return 0;
}
