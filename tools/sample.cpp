#include "sample.h"

#include "frames.h"

#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

namespace {

// A vehicle survey near Calgary: three minutes from GPS week 2448, second
// 131700 (2026-12-07 12:34:42 UTC), position and velocity at 4 Hz, the
// other logs once a second.
constexpr std::uint16_t week = 2448;
constexpr std::uint32_t start_ms = 131700000;
constexpr int seconds = 180;
constexpr int rate = 4;
constexpr double pi = 3.14159265358979323846;

struct sky_sat {
    std::int16_t prn;
    double elevation, azimuth; // at the start, degrees
    double rise;               // elevation change per minute
};

const sky_sat sky[] = {
    {2, 63.2, 41.5, 0.21},    {5, 12.8, 301.7, -0.15},  {12, 48.9, 122.4, 0.18},
    {13, 27.3, 215.0, -0.22}, {15, 71.6, 278.9, -0.05}, {18, 5.6, 88.3, 0.24},
    {20, 34.1, 160.2, 0.11},  {24, 18.4, 252.6, -0.19}, {25, 55.7, 333.1, 0.07},
    {29, 2.1, 14.8, -0.12},   {31, -3.4, 191.0, 1.6},
};

// Raw draws only: the engine's numbers are the same on every platform,
// unlike the standard distributions'.
struct draws {
    std::mt19937 rng{20261207};
    double unit() { return rng() / 4294967296.0; } // [0, 1)
    double around(double v, double d) { return v + d * (2 * unit() - 1); }
    int below(int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); }
};

frames::header at(std::uint32_t ms, std::uint16_t seq = 0)
{
    frames::header h;
    h.week = week;
    h.msec = ms;
    h.sequence = seq;
    return h;
}

std::string range_log(draws& d, std::uint32_t ms)
{
    // An unrelated log of the receiver's: the converter skips it.
    frames::body b;
    b.u32(8);
    for (int i = 0; i < 8; ++i)
        b.u16(static_cast<std::uint16_t>(sky[i].prn))
            .u16(0)
            .f64(2.1e7 + 1e5 * d.unit())
            .f32(0.05f)
            .f64(-1.1e8 * d.unit())
            .f32(0.01f)
            .f32(-1500)
            .f32(45)
            .f32(1234)
            .u32(0x08109c04);
    return frames::frame(43, b.bytes, at(ms));
}

// The receiver's text mode turned a line feed of a frame into CR LF, as
// happens when a log is captured through a text-mode port.
std::string newline_damage(std::string f)
{
    for (std::size_t i = 28; i < f.size(); ++i)
        if (f[i] == '\n') {
            f.insert(i, "\r");
            return f;
        }
    f[40] = '\n';
    f.insert(40, "\r");
    return f;
}

} // namespace

std::string make_sample()
{
    draws d;
    std::string log;
    log += "\r\n<OK\r\n[COM1]";
    std::string version(4 + 108, '\0'); // VERSION: one component, type GPSCARD
    version[0] = 1;
    version[4] = 1;
    log += frames::frame(37, version, at(start_ms - 500));

    const double lat0 = 51.0447, lon0 = -114.0719;
    const double heading = 72.5, speed = 6.2; // degrees, m/s
    double lat = lat0, lon = lon0;
    std::uint16_t seq = 0;

    for (int sec = 0; sec < seconds; ++sec) {
        std::uint32_t ms0 = start_ms + 1000u * static_cast<std::uint32_t>(sec);

        // Once a second: TIME (not valid at first), PSRDOP, SATVIS + TRACKSTAT, RANGE.
        frames::time t;
        t.status = sec < 3 ? 0 : 1;
        t.clockoff = d.around(-4.5e-9, 1.5e-9);
        t.utcoffset = -18.0;
        std::uint32_t utc_ms = ms0 - 18000; // the week began on Sunday 6 December
        std::uint32_t in_day = utc_ms % 86400000u;
        t.year = 2026, t.month = 12;
        t.day = static_cast<std::uint8_t>(6 + utc_ms / 86400000u);
        t.hour = static_cast<std::uint8_t>(in_day / 3600000u);
        t.minute = static_cast<std::uint8_t>(in_day / 60000u % 60u);
        t.msec = in_day % 60000u;
        log += frames::make(t, at(ms0));

        log += frames::make_psrdop(static_cast<float>(d.around(0.85, 0.1)), at(ms0), 9);

        std::vector<frames::satellite> vis;
        std::vector<frames::channel> chans;
        for (const sky_sat& s : sky) {
            double el = s.elevation + s.rise * sec / 60.0;
            double az = std::fmod(s.azimuth + 0.004 * sec, 360.0);
            vis.push_back({s.prn, el, az});
            if (el < 0)
                continue;
            float cno = static_cast<float>(d.around(30 + el / 4.5, 1.5));
            chans.push_back({s.prn, 0x08109c04, cno});        // L1 C/A
            chans.push_back({s.prn, 0x01303c0b, cno - 6.5f}); // L2, never the C/No of GSV
        }
        chans.push_back({0, 0x00000000, 0}); // an idle channel
        if (sec % 20 == 7)
            chans.push_back({12, 0x00600000, 20}); // a channel still locking
        std::string satvis = frames::make_satvis(vis, at(ms0));
        std::string trackstat = frames::make_trackstat(chans, at(ms0));
        if (sec == 41)
            satvis = newline_damage(satvis); // lost; GSV waits a second
        log += satvis;
        if (sec % 30 == 15)
            log += "<OK\r\n[COM1]";
        log += trackstat;
        log += range_log(d, ms0);

        for (int k = 0; k < rate; ++k) {
            std::uint32_t ms = ms0 + 1000u / rate * static_cast<std::uint32_t>(k);
            double step = speed / rate;
            lat += step * std::cos(heading * pi / 180) / 111132.0;
            lon += step * std::sin(heading * pi / 180) / (111320.0 * std::cos(lat0 * pi / 180));

            frames::bestpos p;
            p.lat = d.around(lat, 2e-7);
            p.lon = d.around(lon, 2e-7);
            p.height = d.around(1048.3, 0.02);
            p.undulation = -16.9f;
            p.postype = sec < 20 ? 16 : sec < 40 ? 34 : 50; // single, float, fixed
            p.solstat = (sec >= 100 && sec < 102) ? 1 : 0;  // two seconds without a solution
            p.svs = 10;
            p.svused = static_cast<std::uint8_t>(sec < 20 ? 8 : 9);
            std::string pos = frames::make(p, at(ms, seq++));

            frames::bestvel v;
            v.speed = d.around(speed, 0.05);
            v.track = d.around(heading, 0.3);
            v.vspeed = d.around(0, 0.02);
            v.solstat = p.solstat;
            std::string vel = frames::make(v, at(ms, seq++));

            if (sec == 63 && k == 2)
                pos[60] = static_cast<char>(pos[60] ^ 0x40); // a bit error: CRC fails
            if (sec == 128 && k == 1)
                vel.resize(40); // cut short by a dropout
            log += pos + vel;
        }
    }
    // The recording ends inside a frame.
    log += frames::make(frames::bestpos{}, at(start_ms + seconds * 1000u)).substr(0, 57);
    return log;
}
