// The conversion: which fresh logs make which sentences, in which order.
#include "frames.h"
#include "input/store.h"
#include "nmea/convert/convert.h"
#include "nmea/sentences/writer.h"
#include "nmea/state.h"
#include "output.h"
#include "support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <limits>
#include <map>
#include <memory>
#include <random>
#include <tuple>

namespace {

using frames::header;

const double nan = std::numeric_limits<double>::quiet_NaN();
const double inf = std::numeric_limits<double>::infinity();

struct converting : testing::Test {
    std::unique_ptr<logstore> store{new logstore()};
    nmeastate s{};
    nmeaopt opt;
    outfile out;

    void put(const std::string& f)
    {
        store_frame(*store, reinterpret_cast<const std::uint8_t*>(f.data()),
                    static_cast<int>(f.size()));
    }
    // Stores a frame and converts, as the pump does after every frame.
    int feed(const std::string& f)
    {
        put(f);
        return out.written_by(convert(*store, s, out.out, opt));
    }
    std::vector<std::string> lines()
    {
        std::vector<std::string> v;
        std::string t = out.text();
        for (std::size_t at = 0, end; (end = t.find("\r\n", at)) != std::string::npos; at = end + 2)
            v.push_back(t.substr(at, end - at));
        return v;
    }
    void manual_offset(int n)
    {
        opt.manualutc = 1;
        s.utcoffset = -n;
        s.hasutcoffset = 1;
    }
};

// 2026-12-07 12:34:56.70 UTC is GPS week 2448, second 131714.7 with 18 s.
header at_fix()
{
    header h;
    h.week = 2448;
    h.msec = 131714700;
    return h;
}

frames::bestpos tokyo()
{
    frames::bestpos p;
    p.lat = 35 + 7.40736 / 60;
    p.lon = 139 + 39.25926 / 60;
    p.height = 45.678;
    p.undulation = 36.7f;
    p.svused = 8;
    return p;
}

frames::time valid_time(double utcoffset = -18.0)
{
    frames::time t;
    t.utcoffset = utcoffset;
    return t;
}

// The ZDA of valid_time() with another time of day, with its checksum.
std::string zda_line(const std::string& hms)
{
    std::string text = "$GPZDA," + hms + ",07,12,2026,,*";
    unsigned x = 0;
    for (std::size_t i = 1; i + 1 < text.size(); ++i)
        x ^= static_cast<unsigned char>(text[i]);
    char sum[3];
    std::snprintf(sum, sizeof sum, "%02X", x);
    return text + sum;
}

TEST_F(converting, position_waits_for_the_utc_offset_from_time)
{
    EXPECT_EQ(feed(frames::make(tokyo(), at_fix())), 0);
    EXPECT_EQ(s.latdeg, 35);
    EXPECT_EQ(s.hour, 12); // the time of fix is set with an offset of 0
    EXPECT_EQ(s.second, 14);
    EXPECT_EQ(feed(frames::make(valid_time())), 1);
    EXPECT_EQ(s.utcoffset, -18.0);
    EXPECT_EQ(feed(frames::make(tokyo(), at_fix())), 2);
    EXPECT_EQ(lines(), (std::vector<std::string>{
                           "$GPZDA,123456.70,07,12,2026,,*64",
                           "$GPGGA,123456.70,3507.4074,N,13939.2593,E,1,08,,45.68,M,36.70,M,,*7D",
                           "$GPRMC,123456.70,A,3507.4073600,N,13939.2592600,E,,,071226,,,*13",
                       }));
}

TEST_F(converting, manual_offset_writes_at_once_and_time_does_not_change_it)
{
    manual_offset(18);
    EXPECT_EQ(feed(frames::make(tokyo(), at_fix())), 2);
    EXPECT_EQ(feed(frames::make(valid_time(-16.0))), 1);
    EXPECT_EQ(s.utcoffset, -18.0);
    EXPECT_EQ(lines().size(), 3u);
}

TEST_F(converting, time_offset_is_utc_offset_plus_clock_offset)
{
    frames::time t = valid_time(-18.0);
    t.clockoff = 0.25;
    t.msec = 59123;
    feed(frames::make(t));
    EXPECT_EQ(s.utcoffset, -17.75);
    EXPECT_EQ(s.zsecond, 59);
    EXPECT_EQ(s.zhsec, 12);
}

TEST_F(converting, time_that_is_not_valid_is_used_up_and_ignored)
{
    for (std::uint32_t status : {0u, 2u}) {
        frames::time t = valid_time();
        t.status = status;
        EXPECT_EQ(feed(frames::make(t)), 0);
        EXPECT_EQ(slot(*store, log_time)[0], 0);
        EXPECT_EQ(s.hasutcoffset, 0);
        EXPECT_EQ(s.zyear, 0);
    }
}

TEST_F(converting, time_offsets_that_are_not_usable_leave_the_offset_but_write_zda)
{
    feed(frames::make(valid_time(-18.0)));
    for (double bad : {nan, inf, -inf, 1e300, 2147483648.0}) {
        EXPECT_EQ(feed(frames::make(valid_time(bad))), 1) << bad;
        EXPECT_EQ(s.utcoffset, -18.0) << bad;
    }
    frames::time cancel = valid_time(inf);
    cancel.clockoff = -inf; // the sum is NaN
    EXPECT_EQ(feed(frames::make(cancel)), 1);
    EXPECT_EQ(s.utcoffset, -18.0);
    feed(frames::make(valid_time(-2147483647.0)));
    EXPECT_EQ(s.utcoffset, -2147483647.0);
}

TEST_F(converting, unusable_first_offset_stays_unknown)
{
    EXPECT_EQ(feed(frames::make(valid_time(nan))), 1);
    EXPECT_EQ(s.hasutcoffset, 0);
    EXPECT_EQ(feed(frames::make(tokyo(), at_fix())), 0);
}

TEST_F(converting, satvis_waits_for_trackstat_and_the_latest_of_each_pairs)
{
    EXPECT_EQ(feed(frames::make_satvis({{1, 10, 10}})), 0);
    EXPECT_EQ(slot(*store, log_satvis)[0], fresh);
    EXPECT_EQ(feed(frames::make_satvis({{3, 45, 123}, {7, 12, 301}})), 0);
    EXPECT_EQ(feed(frames::make_trackstat({{3, 0, 40.7f}})), 1);
    EXPECT_EQ(slot(*store, log_satvis)[0], 0);
    EXPECT_EQ(slot(*store, log_trackstat)[0], 0);
    EXPECT_EQ(lines(), std::vector<std::string>{"$GPGSV,1,1,2,03,45,123,40,07,12,301,*4B"});
    // TRACKSTAT first works the same.
    EXPECT_EQ(feed(frames::make_trackstat({})), 0);
    EXPECT_EQ(feed(frames::make_satvis({{9, 1, 2}})), 1);
}

TEST_F(converting, gsv_numbers_satellites_as_nmea_does_but_pairs_by_receiver_numbers)
{
    // GPS as it is; GLONASS 38..61 -> 65..88; SBAS 120..151 -> 33..64; the
    // numbers around those ranges, and others, unchanged.
    const std::int16_t rx[] = {1, 32, 37, 38, 50, 61, 62, 119, 120, 137, 151, 152, 200, -5};
    const int nmea[] = {1, 32, 37, 65, 77, 88, 62, 119, 33, 50, 64, 152, 200, -5};
    std::vector<frames::satellite> vis;
    std::vector<frames::channel> chans;
    for (std::int16_t prn : rx) {
        vis.push_back({prn, 10, 20});
        chans.push_back({prn, 0, static_cast<float>(30 + vis.size())});
    }
    // A channel of the NMEA number of a GLONASS satellite is not that satellite.
    chans.push_back({77, 0, 99});
    feed(frames::make_satvis(vis));
    EXPECT_EQ(feed(frames::make_trackstat(chans)), 4);
    std::vector<std::string> got = lines();
    std::string slots;
    for (const std::string& l : got)
        slots += l.substr(0, l.size() - 3).substr(std::string("$GPGSV,4,1,14").size());
    std::string want;
    for (int i = 0; i < 14; ++i) {
        char t[32];
        std::snprintf(t, sizeof t, ",%02d,10,020,%02d", nmea[i], 31 + i);
        want += t;
    }
    EXPECT_EQ(slots, want);
    EXPECT_EQ(s.sats[3].prn, 38); // the state keeps the receiver's numbers
}

TEST_F(converting, empty_satellite_list_writes_no_gsv_but_uses_both)
{
    feed(frames::make_satvis({}));
    EXPECT_EQ(feed(frames::make_trackstat({{3, 0, 40}})), 0);
    EXPECT_EQ(s.nsats, 0);
    EXPECT_EQ(slot(*store, log_satvis)[0] | slot(*store, log_trackstat)[0], 0);
}

TEST_F(converting, satellite_list_rules)
{
    feed(frames::make_satvis({{1, -0.5, 10},
                              {2, 0.0, 20},
                              {3, -0.0, 30},
                              {4, 12.9, 359.7},
                              {0, 50, 50},
                              {5, nan, 10},
                              {6, 20, nan},
                              {7, 30, 40},
                              {8, 40, 50},
                              {-3, 5, 5}}));
    feed(frames::make_trackstat({{4, 0, 45.9f},
                                 {4, 0, 38.2f},
                                 {2, 0x00200000, 50},
                                 {3, 0x00400000, 50},
                                 {7, 0xFF9FFFFF, 33},
                                 {0, 0, 44},
                                 {8, 0, std::numeric_limits<float>::quiet_NaN()},
                                 {-3, 0, 21}}));
    ASSERT_EQ(s.nsats, 7);
    const int want[7][4] = {{2, 0, 20, -1},  {3, 0, 30, -1}, {4, 12, 359, 38}, {6, 20, 0, -1},
                            {7, 30, 40, 33}, {8, 40, 50, 0}, {-3, 5, 5, 21}};
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(s.sats[i].prn, want[i][0]) << i;
        EXPECT_EQ(s.sats[i].elevation, want[i][1]) << i;
        EXPECT_EQ(s.sats[i].azimuth, want[i][2]) << i;
        EXPECT_EQ(s.sats[i].snr, want[i][3]) << i;
    }
}

