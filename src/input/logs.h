// The logs the converter reads: one row each in `logs`, from which the store,
// the frame length limits, the summary and the hints all take what they
// need; then each log's byte layout as the conversion reads it, and the
// position types.
//
// Every log is kept as a frame with the long binary header, whatever form it
// came in: 28 header bytes (sync AA 44 12 1C, header length, message id at 4,
// message length at 8, GPS week at 14, milliseconds at 16, the rest of no
// use here), then the body; a frame as read ends in a CRC-32 of everything
// before it.
#pragma once

#include "le.h"

#include <cstdint>

constexpr int frame_header = 28;
constexpr int frame_crc = 4;

// Message ids of the logs the converter reads.
enum msgid : std::uint16_t {
    id_bestpos = 42,
    id_satvis = 48,
    id_trackstat = 83,
    id_bestvel = 99,
    id_time = 101,
    id_psrdop = 174,
    id_bestxyz = 241,
    id_inspva = 507,
    id_inspvas = 508,
    id_heading = 971,
    id_satvis2 = 1043,
    id_psrdop2 = 1163,
    id_heading2 = 1335,
    id_inspvax = 1465,
};

// A log's row in the table, in the order of the summary.
enum logname : int {
    log_bestpos,
    log_bestvel,
    log_satvis,
    log_trackstat,
    log_time,
    log_psrdop,
    log_inspva,
    log_inspvas,
    log_inspvax,
    log_bestxyz,
    log_psrdop2,
    log_satvis2,
    log_heading,
    log_heading2,
    nlogs
};

// A frame must be shorter than frame_limit, except SATVIS and TRACKSTAT
// frames, which may be as long as their store slots hold (up to 512 records):
// receivers with many channels write them well beyond 4 KB.
constexpr int frame_limit = 4096;

struct loginfo {
    std::uint16_t id;
    const char* name; // as the receiver names it, without a form's letter
    bool allonly;     // read only with /all
    int longest;      // the longest frame accepted, CRC included
    int slot;         // bytes its store slot keeps of a frame (the CRC never)
};

constexpr loginfo logs[nlogs] = {
    {id_bestpos, "BESTPOS", false, frame_limit - 1, 100},
    {id_bestvel, "BESTVEL", false, frame_limit - 1, 72},
    {id_satvis, "SATVIS", false, 20524, 20520},
    {id_trackstat, "TRACKSTAT", false, 20528, 20524},
    {id_time, "TIME", false, frame_limit - 1, 72},
    {id_psrdop, "PSRDOP", false, frame_limit - 1, 2104},
    {id_inspva, "INSPVA", true, frame_limit - 1, frame_header + 88},
    {id_inspvas, "INSPVAS", true, frame_limit - 1, frame_header + 88},
    {id_inspvax, "INSPVAX", true, frame_limit - 1, frame_header + 128},
    {id_bestxyz, "BESTXYZ", true, frame_limit - 1, frame_header + 112},
    {id_psrdop2, "PSRDOP2", true, frame_limit - 1, frame_header + 48},
    {id_satvis2, "SATVIS2", true, frame_limit - 1, frame_limit - frame_crc},
    {id_heading, "HEADING", true, frame_limit - 1, frame_header + 48},
    {id_heading2, "HEADING2", true, frame_limit - 1, frame_header + 48},
};

// Every id of the table lies below id_room.
constexpr int id_room = 2048;

namespace logtable {
struct rows {
    std::int8_t of[id_room];
};
constexpr rows by_id()
{
    rows t{};
    for (std::int8_t& r : t.of)
        r = -1;
    for (int k = 0; k < nlogs; ++k)
        t.of[logs[k].id] = static_cast<std::int8_t>(k);
    return t;
}
constexpr rows rows_by_id = by_id();

constexpr int longest()
{
    int m = 0;
    for (const loginfo& l : logs)
        m = l.longest > m ? l.longest : m;
    return m;
}
} // namespace logtable

// The table's row of a message id, or -1 for a log it does not hold.
inline int log_of(std::uint16_t id)
{
    return id < id_room ? logtable::rows_by_id.of[id] : -1;
}

// The longest frame accepted for a message id: its row's, or below
// frame_limit for a log the table does not hold.
inline int frame_max(std::uint16_t id)
{
    int k = log_of(id);
    return k < 0 ? frame_limit - 1 : logs[k].longest;
}

// The longest frame of any log: what a buffer for any frame must hold.
constexpr int frame_capacity = logtable::longest();

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
constexpr int inspva_needs = 88;
constexpr int inspvax_needs = 96;
constexpr int bestxyz_needs = 106;
constexpr int psrdop2_needs = 16;
constexpr int heading_needs = 16;
constexpr int satvis2_needs = 16;

inline bool holds(const std::uint8_t* f, int body)
{
    return msg_length(f) >= body;
}

