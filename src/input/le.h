// Little-endian loads and stores of byte buffers, independent of the host's byte
// order and alignment.
#pragma once

#include <cstdint>
#include <cstring>

inline std::uint16_t ld_u16(const std::uint8_t* p)
{
    return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}

inline std::int16_t ld_i16(const std::uint8_t* p)
{
    return static_cast<std::int16_t>(ld_u16(p));
}

inline std::uint32_t ld_u32(const std::uint8_t* p)
{
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
           std::uint32_t(p[3]) << 24;
}

inline std::int32_t ld_i32(const std::uint8_t* p)
{
    return static_cast<std::int32_t>(ld_u32(p));
}

inline std::uint64_t ld_u64(const std::uint8_t* p)
{
    return std::uint64_t(ld_u32(p)) | std::uint64_t(ld_u32(p + 4)) << 32;
}

inline float ld_f32(const std::uint8_t* p)
{
    std::uint32_t u = ld_u32(p);
    float f;
    std::memcpy(&f, &u, sizeof f);
    return f;
}

inline double ld_f64(const std::uint8_t* p)
{
    std::uint64_t u = ld_u64(p);
    double d;
    std::memcpy(&d, &u, sizeof d);
    return d;
}

// Little-endian stores, the counterparts of the loads.
inline void st_u16(std::uint8_t* p, std::uint16_t v)
{
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}

inline void st_u32(std::uint8_t* p, std::uint32_t v)
{
    st_u16(p, static_cast<std::uint16_t>(v));
    st_u16(p + 2, static_cast<std::uint16_t>(v >> 16));
}
