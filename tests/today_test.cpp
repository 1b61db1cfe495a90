// Logs of today's receivers, read with /all: INS solutions, Earth-centred
// positions, PSRDOP2; one fix an epoch; dating by the leap-second table.
#include "frames.h"
#include "input/le.h"
#include "input/store.h"
#include "nmea/convert/convert.h"
#include "nmea/convert/ecef.h"
#include "nmea/state.h"
#include "output.h"
#include "support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <tuple>

namespace {

using frames::header;

struct today : testing::Test {
    std::unique_ptr<logstore> store{new logstore()};
    nmeastate s{};
    // /all, dated by the table; of the sentences /all adds, none (they are
    // tested on their own).
    nmeaopt opt = adds_none();
    static nmeaopt adds_none()
    {
        nmeaopt o;
        o.all = o.autoutc = true;
        o.gsa = o.gst = o.vtg = o.hdt = false;
        return o;
    }
    outfile out;
    std::size_t seen = 0;

    // Stores a frame and converts, as the pump does after every frame;
    // answers the sentences written.
    int feed(const std::string& f)
    {
        store_frame(*store, reinterpret_cast<const std::uint8_t*>(f.data()),
                    static_cast<int>(f.size()), opt.all);
        return out.written_by(convert(*store, s, out.out, opt));
    }
    // The fields of each line written since the last call.
    std::vector<std::vector<std::string>> fresh_lines()
    {
        std::string t = out.text();
        std::vector<std::vector<std::string>> v;
        for (std::size_t end; (end = t.find("\r\n", seen)) != std::string::npos; seen = end + 2)
            v.push_back(split_fields(t.substr(seen, end - seen - 3)));
        return v;
    }
};

// GPS week 2448 began 2026-12-06; 131714700 ms into it is 12:35:14.70 GPS,
// 12:34:56.70 UTC.
header at(std::uint32_t ms = 131714700, std::uint16_t week = 2448)
{
    header h;
    h.week = week;
    h.msec = ms;
    return h;
}

frames::inspvax moving()
{
    frames::inspvax x;
    x.postype = 55; // INS_RTKFLOAT: quality 5
    x.lat = -33.5;
    x.lon = 151.25;
    x.height = 40.125;
    x.undulation = 22.5f;
    x.vnorth = -3.0;
    x.veast = -4.0;
    x.azimuth = 233.5;
    return x;
}

TEST_F(today, an_inspvax_fix_is_a_whole_fix_with_its_velocity)
{
    EXPECT_EQ(feed(frames::make(moving(), at())), 2);
    auto l = fresh_lines();
    ASSERT_EQ(l.size(), 2u);
    EXPECT_EQ(l[0],
              (std::vector<std::string>{"$GPGGA", "123456.70", "3330.0000", "S", "15115.0000", "E",
                                        "5", "00", "", "40.12", "M", "22.50", "M", "", ""}));
    // 5 m/s (9.719 knots), track atan2(-4, -3) = 233.13 degrees.
    EXPECT_EQ(l[1][0], "$GPRMC");
    EXPECT_EQ(l[1][7], "9.719");
    EXPECT_EQ(l[1][8], "233.1");
    EXPECT_EQ(l[1][9], "071226");
    EXPECT_EQ(s.tableoffset, -18);

    // An INS status that is not a solution is no fix and no velocity.
    for (std::uint32_t status : {0u, 1u, 4u, 5u, 8u, 10u}) {
        frames::inspvax x = moving();
        x.status = status;
        x.vnorth = 100;
        EXPECT_EQ(feed(frames::make(x, at(131800000))), 0) << status;
        EXPECT_EQ(s.speed, 5.0) << status;
    }
}

// The INS statuses of a usable solution, high variance (2), good (3), dead
// reckoning (6) and alignment complete (7), make a fix from INSPVA,
// INSPVAS and INSPVAX alike; the others none.
TEST_F(today, ins_statuses_of_a_solution_make_a_fix_from_each_ins_log)
{
    std::uint32_t ms = 131714700;
    for (std::uint32_t status = 0; status <= 10; ++status) {
        int want = status == 2 || status == 3 || status == 6 || status == 7 ? 2 : 0;
        frames::inspvax x = moving();
        frames::inspva v;
        x.status = v.status = status;
        EXPECT_EQ(feed(frames::make(x, at(ms += 1000))), want) << status;
        EXPECT_EQ(feed(frames::make(v, at(ms += 1000))), want) << status;
        EXPECT_EQ(feed(frames::make_short(v, at(ms += 1000))), want) << status;
    }
}

// With no BESTPOS anywhere, an INSPVAX gives the INSPVA after it the type
// of its GNSS solution, as it gives it the undulation.
TEST_F(today, an_inspvax_alone_gives_the_next_inspva_its_solution_type)
{
    feed(frames::make(moving(), at(131714000)));
    frames::inspva v;
    v.height = 100.0;
    feed(frames::make(v, at(131714100)));
    auto l = fresh_lines();
    ASSERT_EQ(l.size(), 4u);
    EXPECT_EQ(l[2][6], "5");
    EXPECT_EQ(l[2][9], "77.50");
    EXPECT_EQ(l[2][11], "22.50");
}

TEST_F(today, inspva_takes_quality_undulation_and_satellites_from_the_latest_logs)
{
    frames::inspva v;
    v.lat = 51.5;
    v.lon = -0.125;
    v.height = 100.0; // above the ellipsoid
    v.vnorth = 0.0;
    v.veast = 0.0;
    std::uint32_t ms = 131714000;
    auto fix = [&](const frames::inspva& x, bool shortf = false) {
        ms += 100;
        feed(shortf ? frames::make_short(x, at(ms)) : frames::make(x, at(ms)));
        auto l = fresh_lines();
        return l.empty() ? std::vector<std::string>{} : l[0];
    };
    // Nothing known yet: quality 1, no undulation, no satellites.
    auto g = fix(v);
    EXPECT_EQ(g[6], "1");
    EXPECT_EQ(g[7], "00");
    EXPECT_EQ(g[9], "100.00");
    EXPECT_EQ(g[11], "0.00");
    // Dead reckoning is 6 whatever came before; in the short header too.
    v.status = 6;
    EXPECT_EQ(fix(v, true)[6], "6");
    v.status = 3;
    // After a BESTPOS: its type's quality, undulation and satellites.
    frames::bestpos p;
    p.postype = 50; // NARROW_INT: 4
    p.undulation = -16.5f;
    p.svused = 17;
    ms += 100;
    feed(frames::make(p, at(ms)));
    fresh_lines();
    g = fix(v);
    EXPECT_EQ(g[6], "4");
    EXPECT_EQ(g[7], "17");
    EXPECT_EQ(g[9], "116.50");
    EXPECT_EQ(g[11], "-16.50");
    // A latest type of quality 0 gives 1; a later INSPVAX's type holds.
    p.postype = 0;
    ms += 100;
    feed(frames::make(p, at(ms)));
    fresh_lines();
    EXPECT_EQ(fix(v)[6], "1");
    ms += 100;
    feed(frames::make(moving(), at(ms)));
    fresh_lines();
    g = fix(v);
    EXPECT_EQ(g[6], "5");
    EXPECT_EQ(g[11], "22.50");
    EXPECT_EQ(g[9], "77.50");
    // INSPVAS is read like INSPVA and counted on its own.
    EXPECT_EQ(store->count[log_inspva], 4);
    EXPECT_EQ(store->count[log_inspvas], 1);
}

TEST_F(today, bestxyz_is_converted_to_the_ellipsoid_and_takes_its_own_satellites)
{
    // A point whose coordinates the conversion itself gives: 43.5 N, 80.5 W,
    // 300 m above the ellipsoid, to well within the printed decimals.
    const double lat = 43.5 * 3.141592653589793 / 180, lon = -80.5 * 3.141592653589793 / 180;
    const double a = 6378137.0, f = 1 / 298.257223563, e2 = f * (2 - f);
    double n = a / std::sqrt(1 - e2 * std::sin(lat) * std::sin(lat));
    frames::bestxyz x;
    x.x = (n + 300) * std::cos(lat) * std::cos(lon);
    x.y = (n + 300) * std::cos(lat) * std::sin(lon);
    x.z = (n * (1 - e2) + 300) * std::sin(lat);
    x.postype = 17; // PSRDIFF: 2
    x.svused = 9;
    frames::bestpos p;
    p.undulation = -35.0f;
    p.postype = 16;
    feed(frames::make(p, at(131714000)));
    fresh_lines();
    EXPECT_EQ(feed(frames::make(x, at(131714700))), 2);
    auto g = fresh_lines()[0];
    EXPECT_EQ(g[2], "4330.0000");
    EXPECT_EQ(g[3], "N");
    EXPECT_EQ(g[4], "08030.0000");
    EXPECT_EQ(g[5], "W");
    EXPECT_EQ(g[6], "2");
    EXPECT_EQ(g[7], "09");
    EXPECT_EQ(g[9], "335.00");
    EXPECT_EQ(g[11], "-35.00");
    // It gives the latest satellites, not the latest type.
    frames::inspva v;
    feed(frames::make(v, at(131714800)));
    g = fresh_lines()[0];
    EXPECT_EQ(g[6], "1");
    EXPECT_EQ(g[7], "09");
    // A solution that is not computed is no fix.
    x.solstat = 1;
    EXPECT_EQ(feed(frames::make(x, at(131714900))), 0);
}

// v to `decimals` decimals as a correctly rounding print writes it, zeros
// before it up to `width`. v must not lie within a thousandth of a unit of
// the last decimal from a rounding tie, where the few ulps of a double's
// result could tip the digit: such a point makes a poor case.
std::string fixed_digits(long double v, int decimals, std::size_t width = 0)
{
    if (v < 0)
        return "-" + fixed_digits(-v, decimals);
    long double scaled = v * std::pow(10.0L, decimals);
    EXPECT_GT(std::fabs(scaled - std::floor(scaled) - 0.5L), 1e-3L) << "near a tie: " << scaled;
    std::string t = std::to_string(static_cast<long long>(std::floor(scaled + 0.5L)));
    auto d = static_cast<std::size_t>(decimals);
    if (t.size() <= d)
        t.insert(0, d + 1 - t.size(), '0');
    t.insert(t.size() - d, ".");
    if (t.size() < width)
        t.insert(0, width - t.size(), '0');
    return t;
}

// BESTXYZ's positions as GGA and RMC print them, digit for digit, against
// the same fixed-point conversion carried on in extended precision until it
// no longer moves (from the spherical guess, WGS84's defining constants): a
// dozen points from the equator to 79 degrees either way, from below the
// ellipsoid to 20 km above it.
TEST_F(today, bestxyz_digits_agree_with_the_conversion_in_extended_precision)
{
    if (std::numeric_limits<long double>::digits < 64)
        GTEST_SKIP() << "long double is no wider than double here";
    using strings = std::vector<std::string>;
    const struct {
        double lat, lon, h;
    } points[] = {
        {79.1234567, 12.3456789, 20000.0},   {-79.0001234, -123.456789, 15.25},
        {0.0012345, 0.0023456, -30.5},       {-0.5432109, 179.9876543, 8848.86},
        {45.6789012, -179.1234567, 20000.0}, {51.4778123, -0.0014567, 45.678},
        {-33.8567844, 151.2152967, 58.0},    {60.1698557, 24.9383791, 19999.99},
        {35.6761919, 139.6503106, 40.0},     {-54.8019121, -68.3029511, 7000.0},
        {71.2906001, -156.7886833, 3.0},     {78.9234567, 11.9234567, 12345.678},
    };
    const long double a = 6378137.0L, f = 1 / 298.257223563L, e2 = f * (2 - f);
    const long double degrees = 180 / 3.141592653589793238462643383279503L;
    std::uint32_t ms = 131714000;
    for (const auto& pt : points) {
        // The frame's coordinates: any doubles near the point will do.
        double phi = pt.lat / 180 * 3.141592653589793, lam = pt.lon / 180 * 3.141592653589793;
        double n0 = 6378137.0 / std::sqrt(1 - 0.00669437999014 * std::sin(phi) * std::sin(phi));
        frames::bestxyz b;
        b.x = (n0 + pt.h) * std::cos(phi) * std::cos(lam);
        b.y = (n0 + pt.h) * std::cos(phi) * std::sin(lam);
        b.z = (n0 * (1 - 0.00669437999014) + pt.h) * std::sin(phi);

        long double x = b.x, y = b.y, z = b.z, p = std::sqrt(x * x + y * y);
        long double lat = std::atan2(z, p), n = a, h = 0, last = 10;
        for (int i = 0; i < 100 && lat != last; ++i) {
            last = lat;
            long double sn = std::sin(lat);
            n = a / std::sqrt(1 - e2 * sn * sn);
            h = p / std::cos(lat) - n;
            lat = std::atan2(z, p * (1 - e2 * n / (n + h)));
        }
        long double sn = std::sin(lat);
        h = p / std::cos(lat) - a / std::sqrt(1 - e2 * sn * sn);
        long double lon = std::atan2(y, x) * degrees;
        lat *= degrees;
        auto deg = [](long double v) { return static_cast<int>(std::fabs(v)); };
        auto minutes = [&](long double v) { return (std::fabs(v) - deg(v)) * 60; };
        char la[16], lo[16];
        std::snprintf(la, sizeof la, "%02d", deg(lat));
        std::snprintf(lo, sizeof lo, "%03d", deg(lon));
        std::string ns = lat < 0 ? "S" : "N", ew = lon < 0 ? "W" : "E";

        ASSERT_EQ(feed(frames::make(b, at(ms += 1000))), 2) << pt.lat;
        auto l = fresh_lines();
        ASSERT_EQ(l.size(), 2u);
        EXPECT_EQ(
            strings(l[0].begin() + 2, l[0].begin() + 10),
            (strings{la + fixed_digits(minutes(lat), 4, 7), ns,
                     lo + fixed_digits(minutes(lon), 4, 7), ew, "1", "08", "", fixed_digits(h, 2)}))
            << pt.lat << " " << pt.lon << " " << pt.h;
        EXPECT_EQ(strings(l[1].begin() + 3, l[1].begin() + 7),
                  (strings{la + fixed_digits(minutes(lat), 7, 10), ns,
                           lo + fixed_digits(minutes(lon), 7, 10), ew}))
            << pt.lat << " " << pt.lon << " " << pt.h;
    }
}

TEST_F(today, one_fix_an_epoch_whichever_logs_carry_it)
{
    frames::bestpos p;
    p.lat = 10;
    frames::inspvax x = moving();
    EXPECT_EQ(feed(frames::make(p, at(131714700))), 2);
    // The same epoch again, from another log or the same one: not written,
    // but its velocity is the latest.
    EXPECT_EQ(feed(frames::make(x, at(131714700))), 0);
    EXPECT_EQ(feed(frames::make(p, at(131714700))), 0);
    EXPECT_EQ(s.lat, 10.0);
    EXPECT_EQ(s.speed, 5.0);
    // Earlier by less than a second: not written; by a second or more: a
    // recording appended to another, written.
    EXPECT_EQ(feed(frames::make(p, at(131713701))), 0);
    EXPECT_EQ(feed(frames::make(p, at(131713700))), 2);
    EXPECT_EQ(feed(frames::make(p, at(131713701))), 2);
    // Across the end of a week.
    EXPECT_EQ(feed(frames::make(p, at(0, 2449))), 2);
    EXPECT_EQ(feed(frames::make(p, at(604799999, 2448))), 0);
    EXPECT_EQ(fresh_lines().size(), 8u);
    // Without /all every fix is written, as always.
    opt.all = 0;
    EXPECT_EQ(feed(frames::make(p, at(0, 2449))), 2);
}

TEST_F(today, psrdop2_gives_the_hdop_and_the_later_dop_log_holds)
{
    feed(frames::make_psrdop2(1.8f, 0.9f, 1.5f));
    EXPECT_EQ(s.hdop, 0.9f);
    feed(frames::make_psrdop(1.25f));
    EXPECT_EQ(s.hdop, 1.25);
    feed(frames::make_psrdop2(1.8f, 0.7f, 1.5f));
    feed(frames::make(frames::bestpos{}, at()));
    EXPECT_EQ(fresh_lines()[0][8], "0.7");
    // Too short to hold the HDOP: ignored.
    feed(frames::frame(1163, std::string(12, '\x40')));
    EXPECT_EQ(s.hdop, 0.7f);
}

TEST_F(today, fixes_are_dated_by_the_table_until_a_time_log_gives_the_offset)
{
    // 2009-12-18 (week 1562): 15 s.
    feed(frames::make(frames::bestpos{}, at(432000000, 1562)));
    EXPECT_EQ(fresh_lines()[0][1], "235945.00");
    EXPECT_EQ(s.tableoffset, -15);
    EXPECT_EQ(s.hasutcoffset, 0);
    frames::time t;
    t.utcoffset = -15.5;
    feed(frames::make(t));
    feed(frames::make(frames::bestpos{}, at(432001000, 1562)));
    auto l = fresh_lines();
    EXPECT_EQ(l[1][1], "235945.50");
    EXPECT_EQ(s.tableoffset, -15); // the last fix the table dated
}

TEST_F(today, the_inserted_leap_second_is_a_second_midnight)
{
    // GPS 2017-01-01 00:00:17 and :18 are both 00:00:00 UTC.
    feed(frames::make(frames::bestpos{}, at(17000, 1930)));
    feed(frames::make(frames::bestpos{}, at(17990, 1930)));
    feed(frames::make(frames::bestpos{}, at(18000, 1930)));
    auto l = fresh_lines();
    ASSERT_EQ(l.size(), 6u);
    EXPECT_EQ(l[0][1], "000000.00");
    EXPECT_EQ(l[1][9], "010117");
    EXPECT_EQ(l[2][1], "000000.99");
    EXPECT_EQ(l[4][1], "000000.00");
    EXPECT_EQ(s.tableoffset, -18);
}

TEST_F(today, without_an_offset_fixes_are_counted_not_written)
{
    opt = nmeaopt{}; // no /all, dated only by a TIME log
    EXPECT_EQ(feed(frames::make(frames::bestpos{}, at())), 0);
    frames::bestpos bad;
    bad.solstat = 1;
    EXPECT_EQ(feed(frames::make(bad, at())), 0);
    EXPECT_EQ(s.undated, 1);
    feed(frames::make(frames::time{}));
    EXPECT_EQ(feed(frames::make(frames::bestpos{}, at())), 2);
    EXPECT_EQ(s.undated, 1);
    EXPECT_EQ(s.hastable, 0);
}

// A BESTPOS or BESTXYZ frame with the base station's id (four bytes) and
// the age of the corrections written over those of f.
std::string with_corrections(const std::string& f, const char* station, float age)
{
    auto* p = reinterpret_cast<const std::uint8_t*>(f.data());
    bool bestpos = ld_u16(p + 4) == 42;
    frames::body b;
    b.bytes = frames::body_of(f);
    b.bytes.replace(bestpos ? 52 : 88, 4, station, 4);
    b.bytes.replace(bestpos ? 56 : 96, 4, frames::body().f32(age).bytes);
    return frames::frame(ld_u16(p + 4), b.bytes, at(ld_u32(p + 16), ld_u16(p + 14)));
}

// A differential, RTK or SBAS fix of BESTPOS or BESTXYZ gives its GGA the
// age of its corrections (whole seconds, at most 99; none when NaN or
// negative) and its base station (1 to 4 letters or digits up to the first
// NUL; none otherwise); a fix of another quality gives neither.
TEST_F(today, differential_and_rtk_fixes_give_gga_their_corrections)
{
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    struct row {
        std::uint32_t postype;
        char station[5];
        float age;
        const char *age_field, *station_field;
    } rows[] = {
        {50, "TSTR", 23.7f, "23", "TSTR"}, // NARROW_INT: 4
        {17, "129", 3.0f, "03", "129"},    // PSRDIFF: 2
        {34, "ab12", 0.0f, "00", "ab12"},  // NARROW_FLOAT: 5
        {18, "AB\0C", 98.99f, "98", "AB"}, // WAAS: 9
        {52, "7", 99.0f, "99", "7"},       // INS_SBAS: 9
        {74, "", 1e30f, "99", ""},         // INS_PPP: 5
        {18, "AB C", inf, "99", ""},       {18, "\xC3\xA9", nan, "", ""},
        {18, "A-1", -0.5f, "", ""},        {18, "0000", -0.0f, "00", "0000"},
        {18, "\0TST", -inf, "", ""},       {16, "TSTR", 5.0f, "", ""}, // SINGLE: 1
        {53, "TSTR", 5.0f, "", ""},                                    // INS_PSRSP: 1
        {19, "TSTR", 5.0f, "", ""},                                    // PROPAGATED: 6
        {1, "TSTR", 5.0f, "", ""},                                     // FIXEDPOS: 7
        {0, "TSTR", 5.0f, "", ""},                                     // NONE: 0
    };
    std::uint32_t ms = 131714000;
    for (const row& r : rows)
        for (bool xyz : {false, true}) {
            frames::bestpos p;
            frames::bestxyz x;
            p.postype = x.postype = r.postype;
            ms += 100;
            feed(with_corrections(xyz ? frames::make(x, at(ms)) : frames::make(p, at(ms)),
                                  r.station, r.age));
            auto g = fresh_lines().at(0);
            ASSERT_EQ(g.size(), 15u);
            EXPECT_EQ(g[13], r.age_field) << r.postype << " " << r.age << " " << xyz;
            EXPECT_EQ(g[14], r.station_field) << r.postype << " " << r.station << " " << xyz;
        }
    // They belong to the fix: an INS fix after it leaves them empty, and so
    // does a run without /all, which /ggartk prints with RTK precision.
    frames::bestpos p;
    p.postype = 50;
    auto tail = [&](const std::string& f) {
        feed(f);
        auto g = fresh_lines().at(0);
        return g[13] + "," + g[14];
    };
    EXPECT_EQ(tail(with_corrections(frames::make(p, at(ms += 100)), "TSTR", 5)), "05,TSTR");
    EXPECT_EQ(tail(frames::make(moving(), at(ms += 100))), ",");
    EXPECT_EQ(tail(with_corrections(frames::make(p, at(ms += 100)), "TSTR", 5)), "05,TSTR");
    EXPECT_EQ(tail(frames::make(frames::inspva{}, at(ms += 100))), ",");
    opt.all = false;
    opt.ggartk = true;
    EXPECT_EQ(tail(with_corrections(frames::make(p, at(ms += 100)), "TSTR", 5)), ",");
    feed(frames::make(p, at(ms += 100)));
    EXPECT_EQ(fresh_lines().at(0)[2], "0000.0000000");
}

TEST_F(today, without_all_the_new_logs_and_short_frames_are_only_counted)
{
    opt = nmeaopt{};
    opt.autoutc = 1;
    frames::inspva v;
    for (const std::string& f :
         {frames::make(moving(), at()), frames::make(v, at()), frames::make_short(v, at()),
          frames::make(frames::bestxyz{}, at()), frames::make_psrdop2(1, 1, 1),
          frames::short_frame(42, frames::body_of(frames::make(frames::bestpos{}, at())))})
        EXPECT_EQ(feed(f), 0);
    logstore zero{};
    EXPECT_EQ(store->nallonly, 5);
    store->nallonly = 0;
    EXPECT_EQ(std::memcmp(store.get(), &zero, sizeof zero), 0);
    // With /all a short BESTPOS is a BESTPOS.
    opt.all = 1;
    opt.gst = 0;
    EXPECT_EQ(
        feed(frames::short_frame(42, frames::body_of(frames::make(frames::bestpos{}, at())), at())),
        2);
    EXPECT_EQ(store->count[log_bestpos], 1);
    EXPECT_EQ(fresh_lines()[0][1], "123456.70");
}

} // namespace