TEST_F(converting, record_counts_are_bounded_by_the_stored_frame)
{
    std::vector<frames::satellite> ten;
    std::vector<frames::channel> chans;
    for (int i = 1; i <= 10; ++i) {
        ten.push_back({static_cast<std::int16_t>(i), 10.0, 20.0});
        chans.push_back({static_cast<std::int16_t>(i), 0, 30});
    }
    put(frames::make_satvis(ten));
    put(frames::make_trackstat(chans));
    convert(*store, s, out.out, opt);
    ASSERT_EQ(s.nsats, 10);

    // Three records claiming ten (and a million): the seven stale records
    // left in the slots by the longer frames are not read.
    std::vector<frames::satellite> three(ten.begin(), ten.begin() + 3);
    std::vector<frames::channel> two(chans.begin(), chans.begin() + 2);
    two[0].cno = 45;
    put(frames::make_satvis(three, {}, 1000000));
    put(frames::make_trackstat(two, {}, 10));
    convert(*store, s, out.out, opt);
    EXPECT_EQ(s.nsats, 3);
    EXPECT_EQ(s.sats[0].snr, 45);
    EXPECT_EQ(s.sats[2].snr, -1); // channel 3 is stale, beyond the frame

    // Negative counts, and frames too short to hold even the count.
    put(frames::make_satvis(three, {}, -5));
    put(frames::make_trackstat(two));
    convert(*store, s, out.out, opt);
    EXPECT_EQ(s.nsats, 0);
    put(frames::frame(48, std::string(8, '\0')));
    put(frames::make_trackstat(two));
    convert(*store, s, out.out, opt);
    EXPECT_EQ(s.nsats, 0);
}

