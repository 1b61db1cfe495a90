#include "survey.h"

#include "asciienc.h"
#include "frames.h"

#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr double pi = 3.14159265358979323846;

struct draws {
    std::mt19937 rng{20261208};
    double unit() { return rng() / 4294967296.0; } // [0, 1)
    double around(double v, double d) { return v + d * (2 * unit() - 1); }
};

frames::header at(std::uint32_t week, std::uint32_t ms, std::uint16_t seq)
{
    frames::header h;
    h.week = static_cast<std::uint16_t>(week);
    h.msec = ms;
    h.sequence = seq;
    return h;
}

// Receiver numbers: GPS 1-32, GLONASS 38-61, SBAS 120-151.
const std::int16_t sky[] = {2,  5,  12, 13, 15, 18, 20, 24,  25,  29,
                            31, 40, 41, 47, 48, 55, 56, 131, 133, 138};

std::string unrelated(draws& d, std::uint16_t id, int records, const frames::header& h)
{
    frames::body b;
    b.u32(static_cast<std::uint32_t>(records));
    for (int i = 0; i < records; ++i)
        b.f64(2.1e7 + 1e5 * d.unit())
            .f64(-1.1e8 * d.unit())
            .f32(0.05f)
            .f32(45)
            .u32(0x08109c04)
            .u32(static_cast<std::uint32_t>(d.rng()));
    return frames::frame(id, b.bytes, h);
}

// The GPS time of a session, a second at a time, and where it is written.
struct session_clock {
    std::uint32_t week = 2448;
    std::uint32_t ms = 131700000; // 2026-12-07 12:34:42 UTC
    std::uint16_t seq = 0;
    std::size_t written = 0;
    bool ascii = false; // the logs written in the long ASCII form, as a receiver prints them

    frames::header next_at(std::uint32_t at_ms) { return at(week, at_ms, seq++); }
    frames::header next() { return next_at(ms); }
    // Writes a second's frames and goes on to the next second.
    bool second_done(std::FILE* out, const std::string& frames)
    {
        std::string s = ascii ? asciienc::render_all(frames, asciienc::form::long_ascii,
                                                     asciienc::style::receiver)
                              : frames;
        if (std::fwrite(s.data(), 1, s.size(), out) != s.size())
            return false;
        written += s.size();
        ms += 1000;
        if (ms >= 604800000u) {
            ms -= 604800000u;
            ++week;
        }
        return true;
    }
};

} // namespace

bool write_survey(std::FILE* out, std::size_t bytes)
{
    draws d;
    session_clock c;
    double lat = 51.0447, lon = -114.0719, heading = 72.5;
    for (long sec = 0; c.written < bytes; ++sec) {
        std::string s;
        frames::time t;
        std::uint32_t utc = c.ms - 18000;
        t.clockoff = d.around(-4.5e-9, 1.5e-9);
        t.year = 2026;
        t.month = 12;
        t.day = static_cast<std::uint8_t>(6 + utc / 86400000u % 7);
        t.hour = static_cast<std::uint8_t>(utc / 3600000u % 24);
        t.minute = static_cast<std::uint8_t>(utc / 60000u % 60);
        t.msec = utc % 60000u;
        s += frames::make(t, c.next());
        s += frames::make_psrdop(static_cast<float>(d.around(0.85, 0.1)), c.next(), 12);

        std::vector<frames::satellite> vis;
        std::vector<frames::channel> chans;
        for (std::size_t i = 0; i < sizeof sky / sizeof sky[0]; ++i) {
            double el = 45 + 40 * std::sin(sec / 3000.0 + i);
            double az = std::fmod(37.0 * i + sec / 120.0, 360.0);
            vis.push_back({sky[i], el, az});
            float cno = static_cast<float>(d.around(30 + el / 4.5, 1.5));
            chans.push_back({sky[i], 0x08109c04, cno});
            chans.push_back({sky[i], 0x01303c0b, cno - 6.5f});
        }
        s += frames::make_satvis(vis, c.next());
        s += frames::make_trackstat(chans, c.next());
        s += unrelated(d, 43, 16, c.next());
        if (sec % 30 == 0)
            s += unrelated(d, 41, 8, c.next());

        int rate = (sec / 60) % 2 == 0 ? 20 : 10;
        for (int k = 0; k < rate; ++k) {
            std::uint32_t fix = c.ms + static_cast<std::uint32_t>(1000 / rate * k);
            heading = std::fmod(heading + d.around(0, 0.5) + 360.0, 360.0);
            double step = 6.2 / rate;
            lat += step * std::cos(heading * pi / 180) / 111132.0;
            lon += step * std::sin(heading * pi / 180) / 70000.0;
            frames::bestpos p;
            p.lat = lat;
            p.lon = lon;
            p.height = d.around(1048.3, 2.0);
            p.undulation = -16.9f;
            p.postype = k % 7 == 0 ? 50 : 34;
            p.svused = 14;
            s += frames::make(p, c.next_at(fix));
            frames::bestvel v;
            v.speed = d.around(6.2, 0.05);
            v.track = heading;
            v.vspeed = d.around(0, 0.02);
            s += frames::make(v, c.next_at(fix));
        }
        if (!c.second_done(out, s))
            return false;
    }
    return true;
}

