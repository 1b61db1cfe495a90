// The conversion: which fresh logs make which sentences, in which order.
#include "frames.h"
#include "input/logstore.h"
#include "nmea/convert.h"
#include "nmea/nmeastate.h"
#include "output.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <map>
#include <memory>
#include <tuple>

namespace {

using frames::header;

const double nan = std::numeric_limits<double>::quiet_NaN();
const double inf = std::numeric_limits<double>::infinity();

struct converting : testing::Test {
    std::unique_ptr<logstore> store{new logstore()};
    nmeastate s{};
    nmeaopt opt{1, 1, 1, 1, 0};
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
        return convert(*store, s, out.out, opt);
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
        EXPECT_EQ(store->time[0], 0);
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
    EXPECT_EQ(store->satvis[0], fresh);
    EXPECT_EQ(feed(frames::make_satvis({{3, 45, 123}, {7, 12, 301}})), 0);
    EXPECT_EQ(feed(frames::make_trackstat({{3, 0, 40.7f}})), 1);
    EXPECT_EQ(store->satvis[0], 0);
    EXPECT_EQ(store->trackstat[0], 0);
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
    EXPECT_EQ(store->satvis[0] | store->trackstat[0], 0);
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
    EXPECT_EQ(store->bestpos[0], 0);
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
    opt = nmeaopt{0, 0, 0, 0, 1};
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
    EXPECT_EQ(store->bestvel[0], 0);
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
    EXPECT_EQ(store->bestpos[0] | store->bestvel[0] | store->psrdop[0] | store->time[0], 0);
    EXPECT_EQ(store->nbestpos, 3); // counted like any other frame

    // Longer than usual is fine: the fields are all there.
    EXPECT_EQ(feed(frames::frame(42, pos.substr(28, 72) + std::string(500, '\x07'), at_fix())), 2);
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
