// Sentences byte for byte, with their checksums and line ends.
#include "nmea/sentences/writer.h"
#include "nmea/state.h"
#include "output.h"
#include "support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>

namespace {

// 12:34:56.70 UTC on 7 December 2026 at 35°07.40736' N, 139°39.25926' E.
nmeastate fix()
{
    nmeastate s{};
    s.hour = 12, s.minute = 34, s.second = 56, s.hsec = 70;
    s.day = 7, s.month = 12, s.year = 2026;
    s.latdeg = 35, s.latmin = 7.40736, s.latns = 'N';
    s.londeg = 139, s.lonmin = 39.25926, s.lonew = 'E';
    s.quality = 1, s.svused = 8;
    s.hdop = 0.9, s.hashdop = 1;
    s.height = 45.678, s.undulation = 36.7;
    s.speed = 1.5, s.track = 271.26, s.hasvel = 1;
    s.zhour = 12, s.zminute = 34, s.zsecond = 56, s.zhsec = 70;
    s.zday = 7, s.zmonth = 12, s.zyear = 2026;
    return s;
}

TEST(writer, gga_with_and_without_hdop)
{
    nmeastate s = fix();
    outfile o;
    EXPECT_EQ(put_gga(s, o.out), 1);
    s.hashdop = 0;
    put_gga(s, o.out);
    EXPECT_EQ(o.text(),
              "$GPGGA,123456.70,3507.4074,N,13939.2593,E,1,08,0.9,45.68,M,36.70,M,,*5A\r\n"
              "$GPGGA,123456.70,3507.4074,N,13939.2593,E,1,08,,45.68,M,36.70,M,,*7D\r\n");
}

TEST(writer, gga_with_corrections_and_with_rtk_precision)
{
    nmeastate s = fix();
    s.quality = 4, s.hasage = 1, s.age = 3;
    std::memcpy(s.station, "129", 4);
    outfile o;
    put_gga(s, o.out);
    s.hasage = 0, s.ggartk = 1;
    std::memcpy(s.station, "TSTR", 4);
    put_gga(s, o.out);
    s.hasage = 1, s.age = 0;
    std::memset(s.station, 0, 4);
    put_gga(s, o.out);
    EXPECT_EQ(o.text(),
              "$GPGGA,123456.70,3507.4074,N,13939.2593,E,4,08,0.9,45.68,M,36.70,M,03,129*66\r\n"
              "$GPGGA,123456.70,3507.4073600,N,13939.2592600,E,4,08,0.9,45.678,M,36.70,M,,TSTR*"
              "6F\r\n"
              "$GPGGA,123456.70,3507.4073600,N,13939.2592600,E,4,08,0.9,45.678,M,36.70,M,00,*"
              "6E\r\n");
}

TEST(writer, rmc_with_and_without_velocity)
{
    nmeastate s = fix();
    outfile o;
    put_rmc(s, o.out);
    s.hasvel = 0;
    put_rmc(s, o.out);
    EXPECT_EQ(o.text(),
              "$GPRMC,123456.70,A,3507.4073600,N,13939.2592600,E,2.916,271.3,071226,,,*18\r\n"
              "$GPRMC,123456.70,A,3507.4073600,N,13939.2592600,E,,,071226,,,*13\r\n");
}

TEST(writer, zda)
{
    outfile o;
    put_zda(fix(), o.out);
    EXPECT_EQ(o.text(), "$GPZDA,123456.70,07,12,2026,,*64\r\n");
}

TEST(writer, minutes_round_in_the_print_without_carry_into_degrees)
{
    nmeastate s = fix();
    s.latmin = 59.99996;
    s.lonmin = 59.99999996;
    outfile o;
    put_gga(s, o.out);
    put_rmc(s, o.out);
    std::string t = o.text();
    EXPECT_NE(t.find(",3560.0000,N,"), std::string::npos) << t;
    EXPECT_NE(t.find(",13960.0000000,E,"), std::string::npos) << t;
}

TEST(writer, gsv_group_of_five)
{
    nmeastate s{};
    s.nsats = 5;
    s.sats[0] = {3, 45, 123, 40};
    s.sats[1] = {7, 12, 301, -1};
    s.sats[2] = {19, 67, 5, 0};
    s.sats[3] = {22, 8, 88, 33};
    s.sats[4] = {28, 30, 210, 45};
    outfile o;
    EXPECT_EQ(put_gsv(s, o.out), 2);
    EXPECT_EQ(o.text(), "$GPGSV,2,1,5,03,45,123,40,07,12,301,,19,67,005,,22,08,088,33*4B\r\n"
                        "$GPGSV,2,2,5,28,30,210,45*77\r\n");
}

TEST(writer, gsv_group_sizes)
{
    struct row {
        int nsats, sentences, after;
    } rows[] = {{0, 0, 0}, {4, 1, 4}, {5, 2, 5}, {36, 9, 36}, {40, 9, 36}, {128, 9, 36}};
    for (const row& r : rows) {
        nmeastate s{};
        for (int i = 0; i < max_sats; ++i)
            s.sats[i] = {i + 1, 10, 100, 30};
        s.nsats = r.nsats;
        outfile o;
        EXPECT_EQ(put_gsv(s, o.out), r.sentences) << r.nsats;
        EXPECT_EQ(s.nsats, r.after);
        std::string t = o.text();
        if (r.nsats == 4) {
            EXPECT_EQ(t, "$GPGSV,1,1,4,01,10,100,30,02,10,100,30,03,10,100,30,04,10,100,30*49\r\n");
        }
        if (r.nsats == 40) {
            EXPECT_EQ(t.substr(0, 14), "$GPGSV,9,1,36,");
        }
    }
}

TEST(writer, sentences_longer_than_their_bound_are_refused_not_cut)
{
    nmeastate s = fix();
    s.height = 1e300;
    outfile o;
    put_gga(s, o.out);
    s = fix();
    s.speed = -1e250;
    put_rmc(s, o.out);
    s = fix();
    s.latdeg = INT32_MIN, s.londeg = INT32_MIN, s.latmin = -1e90, s.lonmin = -1e90;
    put_rmc(s, o.out); // 254 characters would still fit; these do not
    EXPECT_EQ(o.text(), "");
    EXPECT_EQ(o.refused, 3);

    // A GSV slot that cannot fit its 31 characters takes its sentence with it;
    // the others are written and keep the group's count.
    nmeastate g{};
    g.nsats = 6;
    for (int i = 0; i < 6; ++i)
        g.sats[i] = {i + 1, 10, 100, 30};
    g.sats[1] = {-32768, INT32_MAX, INT32_MIN, INT32_MAX};
    EXPECT_EQ(put_gsv(g, o.out), 2);
    EXPECT_EQ(o.text(), "$GPGSV,2,2,6,05,10,100,30,06,10,100,30*4C\r\n");
    EXPECT_EQ(o.refused, 4);
}

TEST(writer, the_bound_is_254_characters_for_gga)
{
    // Without HDOP the GGA is a prefix, the height, and a suffix; a height
    // of 1.5e(k) prints as k + 1 digits and its decimals. With RTK
    // precision and the corrections' fields, the longest GGA there is, the
    // bound is the same.
    struct row {
        bool rtk;
        std::string prefix, suffix;
        int decimals;
    } rows[] = {
        {false, "$GPGGA,123456.70,3507.4074,N,13939.2593,E,1,08,,", ",M,36.70,M,,*", 2},
        {true, "$GPGGA,123456.70,3507.4073600,N,13939.2592600,E,1,08,,", ",M,36.70,M,99,TSTR*", 3},
    };
    for (const row& r : rows) {
        nmeastate s = fix();
        s.hashdop = 0;
        s.ggartk = r.rtk, s.hasage = r.rtk, s.age = 99;
        std::memcpy(s.station, r.rtk ? "TSTR" : "\0\0\0", 4);
        int k = 254 - static_cast<int>(r.prefix.size() + r.suffix.size()) - r.decimals - 2;
        outfile o;
        s.height = 1.5 * std::pow(10.0, k);
        put_gga(s, o.out);
        EXPECT_EQ(o.text().substr(0, r.prefix.size()), r.prefix);
        EXPECT_EQ(o.text().size(), 254u + 4u);
        s.height *= 10;
        put_gga(s, o.out);
        EXPECT_EQ(o.text().size(), 254u + 4u);
        EXPECT_EQ(o.refused, 1) << r.rtk;
    }
}

// Random conversion states, a good share of their values hostile: any bit
// pattern, NaN of either sign, infinities, the largest and the smallest
// doubles, powers of ten up to 1e299, and whole numbers of any size.
struct hostile {
    std::mt19937_64 rng;