// The sentences /all adds, with every sentence switched on.
struct adds : today {
    adds() { opt.gsa = opt.gst = opt.vtg = opt.hdt = 1; }
    // The kinds of the lines written since the last call ("GGA", "GPGSV"...).
    std::vector<std::string> kinds()
    {
        std::vector<std::string> k;
        for (const auto& l : fresh_lines())
            k.push_back(l[0].substr(1, 2) == "GP" && l[0].substr(3) != "GSV" ? l[0].substr(3)
                                                                             : l[0].substr(1));
        return k;
    }
};

using strings = std::vector<std::string>;

TEST_F(adds, a_fix_writes_its_sentences_in_order_and_each_has_its_switch)
{
    EXPECT_EQ(feed(frames::make(frames::bestpos{}, at(1000))), 3);
    EXPECT_EQ(kinds(), (strings{"GGA", "GST", "RMC"})); // no DOP, no velocity yet
    feed(frames::make_psrdop(0.9f));
    feed(frames::make(frames::bestvel{}));
    feed(frames::make(frames::bestpos{}, at(2000)));
    EXPECT_EQ(kinds(), (strings{"GGA", "GSA", "GST", "RMC", "VTG"}));
    feed(frames::make(moving(), at(3000)));
    EXPECT_EQ(kinds(), (strings{"GGA", "GSA", "GST", "RMC", "VTG", "HDT"}));
    frames::inspva v;
    feed(frames::make_short(v, at(4000)));
    EXPECT_EQ(kinds(), (strings{"GGA", "GSA", "RMC", "VTG", "HDT"}));
    feed(frames::make(frames::bestxyz{}, at(5000)));
    EXPECT_EQ(kinds(), (strings{"GGA", "GSA", "RMC", "VTG"}));
    // They are written for the fix, not for its GGA or RMC; each is
    // switched off by its own option.
    opt.gga = opt.rmc = 0;
    feed(frames::make(moving(), at(6000)));
    EXPECT_EQ(kinds(), (strings{"GSA", "GST", "VTG", "HDT"}));
    opt.gsa = opt.vtg = 0;
    feed(frames::make(moving(), at(7000)));
    EXPECT_EQ(kinds(), (strings{"GST", "HDT"}));
    opt.gst = opt.hdt = 0;
    EXPECT_EQ(feed(frames::make(moving(), at(8000))), 0);
    // A fix of an epoch already written writes nothing at all.
    opt.gga = opt.rmc = opt.gsa = opt.gst = opt.vtg = opt.hdt = 1;
    EXPECT_EQ(feed(frames::make(moving(), at(8000))), 0);
    // Without /all none of them is written.
    opt.all = 0;
    feed(frames::make(frames::bestpos{}, at(9000)));
    EXPECT_EQ(kinds(), (strings{"GGA", "RMC"}));
}

