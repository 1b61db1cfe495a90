#include "frames.h"

#include "input/crc.h"
#include "input/frame.h"

#include <cstring>

namespace frames {

body& body::u8(std::uint8_t v)
{
    bytes += static_cast<char>(v);
    return *this;
}

body& body::u16(std::uint16_t v)
{
    return u8(static_cast<std::uint8_t>(v)).u8(static_cast<std::uint8_t>(v >> 8));
}

body& body::u32(std::uint32_t v)
{
    return u16(static_cast<std::uint16_t>(v)).u16(static_cast<std::uint16_t>(v >> 16));
}

body& body::f32(float v)
{
    std::uint32_t u;
    std::memcpy(&u, &v, sizeof u);
    return u32(u);
}

body& body::f64(double v)
{
    std::uint64_t u;
    std::memcpy(&u, &v, sizeof u);
    return u32(static_cast<std::uint32_t>(u)).u32(static_cast<std::uint32_t>(u >> 32));
}

body& body::zeros(std::size_t n)
{
    bytes.append(n, '\0');
    return *this;
}

std::string frame_with_length(std::uint16_t id, std::uint16_t msglen, const std::string& b,
                              const header& h)
{
    body f;
    f.u8(0xAA).u8(0x44).u8(0x12).u8(28).u16(id).u8(h.msgtype).u8(h.port).u16(msglen);
    f.u16(h.sequence).u8(0).u8(h.timestatus).u16(h.week).u32(h.msec);
    f.u32(0).u16(0xBF30).u16(12345); // receiver status, reserved, software build
    f.bytes += b;
    auto crc = crc32(reinterpret_cast<const std::uint8_t*>(f.bytes.data()),
                     static_cast<int>(f.bytes.size()));
    f.u32(crc);
    return f.bytes;
}

std::string frame(std::uint16_t id, const std::string& b, const header& h, bool good_crc)
{
    std::string f = frame_with_length(id, static_cast<std::uint16_t>(b.size()), b, h);
    if (!good_crc)
        f[f.size() - 1] = static_cast<char>(f[f.size() - 1] ^ 0x5A);
    return f;
}

std::string make(const bestpos& v, const header& h)
{
    body b;
    b.u32(v.solstat).u32(v.postype).f64(v.lat).f64(v.lon).f64(v.height).f32(v.undulation);
    b.u32(61);                             // datum WGS84
    b.f32(1.5f).f32(1.2f).f32(3.1f);       // standard deviations
    b.bytes += std::string("\0\0\0\0", 4); // base station id
    b.f32(0).f32(0);                       // differential age, solution age
    b.u8(v.svs).u8(v.svused).u8(v.svused).u8(0).u8(0).u8(0).u8(0).u8(0x03);
    return frame(42, b.bytes, h);
}

std::string make(const bestvel& v, const header& h)
{
    body b;
    b.u32(v.solstat).u32(v.veltype).f32(0.15f).f32(0);
    b.f64(v.speed).f64(v.track).f64(v.vspeed).f32(0);
    return frame(99, b.bytes, h);
}

std::string make_satvis(const std::vector<satellite>& sats, const header& h, std::int32_t count)
{
    body b;
    b.u32(1).u32(1).i32(count == real_count ? static_cast<std::int32_t>(sats.size()) : count);
    for (const satellite& s : sats) {
        b.i16(s.prn).i16(0).u32(0).f64(s.elevation).f64(s.azimuth).f64(-1234.5).f64(-1230.25);
    }
    return frame(48, b.bytes, h);
}

std::string make_trackstat(const std::vector<channel>& chans, const header& h, std::int32_t count)
{
    body b;
    b.u32(0).u32(16).f32(5.0f).i32(count == real_count ? static_cast<std::int32_t>(chans.size())
                                                       : count);
    for (const channel& c : chans) {
        b.i16(c.prn).i16(0).u32(c.status).f64(21456789.125).f32(-1234.5f).f32(c.cno);
        b.f32(1234.0f).f32(0.25f).u32(0).f32(1.0f);
    }
    return frame(83, b.bytes, h);
}

std::string make(const time& v, const header& h)
{
    body b;
    b.u32(0).f64(v.clockoff).f64(1e-9).f64(v.utcoffset).u32(v.year);
    b.u8(v.month).u8(v.day).u8(v.hour).u8(v.minute).u32(v.msec).u32(v.status);
    return frame(101, b.bytes, h);
}

std::string make_psrdop(float hdop, const header& h, int nprn)
{
    body b;
    b.f32(hdop * 1.9f).f32(hdop * 1.6f).f32(hdop).f32(hdop * 1.3f).f32(hdop * 0.9f).f32(5.0f);
    b.u32(static_cast<std::uint32_t>(nprn));
    for (int i = 0; i < nprn; ++i)
        b.u32(static_cast<std::uint32_t>(2 + 3 * i));
    return frame(174, b.bytes, h);
}

std::string short_frame(std::uint16_t id, const std::string& b, const header& h, bool good_crc)
{
    body f;
    f.u8(0xAA).u8(0x44).u8(0x13).u8(static_cast<std::uint8_t>(b.size()));
    f.u16(id).u16(h.week).u32(h.msec);
    f.bytes += b;
    auto crc = crc32(reinterpret_cast<const std::uint8_t*>(f.bytes.data()), f.bytes.size());
    f.u32(good_crc ? crc : crc ^ 0x5A000000u);
    return f.bytes;
}

std::string body_of(const std::string& f)
{
    std::size_t head = f[2] == '\x13' ? 12 : 28;
    return f.substr(head, f.size() - head - 4);
}

namespace {
std::string inspva_body(const inspva& v, std::uint16_t week, std::uint32_t msec)
{
    body b;
    b.u32(week).f64(msec / 1000.0).f64(v.lat).f64(v.lon).f64(v.height);
    b.f64(v.vnorth).f64(v.veast).f64(v.vup).f64(v.roll).f64(v.pitch).f64(v.azimuth).u32(v.status);
    return b.bytes;
}
} // namespace

std::string make(const inspva& v, const header& h, std::uint16_t id)
{
    return frame(id, inspva_body(v, h.week, h.msec), h);
}

std::string make_short(const inspva& v, const header& h, std::uint16_t id)
{
    return short_frame(id, inspva_body(v, h.week, h.msec), h);
}

std::string make(const inspvax& v, const header& h)
{
    body b;
    b.u32(v.status).u32(v.postype).f64(v.lat).f64(v.lon).f64(v.height).f32(v.undulation);
    b.f64(v.vnorth).f64(v.veast).f64(v.vup).f64(v.roll).f64(v.pitch).f64(v.azimuth);
    b.f32(v.sdlat).f32(v.sdlon).f32(v.sdheight);
    b.f32(0.01f).f32(0.01f).f32(0.02f).f32(0.1f).f32(0.1f).f32(0.3f); // velocity, attitude
    b.u32(0).u16(0);                                                  // extended status, age
    return frame(1465, b.bytes, h);
}

std::string make(const bestxyz& v, const header& h)
{
    body b;
    b.u32(v.solstat).u32(v.postype).f64(v.x).f64(v.y).f64(v.z).f32(1.2f).f32(1.1f).f32(2.5f);
    b.u32(0).u32(8).f64(0.01).f64(-0.02).f64(0.005).f32(0.03f).f32(0.03f).f32(0.05f); // velocity
    b.bytes += std::string("\0\0\0\0", 4); // base station id
    b.f32(0.05f).f32(0).f32(0);            // latency, differential and solution age
    b.u8(v.svs).u8(v.svused).u8(v.svused).u8(v.svused).u8(0).u8(0).u8(0).u8(0x03);
    return frame(241, b.bytes, h);
}

std::string make_satvis2(std::uint32_t system, const std::vector<satellite>& sats, const header& h,
                         std::int32_t count)
{
    body b;
    b.u32(system).u32(1).u32(1);
    b.i32(count == real_count ? static_cast<std::int32_t>(sats.size()) : count);
    for (const satellite& s : sats)
        b.i16(s.prn).i16(0).u32(0).f64(s.elevation).f64(s.azimuth).f64(-1234.5).f64(-1230.25);
    return frame(1043, b.bytes, h);
}

std::string make_heading(float heading, const header& h, std::uint16_t id, std::uint32_t solstat)
{
    body b;
    b.u32(solstat).u32(50).f32(1.52f).f32(heading).f32(-0.5f).f32(0).f32(0.12f).f32(0.2f);
    b.bytes += std::string("R1\0\0", 4);
    if (id == 1335)
        b.bytes += std::string("M1\0\0", 4); // HEADING2 names both antennas' stations
    b.u8(18).u8(16).u8(16).u8(14).u8(0).u8(0).u8(0).u8(0x33);
    return frame(id, b.bytes, h);
}

std::string make_psrdop2(float pdop, float hdop, float vdop, const header& h)
{
    body b;
    b.f32(pdop * 1.1f).f32(pdop).f32(hdop).f32(vdop).u32(1).u32(0).f32(0.9f);
    return frame(1163, b.bytes, h);
}

} // namespace frames