    explicit hostile(std::uint64_t seed) : rng(seed) {}

    double any_double()
    {
        const double inf = std::numeric_limits<double>::infinity();
        const double nan = std::numeric_limits<double>::quiet_NaN();
        switch (rng() % 12) {
        case 0: {
            std::uint64_t bits = rng();
            double v;
            std::memcpy(&v, &bits, sizeof v);
            return v;
        }
        case 1: return std::pow(10.0, static_cast<double>(rng() % 300)) * (rng() % 2 ? 1 : -1);
        case 2: return rng() % 2 ? nan : -nan;
        case 3: return rng() % 2 ? inf : -inf;
        case 4: {
            const double edge[] = {DBL_MAX, -DBL_MAX, DBL_MIN, -5e-324, -0.0, 2147483648.0};
            return edge[rng() % 6];
        }
        default: return (static_cast<double>(rng() % 2000000) - 1000000.0) / 997.0;
        }
    }
    std::int32_t any_int()
    {
        switch (rng() % 8) {
        case 0: return static_cast<std::int32_t>(rng());
        case 1: return rng() % 2 ? INT32_MIN : INT32_MAX;
        default: return static_cast<std::int32_t>(rng() % 120);
        }
    }
    nmeastate state()
    {
        nmeastate s{};
        s.hour = any_int(), s.minute = any_int(), s.second = any_int(), s.hsec = any_int();
        s.latdeg = any_int(), s.londeg = any_int(), s.quality = any_int(), s.svused = any_int();
        s.day = any_int(), s.month = any_int(), s.year = any_int();
        s.zhour = any_int(), s.zminute = any_int(), s.zsecond = any_int(), s.zhsec = any_int();
        s.zday = any_int(), s.zmonth = any_int(), s.zyear = any_int();
        s.latmin = any_double(), s.lonmin = any_double(), s.hdop = any_double();
        s.height = any_double(), s.undulation = any_double(), s.speed = any_double();
        s.track = any_double();
        s.latns = rng() % 2 ? 'N' : 'S', s.lonew = rng() % 2 ? 'E' : 'W';
        s.hashdop = static_cast<std::int32_t>(rng() % 2);
        s.hasvel = static_cast<std::int32_t>(rng() % 2);
        // The corrections of a fix (a station of letters, digits and NULs
        // anywhere) and RTK precision.
        s.age = any_int(), s.hasage = rng() % 2, s.ggartk = rng() % 2;
        for (char& c : s.station)
            c = "\0\0TSTR0129az"[rng() % 12];
        s.nsats = static_cast<std::int32_t>(rng() % 45) - 2;
        for (int i = 0; i < s.nsats; ++i) {
            // SNR 0 or below: an empty field.
            std::int32_t snr = rng() % 4 ? any_int() : -static_cast<std::int32_t>(rng() % 6);
            s.sats[i] = {any_int(), any_int(), any_int(), snr};
        }
        // What /all adds: DOPs and the satellites of the solution, the
        // deviations of a fix, a heading; satellites known only from a
        // tracking channel.
        s.pdop = any_double(), s.vdop = any_double();
        s.ndopsats = static_cast<std::int32_t>(rng() % 15) - 1;
        for (std::int32_t& v : s.dopsats)
            v = any_int();
        s.sdlat = any_double(), s.sdlon = any_double(), s.sdheight = any_double();
        s.heading = any_double();
        for (int i = 0; i < s.nsats; ++i)
            if (rng() % 8 == 0)
                s.sats[i].elevation = no_elevation;
        return s;
    }
};

// What the C print makes of a format and its values.
std::string c_print(const char* fmt, ...)
{
    char buf[1024];
    va_list args;
    va_start(args, fmt);
    std::vsnprintf(buf, sizeof buf, fmt, args);
    va_end(args);
    return buf;
}

// The line of a sentence printed as text: empty when the text does not fit
// the print's bound (the NUL included), else the text without blanks, the
// exclusive OR of what stands between "$" and "*", CR LF.
std::string c_line(const std::string& text, std::size_t bound)
{
    if (text.size() >= bound)
        return "";
    std::string t;
    for (char c : text)
        if (c != ' ')
            t += c;
    unsigned x = 0;
    for (std::size_t i = 1; i + 1 < t.size(); ++i)
        x ^= static_cast<unsigned char>(t[i]);
    return t + c_print("%02X\r\n", x);
}

std::string c_gga(const nmeastate& s)
{
    int prec = s.ggartk ? 7 : 4, width = s.ggartk ? 10 : 7;
    std::string t =
        c_print("$GPGGA,%02d%02d%02d.%02d,%02d", s.hour, s.minute, s.second, s.hsec, s.latdeg) +
        c_fixed(s.latmin, prec, width) + c_print(",%c,%03d", s.latns, s.londeg) +
        c_fixed(s.lonmin, prec, width) + c_print(",%c,%d,%02d,", s.lonew, s.quality, s.svused) +
        (s.hashdop ? c_fixed(s.hdop, 1) : "") + "," + c_fixed(s.height, s.ggartk ? 3 : 2) + ",M," +
        c_fixed(s.undulation, 2) + ",M," + (s.hasage ? c_print("%02d", s.age) : "") +
        c_print(",%.4s*", s.station);
    return c_line(t, 255);
}

std::string c_rmc(const nmeastate& s)
{
    std::string t =
        c_print("$GPRMC,%02d%02d%02d.%02d,A,%02d", s.hour, s.minute, s.second, s.hsec, s.latdeg) +
        c_fixed(s.latmin, 7, 10) + c_print(",%c,%03d", s.latns, s.londeg) +
        c_fixed(s.lonmin, 7, 10) + c_print(",%c,", s.lonew) +
        (s.hasvel ? c_fixed(s.speed / 0.514444, 3) + "," + c_fixed(s.track, 1) : ",") +
        c_print(",%02d%02d%02d,,,*", s.day, s.month, s.year % 100);
    return c_line(t, 255);
}

std::string c_zda(const nmeastate& s)
{
    return c_line(c_print("$GPZDA,%02d%02d%02d.%02d,%02d,%02d,%04d,,*", s.zhour, s.zminute,
                          s.zsecond, s.zhsec, s.zday, s.zmonth, s.zyear),
                  256);
}

// A GSV group under GL of satellites numbered as they stand: a sentence
// with a slot longer than 31 characters is left out.
std::string c_glgsv(const nmeastate& s)
{
    int n = std::min(s.nsats, 36), total = (n + 3) / 4;
    std::string lines;
    for (int k = 1; k <= total; ++k) {
        std::string t = c_print("$GLGSV,%d,%d,%d", total, k, n);
        bool fit = true;
        for (int i = 4 * (k - 1); i < n && i < 4 * k; ++i) {
            const satinfo& v = s.sats[i];
            std::string slot = (v.elevation == no_elevation
                                    ? c_print(",%02d,,,", v.prn)
                                    : c_print(",%02d,%02d,%03d,", v.prn, v.elevation, v.azimuth)) +
                               (v.snr > 0 ? c_print("%02d", v.snr) : "");
            fit = fit && slot.size() <= 31;
            t += slot;
        }
        if (fit)
            lines += c_line(t + "*", 256);
    }
    return lines;
}

std::string c_gsa(const nmeastate& s)
{
    std::string t = c_print("$GPGSA,A,%d,", s.quality != 0 ? 3 : 1);
    for (int i = 0; i < 12; ++i)
        t += (i < s.ndopsats ? c_print("%02d", s.dopsats[i]) : "") + ",";
    t += c_fixed(s.pdop, 1) + "," + c_fixed(s.hdop, 1) + "," + c_fixed(s.vdop, 1) + "*";
    return c_line(t, 256);
}

std::string c_gst(const nmeastate& s)
{
    bool north = s.sdlat >= s.sdlon;
    std::string t = c_print("$GPGST,%02d%02d%02d.%02d,,", s.hour, s.minute, s.second, s.hsec) +
                    c_fixed(north ? s.sdlat : s.sdlon, 3) + "," +
                    c_fixed(north ? s.sdlon : s.sdlat, 3) + "," + (north ? "0.0," : "90.0,") +
                    c_fixed(s.sdlat, 3) + "," + c_fixed(s.sdlon, 3) + "," + c_fixed(s.sdheight, 3) +
                    "*";
    return c_line(t, 256);
}

std::string c_vtg(const nmeastate& s)
{
    return c_line("$GPVTG," + c_fixed(s.track, 1) + ",T,,M," + c_fixed(s.speed / 0.514444, 3) +
                      ",N," + c_fixed(s.speed * 3.6, 3) + ",K*",
                  256);
}

std::string c_hdt(const nmeastate& s)
{
    return c_line("$GPHDT," + c_fixed(s.heading, 2) + ",T*", 256);
}

// Every sentence kind, the function that keeps it, and the C print of the
// lines it gives (null where there is none to compare with).
struct kind {
    const char* name;
    int (*put)(nmeastate&, recbuf&);
    std::string (*c_lines)(const nmeastate&);
    bool refusals; // hostile values can exceed its bound
};
const kind kinds[] = {
    {"GGA", [](nmeastate& s, recbuf& o) { return put_gga(s, o); }, c_gga, true},
    {"RMC", [](nmeastate& s, recbuf& o) { return put_rmc(s, o); }, c_rmc, true},
    {"ZDA", [](nmeastate& s, recbuf& o) { return put_zda(s, o); }, c_zda, false},
    {"GPGSV", put_gsv, nullptr, true},
    {"GLGSV", [](nmeastate& s, recbuf& o) { return put_gsv_group("GL", s.sats, s.nsats, o); },
     c_glgsv, true},
    {"GSA", [](nmeastate& s, recbuf& o) { return put_gsa(s, o); }, c_gsa, true},
    {"GST", [](nmeastate& s, recbuf& o) { return put_gst(s, o); }, c_gst, true},
    {"VTG", [](nmeastate& s, recbuf& o) { return put_vtg(s, o); }, c_vtg, true},
    {"HDT", [](nmeastate& s, recbuf& o) { return put_hdt(s.heading, o); }, c_hdt, true},
};

// Every sentence kind alone, over hostile states: the text of its records
// is the C print of its format, and each sentence kept is written or
// refused.
TEST(writer, every_sentence_kind_prints_as_c_does)
{
    for (const kind& k : kinds) {
        SCOPED_TRACE(k.name);
        hostile h(29);
        outfile o;
        std::int64_t kept = 0, written = 0;
        for (int i = 0; i < 6000; ++i) {
            nmeastate s = h.state();
            nmeastate t = s;
            std::size_t at = o.written.size();
            kept += k.put(s, o.out);
            std::string got = o.text().substr(at);
            if (k.c_lines) {
                ASSERT_EQ(got, k.c_lines(t)) << i;
            }
            written += std::count(got.begin(), got.end(), '\n');
        }
        EXPECT_EQ(kept - o.refused, written);
        if (k.refusals) {
            EXPECT_GT(o.refused, 50);
        }
    }
}

// Records of every kind, mixed, formatted a buffer at a time as the
// formatter thread formats them: the same text as each formatted alone.
TEST(writer, mixed_records_formatted_in_buffers_give_the_text_of_each)
{
    hostile h(17);
    outfile mixed;
    std::string want;
    outfile alone; // each record alone, its text taken at once
    std::int64_t kept = 0, lines = 0;
    for (int i = 0; i < 30000; ++i) {
        nmeastate s = h.state();
        nmeastate t = s;
        const kind& k = kinds[h.rng() % (sizeof kinds / sizeof kinds[0])];
        kept += k.put(s, mixed.out);
        k.put(t, alone.out);
        want += alone.text();
        alone.written.clear();
        if (mixed.out.len > 3000)
            mixed.text();
    }
    std::string got = mixed.text();
    EXPECT_TRUE(got == want);
    lines = std::count(got.begin(), got.end(), '\n');
    EXPECT_EQ(kept - mixed.refused, lines);
    EXPECT_GT(mixed.refused, 100); // the hostile values did get refused
}

} // namespace