TEST_F(adds, gsa_takes_the_latest_dop_log)
{
    // PSRDOP: PDOP, HDOP, the satellites it lists (zeros left out, at most
    // twelve, in NMEA numbers), VDOP from PDOP and HDOP.
    frames::body b;
    b.f32(2.5f).f32(2.5f).f32(1.5f).f32(2.0f).f32(1.1f).f32(5.0f);
    const std::uint32_t prns[] = {5, 0, 40, 131, 12, 1, 2, 3, 4, 6, 7, 8, 9, 10, 11};
    b.u32(15);
    for (std::uint32_t p : prns)
        b.u32(p);
    feed(frames::frame(174, b.bytes));
    feed(frames::make(frames::bestpos{}, at(1000)));
    EXPECT_EQ(fresh_lines()[1], (strings{"$GPGSA", "A", "3", "05", "67", "44", "12", "01", "02",
                                         "03", "04", "06", "07", "08", "09", "2.5", "1.5", "2.0"}));
    // A count beyond the message's room reads only what is there; a HDOP
    // above the PDOP gives a VDOP of 0; a fix of quality 0 is type 1.
    frames::body c;
    c.f32(1.0f).f32(1.0f).f32(1.5f).f32(0).f32(0).f32(0).u32(1000).u32(7).u32(0);
    feed(frames::frame(174, c.bytes));
    frames::bestpos none;
    none.postype = 0;
    feed(frames::make(none, at(2000)));
    EXPECT_EQ(fresh_lines()[1], (strings{"$GPGSA", "A", "1", "07", "", "", "", "", "", "", "", "",
                                         "", "", "", "1.0", "1.5", "0.0"}));
    // PSRDOP2: its three DOPs and no satellites.
    feed(frames::make_psrdop2(1.8f, 0.9f, 1.5f));
    feed(frames::make(frames::bestpos{}, at(3000)));
    EXPECT_EQ(fresh_lines()[1], (strings{"$GPGSA", "A", "3", "", "", "", "", "", "", "", "", "", "",
                                         "", "", "1.8", "0.9", "1.5"}));
}

