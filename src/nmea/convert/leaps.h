// GPS time minus UTC: the leap seconds that UTC has taken since the GPS
// epoch (1980-01-06). The table in leaps.cpp is the one place that holds
// them; a new leap second needs a new entry there.
#pragma once

#include <cstdint>

// Milliseconds of GPS time since the GPS epoch.
inline std::int64_t gps_ms(std::uint32_t week, std::uint32_t msec)
{
    return static_cast<std::int64_t>(week) * 604800000 + msec;
}

// GPS - UTC in whole seconds at GPS time t (milliseconds since the GPS
// epoch): n of the latest step of the table whose instant t has reached.
// A step to n at UTC date D takes effect at GPS time D + n seconds.
std::int32_t leap_seconds(std::int64_t t);