// A frame of the same log with its body cut to `keep` bytes (a good CRC,
// the message length of what is left, every count as it was).
std::string cut_body(const std::string& f, std::size_t keep)
{
    std::uint16_t id = static_cast<std::uint16_t>(static_cast<unsigned char>(f[4]) |
                                                  static_cast<unsigned char>(f[5]) << 8);
    return frames::frame(id, f.substr(28, keep));
}

// A record cut by the end of the body is not read, though the slot still
// holds a whole one there from a longer frame before.
TEST_F(converting, satvis_and_trackstat_ending_in_a_partial_record_use_only_whole_ones)
{
    std::string vis = frames::make_satvis({{1, 10, 100}, {2, 20, 200}, {3, 30, 300}});
    std::string chans = frames::make_trackstat({{1, 0, 41}, {2, 0, 42}, {3, 0, 43}});
    put(vis);
    EXPECT_EQ(feed(chans), 1);
    ASSERT_EQ(s.nsats, 3);
    EXPECT_EQ(s.sats[2].snr, 43);

    for (std::size_t part : {1u, 20u, 39u}) {
        put(cut_body(vis, 12 + 2 * 40 + part)); // count 3, two records and a part
        feed(chans);
        EXPECT_EQ(s.nsats, 2) << part;
        put(vis);
        feed(cut_body(chans, 16 + 2 * 40 + part));
        ASSERT_EQ(s.nsats, 3) << part;
        EXPECT_EQ(s.sats[1].snr, 42) << part;
        EXPECT_EQ(s.sats[2].snr, -1) << part; // the third channel is not whole
    }
}

