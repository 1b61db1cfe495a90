#include "leaps.h"

#include <cstddef>

namespace {

// Days from 1980-01-06 to the given date of the proleptic Gregorian calendar.
constexpr std::int64_t days_to(std::int64_t y, std::int64_t m, std::int64_t d)
{
    // Days since 0000-03-01, with the year starting in March.
    auto since_march = [](std::int64_t yy, std::int64_t mm, std::int64_t dd) {
        yy -= mm <= 2 ? 1 : 0;
        std::int64_t mp = (mm + 9) % 12; // March 0 ... February 11
        return 365 * yy + yy / 4 - yy / 100 + yy / 400 + (153 * mp + 2) / 5 + dd - 1;
    };
    return since_march(y, m, d) - since_march(1980, 1, 6);
}

struct step {
    std::int64_t utc_day; // the day, from the GPS epoch, whose 00:00:00 UTC it starts at
    std::int32_t n;       // GPS - UTC from then on, seconds
};

// Every leap second since the GPS epoch. The last value holds for every
// later date until a new entry is added here.
constexpr step steps[] = {
    {days_to(1981, 7, 1), 1},  {days_to(1982, 7, 1), 2},  {days_to(1983, 7, 1), 3},
    {days_to(1985, 7, 1), 4},  {days_to(1988, 1, 1), 5},  {days_to(1990, 1, 1), 6},
    {days_to(1991, 1, 1), 7},  {days_to(1992, 7, 1), 8},  {days_to(1993, 7, 1), 9},
    {days_to(1994, 7, 1), 10}, {days_to(1996, 1, 1), 11}, {days_to(1997, 7, 1), 12},
    {days_to(1999, 1, 1), 13}, {days_to(2006, 1, 1), 14}, {days_to(2009, 1, 1), 15},
    {days_to(2012, 7, 1), 16}, {days_to(2015, 7, 1), 17}, {days_to(2017, 1, 1), 18},
};

static_assert(days_to(1980, 1, 6) == 0 && days_to(1981, 7, 1) == 542, "day count");

} // namespace

std::int32_t leap_seconds(std::int64_t t)
{
    for (std::size_t i = sizeof steps / sizeof steps[0]; i-- > 0;)
        if (t >= (steps[i].utc_day * 86400 + steps[i].n) * 1000)
            return steps[i].n;
    return 0;
}