TEST_F(adds, gst_puts_the_larger_deviation_on_the_major_axis)
{
    frames::inspvax x = moving();
    x.sdlat = 0.5f, x.sdlon = 0.25f, x.sdheight = 1.125f;
    feed(frames::make(x, at(1000)));
    EXPECT_EQ(fresh_lines()[1], (strings{"$GPGST", "235943.00", "", "0.500", "0.250", "0.0",
                                         "0.500", "0.250", "1.125"}));
    x.sdlat = 0.25f, x.sdlon = 0.5f;
    feed(frames::make(x, at(2000)));
    EXPECT_EQ(fresh_lines()[1][5], "90.0");
    x.sdlat = x.sdlon = 0.5f; // equal: latitude's
    feed(frames::make(x, at(3000)));
    EXPECT_EQ(fresh_lines()[1][5], "0.0");
    x.sdlat = std::numeric_limits<float>::quiet_NaN();
    feed(frames::make(x, at(4000)));
    auto g = fresh_lines()[1];
    EXPECT_EQ(g[3], "0.500");
    EXPECT_EQ(g[5], "90.0");
}

TEST_F(adds, vtg_and_hdt_carry_the_fix_and_heading_logs_their_own_epochs)
{
    feed(frames::make(moving(), at(1000)));
    auto l = fresh_lines();
    EXPECT_EQ(l[3], (strings{"$GPVTG", "233.1", "T", "", "M", "9.719", "N", "18.000", "K"}));
    EXPECT_EQ(l[4], (strings{"$GPHDT", "233.50", "T"}));
    // HEADING and HEADING2 of one epoch give one HDT; a later epoch, or
    // one a second or more earlier, another; a heading without a solution
    // none. They need no UTC offset.
    opt.autoutc = 0;
    EXPECT_EQ(feed(frames::make_heading(12.345f, at(5000))), 1);
    EXPECT_EQ(feed(frames::make_heading(12.5f, at(5000), 1335)), 0);
    EXPECT_EQ(feed(frames::make_heading(13.0f, at(4001), 1335)), 0);
    EXPECT_EQ(feed(frames::make_heading(14.0f, at(6000), 971, 1)), 0);
    EXPECT_EQ(feed(frames::make_heading(15.0f, at(4000), 1335)), 1);
    EXPECT_EQ(feed(frames::frame(971, std::string(15, '\0'), at(9000))), 0); // too short
    l = fresh_lines();
    ASSERT_EQ(l.size(), 2u);
    EXPECT_EQ(l[0], (strings{"$GPHDT", "12.35", "T"})); // the float 12.345 is 12.3450002...
    EXPECT_EQ(l[1], (strings{"$GPHDT", "15.00", "T"}));
    // An INS fix's HDT does not count for the heading logs' epochs.
    feed(frames::make(moving(), at(7000)));
    fresh_lines();
    EXPECT_EQ(feed(frames::make_heading(16.0f, at(6500))), 1);
}