// The list holds 128 satellites: the first 128 that are in view, in the
// order of the SATVIS; the rest of the state is untouched, and a TRACKSTAT
// channel of a satellite beyond the list changes nothing.
TEST_F(converting, more_satellites_in_view_than_the_list_holds)
{
    std::vector<frames::satellite> vis;
    std::vector<frames::channel> chans;
    std::vector<int> listed;
    for (int i = 0; i < 300; ++i) {
        auto prn = static_cast<std::int16_t>(1 + i);
        bool seen = i % 3 != 1;
        vis.push_back({seen ? prn : std::int16_t(0), seen ? 5.0 + i % 80 : 10.0, 1.0 * i});
        if (!seen && i % 2 == 0)
            vis.back() = {prn, -1.0, 1.0 * i}; // below the horizon
        if (seen && listed.size() < 128)
            listed.push_back(prn);
        chans.push_back({prn, 0, static_cast<float>(20 + i % 30)});
    }
    s.hdop = 1.25;
    s.hashdop = 1;
    manual_offset(18);
    put(frames::make_satvis(vis));
    EXPECT_EQ(feed(frames::make_trackstat(chans)), 9);
    ASSERT_EQ(s.nsats, 36); // lowered by the GSV group
    EXPECT_EQ(s.hdop, 1.25);
    EXPECT_EQ(s.hashdop, 1);
    EXPECT_EQ(s.utcoffset, -18.0);
    for (int k = 0; k < 128; ++k) {
        EXPECT_EQ(s.sats[k].prn, listed[k]) << k;
        EXPECT_EQ(s.sats[k].snr, 20 + (listed[k] - 1) % 30) << k;
    }
    std::vector<std::string> l = lines();
    ASSERT_EQ(l.size(), 9u);
    EXPECT_EQ(l[0].substr(0, 18), "$GPGSV,9,1,36,01,0");
}

// Each TRACKSTAT channel gives its C/No to every entry of its PRN, a PRN
// listed twice included; PRNs that share their low bits stay apart.
TEST_F(converting, a_prn_listed_twice_gets_the_cno_in_both_entries)
{
    put(frames::make_satvis({{5, 10, 20}, {9, 11, 21}, {5, 30, 40}, {69, 31, 41}, {133, 1, 2}}));
    EXPECT_EQ(feed(frames::make_trackstat({{69, 0, 33}, {5, 0, 42}, {197, 0, 44}})), 2);
    ASSERT_EQ(s.nsats, 5);
    const int want[] = {42, -1, 42, 33, -1};
    for (int k = 0; k < 5; ++k)
        EXPECT_EQ(s.sats[k].snr, want[k]) << k;
}

// The milliseconds of TIME are cut to hundredths, never rounded: 59999 ms
// is 59.99 s, not 60.00.
TEST_F(converting, time_milliseconds_are_cut_to_hundredths)
{
    const std::pair<std::uint32_t, const char*> rows[] = {
        {59999, "123459.99"}, {59995, "123459.99"}, {59990, "123459.99"},
        {12345, "123412.34"}, {12349, "123412.34"}, {999, "123400.99"},
        {1009, "123401.00"},  {5, "123400.00"},     {60999, "123460.99"}, // a leap second
    };
    for (const auto& r : rows) {
        frames::time t = valid_time();
        t.msec = r.first;
        EXPECT_EQ(feed(frames::make(t)), 1);
        EXPECT_EQ(lines().back(), zda_line(r.second)) << r.first;
    }
}

