// The log store: slots, fresh marks, counters.
#include "frames.h"
#include "input/store.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

namespace {

void store(logstore& s, const std::string& f)
{
    store_frame(s, reinterpret_cast<const std::uint8_t*>(f.data()), static_cast<int>(f.size()));
}

std::unique_ptr<logstore> empty_store()
{
    return std::unique_ptr<logstore>(new logstore());
}

TEST(store, each_log_goes_to_its_slot_marked_fresh_and_counted)
{
    auto s = empty_store();
    store(*s, frames::make(frames::bestpos{}));
    store(*s, frames::make(frames::bestvel{}));
    store(*s, frames::make_satvis({{5, 10, 20}}));
    store(*s, frames::make_trackstat({{5, 0, 40}}));
    store(*s, frames::make(frames::time{}));
    store(*s, frames::make_psrdop(0.9f));
    store(*s, frames::make(frames::bestpos{}));
    for (const std::uint8_t* slot :
         {slot(*s, log_bestpos), slot(*s, log_bestvel), slot(*s, log_satvis),
          slot(*s, log_trackstat), slot(*s, log_time), slot(*s, log_psrdop)})
        EXPECT_EQ(slot[0], fresh);
    EXPECT_EQ(s->count[log_bestpos], 2);
    EXPECT_EQ(s->count[log_bestvel] + s->count[log_satvis] + s->count[log_trackstat] +
                  s->count[log_time] + s->count[log_psrdop],
              5);
}

TEST(store, other_message_ids_change_nothing)
{
    auto s = empty_store();
    store(*s, frames::frame(43, std::string(72, '\x07')));
    store(*s, frames::frame(298, std::string(72, '\x07')));
    logstore zero{};
    EXPECT_EQ(std::memcmp(s.get(), &zero, sizeof zero), 0);
}

TEST(store, standard_bestpos_fills_its_slot_without_the_crc)
{
    auto s = empty_store();
    frames::bestpos v;
    v.lat = 51.5;
    v.svused = 9;
    frames::header h;
    h.week = 2100;
    h.msec = 123456789;
    std::string f = frames::make(v, h);
    ASSERT_EQ(f.size(), 104u);
    store(*s, f);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(slot(*s, log_bestpos)), 100), f.substr(0, 100));
    bestpos_log b = read_bestpos(slot(*s, log_bestpos));
    EXPECT_EQ(b.week, 2100);
    EXPECT_EQ(b.msec, 123456789u);
    EXPECT_EQ(b.lat, 51.5);
    EXPECT_EQ(b.svused, 9);
    EXPECT_EQ(slot(*s, log_bestvel)[0], 0); // the next slot is untouched
}

TEST(store, a_shorter_frame_leaves_older_records_beyond_it)
{
    auto s = empty_store();
    std::vector<frames::satellite> ten, three;
    for (int i = 1; i <= 10; ++i)
        ten.push_back({static_cast<std::int16_t>(i), 1.0 * i, 2.0 * i});
    three.assign(ten.begin(), ten.begin() + 3);
    three[0].prn = 99;
    store(*s, frames::make_satvis(ten));
    store(*s, frames::make_satvis(three));
    EXPECT_EQ(satvis_count(slot(*s, log_satvis)), 3);
    EXPECT_EQ(read_satvis(slot(*s, log_satvis), 0).prn, 99);
    EXPECT_EQ(read_satvis(slot(*s, log_satvis), 9).prn, 10); // stale, beyond the new frame
    EXPECT_EQ(s->count[log_satvis], 2);
}

TEST(store, over_long_frames_are_cut_to_their_slot_and_counted)
{
    auto s = empty_store();
    std::string body(4000, '\x33');
    store(*s, frames::frame(42, body));
    store(*s, frames::frame(99, body));
    store(*s, frames::frame(101, body));
    store(*s, frames::frame(174, body));
    EXPECT_EQ(s->count[log_bestpos] + s->count[log_bestvel] + s->count[log_time] +
                  s->count[log_psrdop],
              4);
    // Nothing past a slot: the slot after each holds what it held (zero or
    // its own frame), and the counters after the last slot are intact.
    EXPECT_EQ(slot(*s, log_bestpos)[99], 0x33);
    EXPECT_EQ(slot(*s, log_bestvel)[0], 0xAA);
    EXPECT_EQ(slot(*s, log_satvis)[0], 0);
    EXPECT_EQ(slot(*s, log_time)[71], 0x33);
    EXPECT_EQ(slot(*s, log_psrdop)[2103], 0x33);
    EXPECT_EQ(s->count[log_satvis], 0);
}

TEST(store, counters_stop_at_their_largest_value)
{
    auto s = empty_store();
    s->count[log_time] = INT32_MAX;
    store(*s, frames::make(frames::time{}));
    EXPECT_EQ(s->count[log_time], INT32_MAX);
}

} // namespace