// Satellites by system: sats of (receiver number, elevation).
std::vector<frames::satellite> sats(std::initializer_list<std::pair<int, double>> v)
{
    std::vector<frames::satellite> out;
    for (auto& p : v)
        out.push_back({static_cast<std::int16_t>(p.first), p.second, 100.0});
    return out;
}

// A primary L1 channel of a system (TRACKSTAT numbering), and another.
frames::channel primary(std::uint32_t sys, int prn, float cno)
{
    return {static_cast<std::int16_t>(prn), 0x08109c04u | sys << 16, cno};
}
frames::channel secondary(std::uint32_t sys, int prn, float cno)
{
    return {static_cast<std::int16_t>(prn), 0x01309c0bu | sys << 16, cno};
}

TEST_F(adds, every_system_its_own_talker_and_numbers)
{
    feed(frames::make_satvis2(0, sats({{5, 40}, {33, 10}, {12, -1}, {7, 0.0}})));
    feed(frames::make_satvis2(2, sats({{131, 20}, {119, 20}})));
    feed(frames::make_satvis2(1, sats({{3, 50}, {33, 50}, {24, 5}})));
    feed(frames::make_satvis2(5, sats({{36, 30}, {37, 30}})));
    feed(frames::make_satvis2(6, sats({{63, 25}, {64, 25}})));
    feed(frames::make_satvis2(7, sats({{193, 60}, {203, 60}})));
    feed(frames::make_satvis2(9, sats({{14, 15}, {15, 15}})));
    feed(frames::make_satvis2(4, sats({{1, 15}}))); // a system not written
    EXPECT_TRUE(fresh_lines().empty());
    int written = feed(frames::make_trackstat({
        primary(0, 5, 45.9f), secondary(0, 7, 30.0f), primary(2, 131, 38.0f),
        primary(1, 40, 41.0f), // GLONASS slot 3
        primary(1, 61, 33.0f), // slot 24
        primary(3, 36, 44.0f), primary(4, 63, 39.0f), primary(5, 193, 47.0f), primary(6, 14, 36.0f),
        primary(7, 14, 99.0f), // system 7 is not read
        primary(0, 5, 46.5f),  // the later channel wins
    }));
    auto l = fresh_lines();
    EXPECT_EQ(written, 6);
    ASSERT_EQ(l.size(), 6u);
    EXPECT_EQ(l[0], (strings{"$GPGSV", "1", "1", "3", "05", "40", "100", "46", "07", "00", "100",
                             "", "44", "20", "100", "38"}));
    EXPECT_EQ(l[1],
              (strings{"$GLGSV", "1", "1", "2", "67", "50", "100", "41", "88", "05", "100", "33"}));
    EXPECT_EQ(l[2], (strings{"$GAGSV", "1", "1", "1", "36", "30", "100", "44"}));
    EXPECT_EQ(l[3], (strings{"$GBGSV", "1", "1", "1", "63", "25", "100", "39"}));
    EXPECT_EQ(l[4], (strings{"$GQGSV", "1", "1", "1", "01", "60", "100", "47"}));
    EXPECT_EQ(l[5], (strings{"$GIGSV", "1", "1", "1", "14", "15", "100", "36"}));
}