TEST_F(converting, hemispheres_degrees_and_minutes)
{
    struct row {
        double lat, lon;
        char ns;
        int latdeg;
        double latmin;
        char ew;
        int londeg;
        double lonmin;
    } rows[] = {
        {-33.5, -0.25, 'S', 33, 30.0, 'W', 0, 15.0},
        {-0.0, 0.0, 'N', 0, 0.0, 'E', 0, 0.0},
        {89.75, -179.5, 'N', 89, 45.0, 'W', 179, 30.0},
        {nan, -nan, 'N', 0, nan, 'E', 0, nan},
        {1e300, -1e300, 'N', INT32_MAX, (1e300 - INT32_MAX) * 60, 'W', INT32_MAX,
         (1e300 - INT32_MAX) * 60},
    };
    for (const row& r : rows) {
        frames::bestpos p;
        p.lat = r.lat;
        p.lon = r.lon;
        feed(frames::make(p));
        EXPECT_EQ(s.latns, r.ns);
        EXPECT_EQ(s.latdeg, r.latdeg);
        EXPECT_EQ(s.lonew, r.ew);
        EXPECT_EQ(s.londeg, r.londeg);
        if (std::isnan(r.latmin)) {
            EXPECT_TRUE(std::isnan(s.latmin) && std::isnan(s.lonmin));
        } else {
            EXPECT_DOUBLE_EQ(s.latmin, r.latmin);
            EXPECT_DOUBLE_EQ(s.lonmin, r.lonmin);
        }
    }
}

// A TIME whose offsets cancel the time of the fix to within picoseconds,
// or a subnormal offset: the fix is at midnight, not 24:00 or a day early.
TEST_F(converting, a_fix_a_hair_before_midnight_is_at_midnight)
{
    header h;
    h.week = 2345;
    h.msec = 18000;
    for (auto [utc, clock, ms] :
         {std::make_tuple(-18.0, -1e-13, 18000u), std::make_tuple(-1e-320, 0.0, 0u)}) {
        converting::SetUp();
        frames::time t = valid_time(utc);
        t.clockoff = clock;
        feed(frames::make(t));
        h.msec = ms;
        EXPECT_EQ(feed(frames::make(tokyo(), h)), 2);
        std::vector<std::string> l = lines();
        ASSERT_GE(l.size(), 2u);
        EXPECT_EQ(l[l.size() - 2].substr(0, 17), "$GPGGA,000000.00,") << utc;
        EXPECT_NE(l.back().find(",151224,"), std::string::npos) << l.back();
    }
}

__extension__ typedef __int128 wide;

// ⌊x · 1000 + ½⌋ by exact rational arithmetic: x = M · 2^E, so x · 1000 + ½
// = (2000 · M + 2^-E) / 2^(1-E), divided in 128 bits, rounding down.
std::int64_t exact_ms(double x)
{
    int e2;
    double f = std::frexp(x, &e2); // x = f · 2^e2, 0.5 <= |f| < 1
    auto m = static_cast<std::int64_t>(std::ldexp(f, 53));
    int e = e2 - 53;
    if (e >= 0)
        return static_cast<std::int64_t>(wide(m) * 1000 * (wide(1) << e));
    if (-e > 100) // |x| below 2^-47: far from any half millisecond
        return 0;
    wide num = wide(m) * 2000 + (wide(1) << -e);
    wide den = wide(1) << (1 - e);
    wide q = num / den;
    if (num % den != 0 && num < 0)
        --q;
    return static_cast<std::int64_t>(q);
}

// The civil date of a count of days from 1970-01-01 (H. Hinnant's method).
void civil_from_days(std::int64_t z, int& y, int& m, int& d)
{
    z += 719468;
    std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    auto doe = static_cast<unsigned>(z - era * 146097);
    unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    unsigned mp = (5 * doy + 2) / 153;
    d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    y = static_cast<int>(era * 400 + yoe + (m <= 2 ? 1 : 0));
}

