// Builds NovAtel OEM4 binary frames: any message with any body, with a good
// or a deliberately wrong CRC, and the six logs the converter reads from
// their fields. Used by the tests, the benchmark and the sample generator.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace frames {

// Header fields a caller may want to set; the rest are plausible constants.
struct header {
    std::uint16_t week = 2345;
    std::uint32_t msec = 0;
    std::uint8_t msgtype = 0; // binary, original message
    std::uint8_t port = 0x20; // COM1
    std::uint16_t sequence = 0;
    std::uint8_t timestatus = 180; // FINESTEERING
};

// Little-endian body writer.
struct body {
    std::string bytes;
    body& u8(std::uint8_t v);
    body& u16(std::uint16_t v);
    body& i16(std::int16_t v) { return u16(static_cast<std::uint16_t>(v)); }
    body& u32(std::uint32_t v);
    body& i32(std::int32_t v) { return u32(static_cast<std::uint32_t>(v)); }
    body& f32(float v);
    body& f64(double v);
    body& zeros(std::size_t n);
};

// A whole frame: header, body, CRC. With good_crc false the CRC is wrong.
std::string frame(std::uint16_t id, const std::string& body, const header& h = {},
                  bool good_crc = true);

// The CRC of a frame with a message length that disagrees with the body is
// still computed over all its bytes: useful for frames that lie.
std::string frame_with_length(std::uint16_t id, std::uint16_t msglen, const std::string& body,
                              const header& h = {});

struct bestpos {
    std::uint32_t solstat = 0;
    std::uint32_t postype = 16;
    double lat = 0, lon = 0, height = 0;
    float undulation = 0;
    std::uint8_t svs = 10;   // tracked
    std::uint8_t svused = 8; // used in the solution
};
std::string make(const bestpos& v, const header& h = {});

struct bestvel {
    std::uint32_t solstat = 0;
    std::uint32_t veltype = 16;
    double speed = 0, track = 0, vspeed = 0;
};
std::string make(const bestvel& v, const header& h = {});

// The record count written into a SATVIS or TRACKSTAT header: by default
// the number of records given, or any other value for frames that lie.
constexpr std::int32_t real_count = INT32_MIN;

struct satellite {
    std::int16_t prn;
    double elevation, azimuth;
};
std::string make_satvis(const std::vector<satellite>& sats, const header& h = {},
                        std::int32_t count = real_count);

struct channel {
    std::int16_t prn;
    std::uint32_t status;
    float cno;
};
std::string make_trackstat(const std::vector<channel>& chans, const header& h = {},
                           std::int32_t count = real_count);

struct time {
    double clockoff = 0, utcoffset = -18;
    std::uint32_t year = 2026;
    std::uint8_t month = 12, day = 7, hour = 12, minute = 34;
    std::uint32_t msec = 56700;
    std::uint32_t status = 1;
};
std::string make(const time& v, const header& h = {});

std::string make_psrdop(float hdop, const header& h = {}, int nprn = 8);

// A frame with the short header (sync AA 44 13, one byte of body length,
// id, week, milliseconds): the body must be at most 255 bytes.
std::string short_frame(std::uint16_t id, const std::string& body, const header& h = {},
                        bool good_crc = true);

// The body of a whole frame of either header.
std::string body_of(const std::string& frame);

// INSPVA (507) and INSPVAS (508, which receivers send with the short header).
struct inspva {
    double lat = 0, lon = 0, height = 0; // height above the ellipsoid
    double vnorth = 0, veast = 0, vup = 0;
    double roll = 0, pitch = 0, azimuth = 0;
    std::uint32_t status = 3; // INS_SOLUTION_GOOD
};
std::string make(const inspva& v, const header& h = {}, std::uint16_t id = 507);
std::string make_short(const inspva& v, const header& h = {}, std::uint16_t id = 508);

// INSPVAX (1465).
struct inspvax {
    std::uint32_t status = 3;
    std::uint32_t postype = 56;          // INS_RTKFIXED
    double lat = 0, lon = 0, height = 0; // height above sea level
    float undulation = 0;
    double vnorth = 0, veast = 0, vup = 0;
    double roll = 0, pitch = 0, azimuth = 0;
    float sdlat = 0.02f, sdlon = 0.03f, sdheight = 0.05f;
};
std::string make(const inspvax& v, const header& h = {});

// BESTXYZ (241): Earth-centred position.
struct bestxyz {
    std::uint32_t solstat = 0;
    std::uint32_t postype = 16;
    double x = 0, y = 0, z = 0;
    std::uint8_t svs = 10, svused = 8;
};
std::string make(const bestxyz& v, const header& h = {});

// SATVIS2 (1043): the satellites of one system (0 GPS, 1 GLONASS, 2 SBAS,
// 5 Galileo, 6 BeiDou, 7 QZSS, 9 NavIC) with their receiver numbers.
std::string make_satvis2(std::uint32_t system, const std::vector<satellite>& sats,
                         const header& h = {}, std::int32_t count = real_count);

// HEADING (971) or HEADING2 (1335): a dual-antenna heading, degrees.
std::string make_heading(float heading, const header& h = {}, std::uint16_t id = 971,
                         std::uint32_t solstat = 0);

// PSRDOP2 (1163), with one system's TDOP.
std::string make_psrdop2(float pdop, float hdop, float vdop, const header& h = {});

} // namespace frames