TEST_F(adds, the_first_satvis2_ends_the_pairing_of_satvis_and_trackstat_for_good)
{
    // Before any SATVIS: a TRACKSTAT writes its own cycle, each satellite
    // once, without elevation and azimuth, and is not kept.
    feed(frames::make_trackstat({primary(0, 5, 40.0f), primary(1, 40, 30.0f), primary(0, 5, 42.0f),
                                 secondary(0, 9, 35.0f), primary(0, 0, 35.0f)}));
    EXPECT_EQ(fresh_lines(), (std::vector<strings>{{"$GPGSV", "1", "1", "1", "05", "", "", "42"},
                                                   {"$GLGSV", "1", "1", "1", "67", "", "", "30"}}));
    // A SATVIS: from now on the two pair, as without /all.
    feed(frames::make_satvis({{5, 40, 100}}));
    EXPECT_TRUE(fresh_lines().empty());
    feed(frames::make_trackstat({primary(0, 5, 40.0f)}));
    EXPECT_EQ(kinds(), (strings{"GPGSV"}));
    // A SATVIS waiting for its TRACKSTAT is dropped by the first SATVIS2;
    // a SATVIS2 of a system not written starts nothing.
    feed(frames::make_satvis({{5, 40, 100}}));
    feed(frames::make_satvis2(4, sats({{3, 10}})));
    EXPECT_EQ(slot(*store, log_satvis)[0], fresh);
    feed(frames::make_satvis2(5, sats({{3, 10}})));
    EXPECT_EQ(slot(*store, log_satvis)[0], 0);
    feed(frames::make_satvis({{5, 40, 100}}));
    EXPECT_TRUE(fresh_lines().empty());
    feed(frames::make_trackstat({primary(3, 3, 40.0f), primary(0, 5, 41.0f)}));
    EXPECT_EQ(fresh_lines(),
              (std::vector<strings>{{"$GAGSV", "1", "1", "1", "03", "10", "100", "40"}}));
    EXPECT_EQ(store->count[log_satvis], 3);
    EXPECT_EQ(store->count[log_satvis2], 2);
}