// Position (solution) types of BESTPOS, as the receiver numbers them.
enum postype : std::uint32_t {
    pos_none = 0,
    pos_fixedpos = 1,
    pos_fixedheight = 2,
    pos_doppler_velocity = 8,
    pos_single = 16,
    pos_psrdiff = 17,
    pos_waas = 18,
    pos_propagated = 19,
    pos_omnistar = 20,
    pos_l1_float = 32,
    pos_ionofree_float = 33,
    pos_narrow_float = 34,
    pos_l1l2_float = 35,
    pos_l1l2_int = 46,
    pos_l1l2_int_verified = 47,
    pos_l1_int = 48,
    pos_wide_int = 49,
    pos_narrow_int = 50,
    pos_rtk_direct_ins = 51,
    pos_ins_sbas = 52,
    pos_ins_psrsp = 53,
    pos_ins_psrdiff = 54,
    pos_ins_rtkfloat = 55,
    pos_ins_rtkfixed = 56,
    pos_ins_omnistar = 57,
    pos_ins_omnistar_hp = 58,
    pos_ins_omnistar_xp = 59,
    pos_omnistar_hp = 64,
    pos_omnistar_xp = 65,
    pos_cdgps = 66,
    pos_ext_constrained = 67,
    pos_ppp_converging = 68,
    pos_ppp = 69,
    pos_operational = 70,
    pos_warning = 71,
    pos_out_of_bounds = 72,
    pos_ins_ppp_converging = 73,
    pos_ins_ppp = 74,
    pos_ppp_plus = 75,
    pos_ins_ppp_plus = 76,
    pos_ppp_basic_converging = 77,
    pos_ppp_basic = 78,
    pos_ins_ppp_basic_converging = 79,
    pos_ins_ppp_basic = 80,
};

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

// BESTPOS's standard deviations of latitude, longitude and height, metres.
struct sigmas {
    float lat, lon, height;
};

inline sigmas read_bestpos_sd(const std::uint8_t* f)
{
    return {ld_f32(f + 68), ld_f32(f + 72), ld_f32(f + 76)};
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

// PSRDOP: PDOP at body offset 4, then after HDOP and others the count of
// satellites at 24 and their PRNs (4 bytes each) from 28.
constexpr int psrdop_fixed = 28; // body bytes before the PRNs
constexpr int psrdop_max = 512;  // PRNs a slot holds
inline float read_pdop(const std::uint8_t* f)
{
    return ld_f32(f + 32);
}
inline std::uint32_t psrdop_count(const std::uint8_t* f)
{
    return ld_u32(f + 52);
}
inline std::uint32_t psrdop_prn(const std::uint8_t* f, int i)
{
    return ld_u32(f + frame_header + psrdop_fixed + 4 * i);
}

// The GPS time of a frame's header: week and milliseconds into the week.
inline std::uint16_t header_week(const std::uint8_t* f)
{
    return ld_u16(f + 14);
}
inline std::uint32_t header_msec(const std::uint8_t* f)
{
    return ld_u32(f + 16);
}

// INS status values of a usable solution: high variance (2), solution good
// (3), solution free of GNSS updates, i.e. dead reckoning (6), alignment
// complete (7).
inline bool ins_good(std::uint32_t status)
{
    return status == 2 || status == 3 || status == 6 || status == 7;
}

// INSPVA and INSPVAS: the same body.
struct inspva_log {
    double lat, lon, height;   // degrees, degrees, metres above the ellipsoid
    double vnorth, veast, vup; // m/s
    double azimuth;            // degrees
    std::uint32_t status;      // INS status
};

inline inspva_log read_inspva(const std::uint8_t* f)
{
    const std::uint8_t* b = f + frame_header;
    return {ld_f64(b + 12), ld_f64(b + 20), ld_f64(b + 28), ld_f64(b + 36),
            ld_f64(b + 44), ld_f64(b + 52), ld_f64(b + 76), ld_u32(b + 84)};
}

struct inspvax_log {
    std::uint32_t status; // INS status
    std::uint32_t postype;
    double lat, lon, height; // degrees, degrees, metres above sea level
    float undulation;        // metres
    double vnorth, veast, vup;
    double azimuth;
    float sdlat, sdlon, sdheight; // standard deviations, metres
};

inline inspvax_log read_inspvax(const std::uint8_t* f)
{
    const std::uint8_t* b = f + frame_header;
    return {ld_u32(b),      ld_u32(b + 4),  ld_f64(b + 8),  ld_f64(b + 16), ld_f64(b + 24),
            ld_f32(b + 32), ld_f64(b + 36), ld_f64(b + 44), ld_f64(b + 52), ld_f64(b + 76),
            ld_f32(b + 84), ld_f32(b + 88), ld_f32(b + 92)};
}

struct bestxyz_log {
    std::uint32_t solstat;
    std::uint32_t postype;
    double x, y, z; // metres, Earth-centred
    std::uint8_t svused;
};

inline bestxyz_log read_bestxyz(const std::uint8_t* f)
{
    const std::uint8_t* b = f + frame_header;
    return {ld_u32(b), ld_u32(b + 4), ld_f64(b + 8), ld_f64(b + 16), ld_f64(b + 24), b[105]};
}

struct psrdop2_log {
    float pdop, hdop, vdop;
};

inline psrdop2_log read_psrdop2(const std::uint8_t* f)
{
    const std::uint8_t* b = f + frame_header;
    return {ld_f32(b + 4), ld_f32(b + 8), ld_f32(b + 12)};
}

// HEADING and HEADING2: solution status, and the heading at body offset 12.
struct heading_log {
    std::uint32_t solstat;
    float heading; // degrees
};

inline heading_log read_heading(const std::uint8_t* f)
{
    return {ld_u32(f + frame_header), ld_f32(f + frame_header + 12)};
}

// SATVIS2: the satellite system at body offset 0, a count at 12, then
// 40-byte records from 16.
constexpr int satvis2_fixed = 16;
struct satvis2_rec {
    std::uint16_t id;
    double elevation, azimuth; // degrees
};

inline std::uint32_t satvis2_system(const std::uint8_t* f)
{
    return ld_u32(f + frame_header);
}
inline std::uint32_t satvis2_count(const std::uint8_t* f)
{
    return ld_u32(f + frame_header + 12);
}
inline satvis2_rec read_satvis2(const std::uint8_t* f, int i)
{
    const std::uint8_t* r = f + frame_header + satvis2_fixed + 40 * i;
    return {ld_u16(r), ld_f64(r + 8), ld_f64(r + 16)};
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
