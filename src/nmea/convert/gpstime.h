// GPS time (week and seconds) to the UTC date and time of day of a fix.
#pragma once

#include <cstdint>

struct nmeastate;

// Sets the fix time of the state to the instant `week` weeks and x = tow +
// utcoffset seconds (that double's exact value) after the GPS epoch, rounded
// to whole milliseconds (halves upward) and cut to hundredths; a rounding
// that reaches the next second carries as far as it goes. The date of the
// day is kept in the state's lastday for the fixes that follow on that day.
void set_fix_time(nmeastate& s);