// A TRACKSTAT waiting for its SATVIS when the first SATVIS2 comes is
// dropped with it: nothing is written for it, then or later; the next
// TRACKSTAT writes the new lists.
TEST_F(adds, the_first_satvis2_drops_a_trackstat_waiting_for_its_satvis)
{
    feed(frames::make_satvis({{5, 40, 100}}));
    EXPECT_EQ(feed(frames::make_trackstat({primary(0, 5, 40.0f)})), 1);
    EXPECT_EQ(feed(frames::make_trackstat({primary(0, 5, 41.0f)})), 0);
    fresh_lines();
    EXPECT_EQ(feed(frames::make_satvis2(0, sats({{7, 30}}))), 0);
    EXPECT_EQ(feed(frames::make(frames::time{})), 1);
    EXPECT_EQ(kinds(), strings{"ZDA"});
    EXPECT_EQ(feed(frames::make_trackstat({primary(0, 7, 42.0f)})), 1);
    EXPECT_EQ(fresh_lines(),
              (std::vector<strings>{{"$GPGSV", "1", "1", "1", "07", "30", "100", "42"}}));
}

TEST_F(adds, a_group_holds_at_most_36_satellites_gps_before_sbas)
{
    std::vector<frames::satellite> g, b;
    for (int i = 1; i <= 32; ++i)
        g.push_back({static_cast<std::int16_t>(i), 10.0, 20.0});
    for (int i = 120; i <= 151; ++i)
        b.push_back({static_cast<std::int16_t>(i), 10.0, 20.0});
    feed(frames::make_satvis2(0, g));
    feed(frames::make_satvis2(2, b));
    EXPECT_EQ(feed(frames::make_trackstat({})), 9);
    auto l = fresh_lines();
    EXPECT_EQ(l[0][3], "36");
    EXPECT_EQ(l[8][4], "33"); // SBAS 120, after the 32 GPS satellites
    EXPECT_EQ(l[8].size(), 4u + 4 * 4);

    // A system's list longer than its group ends there: forty BeiDou
    // satellites in view leave the QZSS list before them as it was.
    std::vector<frames::satellite> forty;
    for (int i = 1; i <= 40; ++i)
        forty.push_back({static_cast<std::int16_t>(i), 10.0, 20.0});
    feed(frames::make_satvis2(7, sats({{193, 60}, {194, 30}})));
    feed(frames::make_satvis2(6, forty));
    EXPECT_EQ(feed(frames::make_trackstat({})), 19);
    l = fresh_lines();
    EXPECT_EQ(l[9], (strings{"$GBGSV", "9", "1",  "36", "01",  "10", "020", "",   "02",  "10",
                             "020",    "",  "03", "10", "020", "",   "04",  "10", "020", ""}));
    EXPECT_EQ(l[17][4], "33");
    EXPECT_EQ(l[18],
              (strings{"$GQGSV", "1", "1", "2", "01", "60", "100", "", "02", "30", "100", ""}));
}