// The time of a fix is the instant of its week and milliseconds plus the
// offset, x = tow + offset as the double it is, rounded to whole
// milliseconds with halves upward and cut to hundredths. Offsets a half
// millisecond off whole ones put x within a hair of a rounding tie, where
// only exact arithmetic tells the side; offsets of days move the date.
TEST_F(converting, fix_times_agree_with_exact_arithmetic_at_ties_and_far_offsets)
{
    const double offsets[][2] = {
        {-18.0005, 0},
        {-17.9995, 0},
        {-0.0005, 0},
        {0.0015, 0},
        {-18.0, -0.0005},
        {-18.0, 1.2345e-10},
        {-259218.0005, 0},
        {100000.0005, 0},
        {86400.25, 0.0005},
        {-1000000.0005, 0},
        {-2147483646.0, -0.0005},
        {2147483.0625, 0},
        {-3.0625, 0}, // exact halves: 62.5 ms
    };
    std::mt19937_64 rng(20);
    for (int i = 0; i < 20000; ++i) {
        const double* o = offsets[i % (sizeof offsets / sizeof offsets[0])];
        frames::time t = valid_time(o[0]);
        t.clockoff = o[1];
        feed(frames::make(t));
        ASSERT_EQ(s.utcoffset, o[0] + o[1]);
        header h;
        h.week = static_cast<std::uint16_t>(rng() % 4000);
        h.msec = static_cast<std::uint32_t>(rng() % 604800000);
        if (i % 7 == 0) // a second before a day ends
            h.msec = static_cast<std::uint32_t>((rng() % 7 + 1) * 86400000 - 1000 + rng() % 1000);
        ASSERT_EQ(feed(frames::make(tokyo(), h)), 2);

        double x = h.msec / 1000.0 + (o[0] + o[1]);
        std::int64_t ms = std::int64_t(h.week) * 604800000 + exact_ms(x);
        std::int64_t days = ms / 86400000 - (ms % 86400000 < 0 ? 1 : 0);
        std::int64_t tod = ms - days * 86400000;
        int y, mo, d;
        civil_from_days(days + 3657, y, mo, d); // the GPS epoch is day 3657 of 1970
        char when[32], date[16];
        std::snprintf(when, sizeof when, "%02d%02d%02d.%02d", static_cast<int>(tod / 3600000),
                      static_cast<int>(tod / 60000 % 60), static_cast<int>(tod / 1000 % 60),
                      static_cast<int>(tod % 1000 / 10));
        std::snprintf(date, sizeof date, ",%02d%02d%02d,", d, mo, y % 100);
        std::string text = out.text();
        out.written.clear();
        std::string gga = "$GPGGA," + std::string(when) + ",";
        std::string rmc = "$GPRMC," + std::string(when) + ",";
        ASSERT_NE(text.find(gga), std::string::npos)
            << "week " << h.week << " ms " << h.msec << " offset " << o[0] << " + " << o[1] << ": "
            << text;
        std::size_t at = text.find(rmc);
        ASSERT_NE(at, std::string::npos) << text;
        ASSERT_EQ(text.substr(text.find("*", at) - 10, 8), date) << text;
    }
}

TEST_F(converting, fix_quality_from_position_type)
{
    // Every type with a quality other than 0, by the receiver maker's GGA
    // quality list; every other value, up to the largest, gives 0.
    const std::map<std::uint32_t, int> quality = {
        {1, 7},  {2, 1},  {16, 1}, {17, 2}, {18, 9}, {19, 6}, {20, 2}, {32, 5}, {33, 5}, {34, 5},
        {35, 5}, {46, 4}, {47, 4}, {48, 4}, {49, 4}, {50, 4}, {51, 5}, {52, 9}, {53, 1}, {54, 2},
        {55, 5}, {56, 4}, {57, 2}, {58, 5}, {59, 5}, {64, 5}, {65, 5}, {66, 2}, {68, 2}, {69, 5},
        {70, 1}, {71, 1}, {73, 2}, {74, 5}, {75, 5}, {76, 5}, {77, 1}, {78, 2}, {79, 1}, {80, 2},
    };
    manual_offset(18);
    std::vector<std::uint32_t> types;
    for (std::uint32_t t = 0; t <= 300; ++t)
        types.push_back(t);
    types.insert(types.end(), {0x10000u + 16, 0x7FFFFFFFu, 0xFFFFFFFFu});
    for (std::uint32_t t : types) {
        frames::bestpos p = tokyo();
        p.postype = t;
        ASSERT_EQ(feed(frames::make(p)), 2) << t; // quality 0 still writes
        auto q = quality.find(t);
        EXPECT_EQ(s.quality, q == quality.end() ? 0 : q->second) << "position type " << t;
    }
}

TEST_F(converting, bestpos_without_a_solution_changes_nothing)
{
    manual_offset(18);
    feed(frames::make(tokyo(), at_fix()));
    frames::bestpos bad = tokyo();
    bad.solstat = 1;
    bad.lat = -10;
    EXPECT_EQ(feed(frames::make(bad)), 0);
    EXPECT_EQ(slot(*store, log_bestpos)[0], 0);
    EXPECT_EQ(s.latns, 'N');
    EXPECT_EQ(s.hour, 12);
}