namespace {

bool write_today_as(std::FILE* out, std::size_t bytes, bool ascii)
{
    draws d;
    session_clock c;
    c.ascii = ascii;
    double lat = 51.0447, lon = -114.0719, heading = 72.5;
    // Satellites in view of each system, by the numbers SATVIS2 gives them,
    // and the receiver's own numbers in TRACKSTAT (GLONASS slot + 37).
    struct system {
        std::uint32_t satvis2, trackstat;
        std::vector<std::int16_t> ids;
        int prn_offset;
    } const systems[] = {{0, 0, {2, 5, 12, 13, 15, 18, 20, 24, 25, 29}, 0},
                         {1, 1, {3, 4, 10, 11, 19, 20}, 37},
                         {5, 3, {2, 7, 11, 26, 30, 33}, 0},
                         {6, 4, {6, 9, 16, 21, 39, 42, 45}, 0}};
    for (long sec = 0; c.written < bytes; ++sec) {
        std::string s;
        std::vector<frames::channel> chans;
        int i = 0;
        for (const system& sys : systems) {
            std::vector<frames::satellite> vis;
            for (std::int16_t id : sys.ids) {
                double el = 40 + 45 * std::sin(sec / 3000.0 + i);
                double az = std::fmod(37.0 * i + sec / 120.0, 360.0);
                vis.push_back({id, el, az});
                auto prn = static_cast<std::int16_t>(id + sys.prn_offset);
                float cno = static_cast<float>(d.around(30 + el / 4.5, 1.5));
                std::uint32_t status = 0x08109c04u | sys.trackstat << 16;
                chans.push_back({prn, status, cno});
                chans.push_back({prn, (status & ~0x08000000u) | 0x01200000u, cno - 6.5f});
                ++i;
            }
            s += frames::make_satvis2(sys.satvis2, vis, c.next());
        }
        s += frames::make_trackstat(chans, c.next());
        s += frames::make_psrdop2(static_cast<float>(d.around(1.4, 0.1)),
                                  static_cast<float>(d.around(0.8, 0.1)),
                                  static_cast<float>(d.around(1.1, 0.1)), c.next());
        s += unrelated(d, 43, 40, c.next());
        for (int k = 0; k < 50; ++k) {
            std::uint32_t fix = c.ms + static_cast<std::uint32_t>(20 * k);
            heading = std::fmod(heading + d.around(0, 0.1) + 360.0, 360.0);
            double step = 6.2 / 50;
            double vn = 6.2 * std::cos(heading * pi / 180), ve = 6.2 * std::sin(heading * pi / 180);
            lat += step * std::cos(heading * pi / 180) / 111132.0;
            lon += step * std::sin(heading * pi / 180) / 70000.0;
            frames::inspva v;
            v.lat = lat;
            v.lon = lon;
            v.height = d.around(1031.4, 0.05);
            v.vnorth = vn;
            v.veast = ve;
            v.vup = d.around(0, 0.02);
            v.azimuth = heading;
            s += frames::make_short(v, c.next_at(fix));
            if (k % 5 == 0) {
                frames::inspvax x;
                x.lat = lat;
                x.lon = lon;
                x.height = v.height + 16.9;
                x.undulation = -16.9f;
                x.vnorth = vn;
                x.veast = ve;
                x.azimuth = heading;
                s += frames::make(x, c.next_at(fix));
            }
            if (k == 0) {
                frames::bestpos p;
                p.lat = lat;
                p.lon = lon;
                p.height = v.height + 16.9;
                p.undulation = -16.9f;
                p.postype = 50;
                p.svused = 24;
                s += frames::make(p, c.next_at(fix));
                s += frames::make_heading(static_cast<float>(heading), c.next_at(fix), 1335);
            }
        }
        if (!c.second_done(out, s))
            return false;
    }
    return true;
}

} // namespace

bool write_today(std::FILE* out, std::size_t bytes)
{
    return write_today_as(out, bytes, false);
}

bool write_today_ascii(std::FILE* out, std::size_t bytes)
{
    return write_today_as(out, bytes, true);
}

void fill_noise(std::mt19937& rng, char* p, std::size_t n)
{
    for (std::size_t i = 0; i < n; ++i) {
        unsigned r = rng() % 100;
        p[i] = r < 10   ? '\xAA'
               : r < 15 ? '\x44'
               : r < 18 ? '\x12'
               : r < 20 ? '\x1C'
                        : static_cast<char>(rng());
    }
}

bool write_noise(std::FILE* out, std::size_t bytes)
{
    std::mt19937 rng(2);
    std::string s(1u << 20, '\0');
    for (std::size_t written = 0; written < bytes; written += s.size()) {
        fill_noise(rng, &s[0], s.size());
        std::size_t n = bytes - written < s.size() ? bytes - written : s.size();
        if (std::fwrite(s.data(), 1, n, out) != n)
            return false;
    }
    return true;
}