// SBAS PRNs 120 to 151 are written as 33 to 64 and no others (152 to 158
// would take GLONASS's numbers); GLONASS slots 1 to 32 (channels 38 to 69)
// as 65 to 96: from SATVIS2 lists and from a TRACKSTAT alone.
TEST_F(adds, sbas_and_glonass_numbers_to_the_ends_of_their_ranges)
{
    using listing = std::vector<std::tuple<std::string, int, std::string>>;
    // Talker, number and C/No of each satellite of the lines since the last call.
    auto listed = [&] {
        listing v;
        for (const auto& l : fresh_lines())
            for (std::size_t i = 4; i + 3 < l.size(); i += 4)
                v.emplace_back(l[0].substr(1, 2), std::stoi(l[i]), l[i + 3]);
        return v;
    };
    std::vector<frames::channel> chans;
    std::vector<frames::satellite> sbas, glonass;
    listing want;
    for (int prn = 110; prn <= 165; ++prn) {
        chans.push_back(primary(2, prn, static_cast<float>(prn - 100)));
        sbas.push_back({static_cast<std::int16_t>(prn), 10.0, 20.0});
        if (prn >= 120 && prn <= 151)
            want.emplace_back("GP", prn - 87, std::to_string(prn - 100));
    }
    for (int slot = -2; slot <= 36; ++slot) {
        chans.push_back(primary(1, slot + 37, static_cast<float>(slot + 20)));
        glonass.push_back({static_cast<std::int16_t>(slot), 10.0, 20.0});
        if (slot >= 1 && slot <= 32)
            want.emplace_back("GL", 64 + slot, std::to_string(slot + 20));
    }
    feed(frames::make_trackstat(chans));
    EXPECT_EQ(listed(), want);
    feed(frames::make_satvis2(2, sbas));
    feed(frames::make_satvis2(1, glonass));
    feed(frames::make_trackstat(chans));
    EXPECT_EQ(listed(), want);
}

// A short frame longer than its slot keeps only what the slot holds: a
// short BESTPOS of 255 body bytes, whose bytes past its slot are those of
// a BESTVEL's header, gives no velocity.
TEST_F(adds, a_short_frame_longer_than_its_slot_stays_in_it)
{
    std::string body = frames::body_of(frames::make(frames::bestpos{}, at()));
    ASSERT_EQ(body.size(), 72u); // as much as the slot holds
    body += frames::make(frames::bestvel{}).substr(0, 28);
    body.resize(255, '\x07');
    EXPECT_EQ(feed(frames::short_frame(42, body, at())), 3);
    EXPECT_EQ(kinds(), (strings{"GGA", "GST", "RMC"}));
    feed(frames::make(frames::bestpos{}, at(131715700)));
    auto l = fresh_lines();
    EXPECT_EQ(l[2][7] + l[2][8], "");
}