TEST_F(converting, all_fresh_in_one_call_writes_in_order)
{
    put(frames::make(valid_time()));
    put(frames::make(tokyo(), at_fix()));
    put(frames::make_satvis({{3, 45, 123}, {7, 12, 301}, {19, 67, 5}, {22, 8, 88}, {28, 30, 210}}));
    put(frames::make_trackstat({{3, 0, 40}, {22, 0, 33}, {28, 0, 45}}));
    frames::bestvel v;
    v.speed = 1.5;
    v.track = 271.26;
    put(frames::make(v));
    put(frames::make_psrdop(0.9f));
    EXPECT_EQ(convert(*store, s, out.out, opt), 5);
    EXPECT_EQ(lines(),
              (std::vector<std::string>{
                  "$GPGGA,123456.70,3507.4074,N,13939.2593,E,1,08,0.9,45.68,M,36.70,M,,*5A",
                  "$GPRMC,123456.70,A,3507.4073600,N,13939.2592600,E,2.916,271.3,071226,,,*18",
                  "$GPGSV,2,1,5,03,45,123,40,07,12,301,,19,67,005,,22,08,088,33*4B",
                  "$GPGSV,2,2,5,28,30,210,45*77",
                  "$GPZDA,123456.70,07,12,2026,,*64",
              }));
}

TEST_F(converting, disabled_sentences_are_dropped)
{
    manual_offset(18);
    opt.gga = 0;
    EXPECT_EQ(feed(frames::make(tokyo(), at_fix())), 1);
    EXPECT_EQ(lines()[0].substr(0, 6), "$GPRMC");
    opt.gga = opt.rmc = opt.gsv = opt.zda = false;
    put(frames::make_satvis({{3, 45, 123}}));
    EXPECT_EQ(feed(frames::make_trackstat({})), 0);
    EXPECT_EQ(feed(frames::make(valid_time())), 0);
    EXPECT_EQ(lines().size(), 1u);
}

TEST_F(converting, velocity_keeps_its_last_good_value)
{
    manual_offset(18);
    frames::bestvel v;
    v.speed = 1.5;
    v.track = 271.26;
    feed(frames::make(v));
    v.solstat = 6;
    v.speed = 99;
    feed(frames::make(v));
    EXPECT_EQ(s.hasvel, 1);
    EXPECT_EQ(s.speed, 1.5);
    EXPECT_EQ(slot(*store, log_bestvel)[0], 0);
}

TEST_F(converting, logs_too_short_for_their_fields_are_used_up_and_ignored)
{
    manual_offset(18);
    feed(frames::make(tokyo(), at_fix()));
    frames::bestvel v;
    v.speed = 1.5;
    feed(frames::make(v));
    feed(frames::make_psrdop(0.9f));
    feed(frames::make(valid_time()));
    std::size_t before = lines().size();
    // Each cut one byte short of the last field read, with a good CRC: what
    // the slot holds past it is left over from the frame before.
    std::string pos = frames::make(tokyo(), at_fix());
    EXPECT_EQ(feed(frames::frame(42, pos.substr(28, 65), at_fix())), 0);
    EXPECT_EQ(feed(frames::frame(99, std::string(39, '\x01'))), 0);
    EXPECT_EQ(feed(frames::frame(174, std::string(11, '\x01'))), 0);
    EXPECT_EQ(feed(frames::frame(101, std::string(43, '\x01'))), 0);
    EXPECT_EQ(feed(frames::frame(42, "")), 0);
    EXPECT_EQ(lines().size(), before);
    EXPECT_EQ(s.speed, 1.5);
    EXPECT_EQ(s.hdop, 0.9f);
    EXPECT_EQ(slot(*store, log_bestpos)[0] | slot(*store, log_bestvel)[0] |
                  slot(*store, log_psrdop)[0] | slot(*store, log_time)[0],
              0);
    EXPECT_EQ(store->count[log_bestpos], 3); // counted like any other frame

    // Longer than usual is fine: the fields are all there.
    EXPECT_EQ(feed(frames::frame(42, pos.substr(28, 72) + std::string(500, '\x07'), at_fix())), 2);
}

std::string c_int(const char* fmt, std::int32_t v)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, fmt, v);
    return buf;
}

// A line as the writer must make it from a printed text: blanks removed,
// the checksum of what is left between "$" and "*".
std::string as_line(const std::string& printed)
{
    std::string t;
    for (char c : printed)
        if (c != ' ')
            t += c;
    unsigned x = 0;
    for (std::size_t i = 1; i + 1 < t.size(); ++i)
        x ^= static_cast<unsigned char>(t[i]);
    char sum[3];
    std::snprintf(sum, sizeof sum, "%02X", x);
    return t + sum;
}

