// Whole numbers from doubles that a log may carry: any double at all.
#pragma once

#include <cstdint>

// Drops the fraction (truncation toward zero); NaN gives 0 and values beyond
// the 32-bit range give its nearest end, so no double is undefined here.
inline std::int32_t to_i32(double v)
{
    if (!(v == v))
        return 0;
    if (v >= 2147483647.0)
        return INT32_MAX;
    if (v <= -2147483648.0)
        return INT32_MIN;
    return static_cast<std::int32_t>(v);
}
