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

// Sets the fix time of the state to the instant `week` weeks and x = tow +
// utcoffset seconds (that double's exact value) after the GPS epoch, rounded
// to whole milliseconds (halves upward) and cut to hundredths; a rounding
// that reaches the next second carries as far as it goes. The date of the
// day is kept in the state's lastday for the fixes that follow on that day.
void set_fix_time(nmeastate& s);