// GGA and RMC of a state as the C print makes them from their formats.
std::string printed_gga(const nmeastate& s)
{
    return "$GPGGA," + c_int("%02d", s.hour) + c_int("%02d", s.minute) + c_int("%02d", s.second) +
           "." + c_int("%02d", s.hsec) + "," + c_int("%02d", s.latdeg) + c_fixed(s.latmin, 4, 7) +
           "," + s.latns + "," + c_int("%03d", s.londeg) + c_fixed(s.lonmin, 4, 7) + "," + s.lonew +
           "," + c_int("%d", s.quality) + "," + c_int("%02d", s.svused) + "," +
           (s.hashdop ? c_fixed(s.hdop, 1) : "") + "," + c_fixed(s.height, 2) + ",M," +
           c_fixed(s.undulation, 2) + ",M,,*";
}

std::string printed_rmc(const nmeastate& s)
{
    std::string vel = s.hasvel ? c_fixed(s.speed / 0.514444, 3) + "," + c_fixed(s.track, 1) : ",";
    return "$GPRMC," + c_int("%02d", s.hour) + c_int("%02d", s.minute) + c_int("%02d", s.second) +
           "." + c_int("%02d", s.hsec) + ",A," + c_int("%02d", s.latdeg) +
           c_fixed(s.latmin, 7, 10) + "," + s.latns + "," + c_int("%03d", s.londeg) +
           c_fixed(s.lonmin, 7, 10) + "," + s.lonew + "," + vel + "," + c_int("%02d", s.day) +
           c_int("%02d", s.month) + c_int("%02d", s.year % 100) + ",,,*";
}

// NaN of either sign and infinities in every double a fix prints, one at a
// time and all at once, from the frames to the lines: each line is exactly
// the C print with the blanks (the padding of "nan" and "inf") removed,
// with the checksum of that cleaned text.
TEST_F(converting, not_a_number_and_infinities_print_as_the_c_print_without_blanks)
{
    const double nasty[] = {nan, -nan, inf, -inf};
    manual_offset(18);
    put(frames::make_psrdop(0.9f));
    for (int field = 0; field < 6; ++field) {
        for (double v : nasty) {
            frames::bestpos p = tokyo();
            frames::bestvel w;
            w.speed = 1.5;
            w.track = 271.26;
            if (field == 0 || field == 5)
                p.lat = v;
            if (field == 1 || field == 5)
                p.lon = v;
            if (field == 2 || field == 5)
                p.height = v;
            if (field == 3 || field == 5)
                w.speed = v;
            if (field == 4 || field == 5)
                w.track = v;
            put(frames::make(w));
            out.written.clear();
            ASSERT_EQ(feed(frames::make(p, at_fix())), 2) << field << " " << v;
            std::string want = as_line(printed_gga(s)) + "\r\n" + as_line(printed_rmc(s)) + "\r\n";
            EXPECT_EQ(out.text(), want) << field << " " << v;
            EXPECT_EQ(want.find("nan") != std::string::npos, std::isnan(v)) << want;
        }
    }
}

TEST_F(converting, hostile_values_never_write_a_sentence_beyond_its_bound)
{
    manual_offset(18);
    frames::bestpos p = tokyo();
    p.height = 1e300;
    EXPECT_EQ(feed(frames::make(p)), 1); // the GGA is refused, the RMC is fine
    EXPECT_EQ(lines()[0].substr(0, 6), "$GPRMC");

    // Saturated values fit their slots but for the first satellite, whose
    // slot would be 41 characters: its sentence is left out, the next one
    // is written with the group's count of 2.
    put(frames::make_satvis(
        {{-32768, inf, -inf}, {2, 5, -inf}, {3, 1e10, 1e10}, {4, 5, 6}, {5, 7, 8}}));
    EXPECT_EQ(feed(frames::make_trackstat({{-32768, 0, 1e30f}, {4, 0, -1e30f}})), 1);
    EXPECT_EQ(s.sats[0].elevation, INT32_MAX);
    EXPECT_EQ(s.sats[0].snr, INT32_MAX);
    EXPECT_EQ(s.sats[1].azimuth, INT32_MIN);
    EXPECT_EQ(s.sats[3].snr, INT32_MIN);
    EXPECT_EQ(lines().back(), "$GPGSV,2,2,5,05,07,008,*76");
}

} // namespace
