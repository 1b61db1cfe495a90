// GPS time (week and seconds) to UTC calendar date and time of day.
#pragma once

#include <cstdint>

struct nmeastate;

struct calendar {
    std::int32_t year, month, day, hour, minute;
    double second; // seconds within the minute, 0 to below 60 (60 for the
                   // last instant of a day that rounds to the next)
};

// The date and time of the instant `week` weeks and `x` seconds after the
// GPS epoch (1980-01-06 00:00:00). x may be negative or beyond a week; any
// UTC offset is already added to it. x must be finite and within some
// decades of its week (as tow plus a bounded offset always is).
calendar gps_to_calendar(std::int32_t week, double x);

struct daydate;

// The same, reusing the date kept in `last` while the day does not change,
// and keeping the new one there when it does.
calendar gps_to_calendar(std::int32_t week, double x, daydate& last);

// Sets the fix time of the state from week, tow and utcoffset, rounded to
// whole milliseconds and cut to hundredths, with the carry into the next
// minute when the rounding reaches 60 s.
void set_fix_time(nmeastate& s);
