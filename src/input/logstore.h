// The log store: the latest frame of each of the six logs the conversion
// uses, with a fresh mark, and a count of the frames of each; and the byte
// layouts of those logs as the conversion reads them.
#pragma once

#include "le.h"

#include <cstdint>

enum msgid : std::uint16_t {
    id_bestpos = 42,
    id_satvis = 48,
    id_trackstat = 83,
    id_bestvel = 99,
    id_time = 101,
    id_psrdop = 174,
};

// A slot holds a frame without its CRC, from its first sync byte on. Its
// first byte is 0xAA while it holds a frame the conversion has not used, 0
// once used. Bytes beyond a shorter frame keep what an earlier one left.
struct logstore {
    std::uint8_t bestpos[100];
    std::uint8_t bestvel[72];
    std::uint8_t satvis[20520];
    std::uint8_t trackstat[20524];
    std::uint8_t time[72];
    std::uint8_t psrdop[2104];
    std::int32_t nbestpos;
    std::int32_t nbestvel;
    std::int32_t nsatvis;
    std::int32_t ntrackstat;
    std::int32_t npsrdop;
    std::int32_t ntime;
};

constexpr std::uint8_t fresh = 0xAA;

// Copies a good frame of one of the six logs into its slot (cut to the slot
// when longer) and counts it; any other message id is ignored.
void store_frame(logstore& s, const std::uint8_t* frame, int framelen);

// Fields of a stored frame, by their offsets from the first sync byte.

inline std::uint16_t msg_length(const std::uint8_t* f)
{
    return ld_u16(f + 8);
}

// Body bytes a reader of each fixed-layout log needs: a shorter frame of
// that log holds only part of its fields (the rest of the slot is left over
// from older frames), so it is not read.
constexpr int bestpos_needs = 66;
constexpr int bestvel_needs = 40;
constexpr int time_needs = 44;
constexpr int psrdop_needs = 12;

inline bool holds(const std::uint8_t* f, int body)
{
    return msg_length(f) >= body;
}

struct bestpos_log {
    std::uint16_t week;
    std::uint32_t msec; // milliseconds into the GPS week
    std::uint32_t solstat;
    std::uint32_t postype;
    double lat, lon, height; // degrees, degrees, metres
    float undulation;        // metres
    std::uint8_t svused;
};

inline bestpos_log read_bestpos(const std::uint8_t* f)
{
    return {ld_u16(f + 14), ld_u32(f + 16), ld_u32(f + 28), ld_u32(f + 32), ld_f64(f + 36),
            ld_f64(f + 44), ld_f64(f + 52), ld_f32(f + 60), f[93]};
}

struct bestvel_log {
    std::uint32_t solstat;
    double hspeed, track, vspeed; // m/s, degrees, m/s
};

inline bestvel_log read_bestvel(const std::uint8_t* f)
{
    return {ld_u32(f + 28), ld_f64(f + 44), ld_f64(f + 52), ld_f64(f + 60)};
}

struct time_log {
    double clockoff, utcoff; // seconds
    std::uint32_t year;
    std::uint8_t month, day, hour, minute;
    std::uint32_t msec;   // milliseconds within the minute
    std::uint32_t status; // 1: valid
};

inline time_log read_time(const std::uint8_t* f)
{
    return {ld_f64(f + 32), ld_f64(f + 48), ld_u32(f + 56), f[60],         f[61],
            f[62],          f[63],          ld_u32(f + 64), ld_u32(f + 68)};
}

inline float read_hdop(const std::uint8_t* f)
{
    return ld_f32(f + 36);
}

// SATVIS: a count at 36, then 40-byte records from 40.
constexpr int satvis_first = 40;
constexpr int satvis_fixed = 12; // body bytes before the records
struct satvis_rec {
    std::int16_t prn;
    double elevation, azimuth; // degrees
};

inline std::int32_t satvis_count(const std::uint8_t* f)
{
    return ld_i32(f + 36);
}

inline satvis_rec read_satvis(const std::uint8_t* f, int i)
{
    const std::uint8_t* r = f + satvis_first + 40 * i;
    return {ld_i16(r), ld_f64(r + 8), ld_f64(r + 16)};
}

// TRACKSTAT: a count at 40, then 40-byte records from 44.
constexpr int trackstat_first = 44;
constexpr int trackstat_fixed = 16;
struct trackstat_rec {
    std::int16_t prn;
    std::uint32_t status; // channel tracking status bits
    float cno;            // dB-Hz
};

inline std::int32_t trackstat_count(const std::uint8_t* f)
{
    return ld_i32(f + 40);
}

inline trackstat_rec read_trackstat(const std::uint8_t* f, int i)
{
    const std::uint8_t* r = f + trackstat_first + 40 * i;
    return {ld_i16(r), ld_u32(r + 4), ld_f32(r + 20)};
}
