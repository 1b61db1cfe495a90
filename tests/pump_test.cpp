// The input pump over whole byte streams, where binary frames alone are at
// stake: the longest frames and candidates across block ends, frames inside
// good frames, and random damaged streams against independent scans. The
// cases every input form shares are the table of framing_test.cpp.
#include "frames.h"
#include "input/crc.h"
#include "input/frame.h"
#include "parser.h"
#include "pumping.h"

#include <gtest/gtest.h>

#include <random>

namespace {

using frames::header;

counts pump_counts(const std::string& bytes, bool all = false)
{
    pumping p;
    p.job.opt.all = all;
    p.run(bytes);
    return counts_of(p.store());
}

std::string bestpos(std::uint32_t ms = 0)
{
    header h;
    h.msec = ms;
    return frames::make(frames::bestpos{}, h);
}

TEST(pump, good_frames_inside_a_rejected_20_kb_candidate_across_a_block_end)
{
    // The longest candidates a rejection rescans: a TRACKSTAT and a SATVIS
    // claim that fail their CRC, each hiding good frames near its end, placed
    // so that block ends fall inside them.
    std::string hidden = bestpos(1) + std::string(19000, '\x01') + bestpos(2);
    std::string s = rejected_candidate(20528, hidden, 83) + rejected_candidate(20524, hidden, 48);
    for (int lead : {0, 1, 1023, 12000, block_size - 20000, block_size - 100, block_size - 1}) {
        counts c = pump_counts(std::string(static_cast<std::size_t>(lead), 'z') + s);
        EXPECT_EQ(c.bestpos, 4) << "lead " << lead;
        EXPECT_EQ(c.trackstat + c.satvis, 0) << "lead " << lead;
    }
}

// Through the pump, wherever the block ends fall: a frame of 4095 bytes, a
// SATVIS of 20524 and a TRACKSTAT of 20528 are found whole; one byte longer
// each (with a good CRC all the same) is not, and the frame after it is.
TEST(pump, longest_frames_are_found_and_one_byte_more_is_not)
{
    struct row {
        std::uint16_t id;
        int longest;
    } rows[] = {{7, 4095}, {48, 20524}, {83, 20528}};
    std::string after = bestpos(5);
    for (const row& r : rows) {
        std::string good = frames::frame(r.id, std::string(r.longest - 32, '\x03'));
        std::string over = frames::frame(r.id, std::string(r.longest - 31, '\x03'));
        for (int lead : {0, 1, block_size - 20000, block_size - r.longest, block_size - 9,
                         block_size - 1, block_size, 2 * block_size - 5}) {
            std::string pad(static_cast<std::size_t>(lead), 'z');
            for (auto reads : {std::vector<std::size_t>{}, std::vector<std::size_t>{4093}}) {
                EXPECT_EQ(frames_pumped(pad + good + after, reads),
                          (std::vector<std::string>{good, after}))
                    << r.id << " lead " << lead;
                EXPECT_EQ(frames_pumped(pad + over + after, reads), std::vector<std::string>{after})
                    << r.id << " lead " << lead;
            }
        }
    }
}

// A good frame whose body holds other good frames: the outer one is taken
// whole and the scan goes on after it, so the inner ones are not taken.
TEST(pump, frames_inside_a_good_frame_are_not_taken)
{
    std::string inner = bestpos(1) + frames::make(frames::time{}) + bestpos(2);
    for (std::uint16_t id : {std::uint16_t(43), std::uint16_t(83)}) {
        std::string outer = frames::frame(id, "\xAA\x44" + inner + "\x12\x1C" + inner);
        std::string s = bestpos(3) + outer + bestpos(4);
        EXPECT_EQ(frames_pumped(s), (std::vector<std::string>{bestpos(3), outer, bestpos(4)}));
        counts c = pump_counts(std::string(block_size - 50, 'z') + s);
        EXPECT_EQ(c.bestpos, 2) << id;
        EXPECT_EQ(c.time, 0) << id;
    }
}

TEST(pump, a_many_channel_trackstat_with_its_satvis_yields_gsv)
{
    // 325 channel records (13048 bytes) and 200 satellites (8056 bytes), as
    // receivers with many channels write them.
    std::vector<frames::satellite> sats;
    std::vector<frames::channel> chans;
    for (int i = 0; i < 325; ++i)
        chans.push_back({static_cast<std::int16_t>(i % 200 + 1), 0, 40.0f});
    for (int i = 0; i < 200; ++i)
        sats.push_back({static_cast<std::int16_t>(i + 1), 30.0, 10.0});
    std::string satvis = frames::make_satvis(sats), trackstat = frames::make_trackstat(chans);
    ASSERT_EQ(trackstat.size(), 13048u);
    pumping p;
    p.run(std::string(500, 'z') + satvis + trackstat);
    EXPECT_EQ(counts_of(p.store()).satvis, 1);
    EXPECT_EQ(counts_of(p.store()).trackstat, 1);
    EXPECT_EQ(p.job.sentences, 9); // the first 36 of the 128 listed
    EXPECT_EQ(p.output.substr(0, 16), "$GPGSV,9,1,36,01");
}

TEST(pump, the_last_bestpos_found_is_the_one_stored)
{
    pumping p;
    p.run(rejected_candidate(4000, bestpos(111) + bestpos(222)));
    EXPECT_EQ(p.store().count[log_bestpos], 2);
    EXPECT_EQ(read_bestpos(slot(p.store(), log_bestpos)).msec, 222u);
}

// A header that claims more than the file holds, around a whole frame. (A
// frame cut by the end of the input is a case of framing_test.cpp.)
TEST(pump, a_header_claiming_more_than_the_input_holds_around_a_whole_frame)
{
    std::string f = bestpos();
    std::string claim = frames::frame_with_length(7, 3000, std::string(40, 'q') + f);
    EXPECT_EQ(pump_counts(claim).bestpos, 1);
    EXPECT_EQ(pump_counts(claim + claim).bestpos, 2);
}

// A stream of everything a damaged recording holds: good frames of both
// headers (some SATVIS and TRACKSTAT beyond 4 KB), frames with bad CRCs, cut
// frames, lone sync words, good frames inside rejected candidates and inside
// good short frames, text-mode damage.
std::string damaged_stream(unsigned seed, std::size_t size)
{
    const std::uint16_t ids[] = {42, 48, 83, 99, 101, 174, 43, 7, 1163, 508, 1465, 241};
    constexpr int nids = sizeof ids / sizeof ids[0];
    std::mt19937 rng(seed);
    auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
    auto junk = [&](int n) {
        std::string j;
        for (int i = 0; i < n; ++i) {
            int r = pick(12);
            j += r == 0 ? '\xAA' : r == 1 ? '\x44' : r == 2 ? '\x13' : static_cast<char>(rng());
        }
        return j;
    };
    auto good_long = [&] {
        std::uint16_t id = ids[pick(nids)];
        int len = pick(4) == 0 ? pick(4064) : pick(200);
        if ((id == 48 || id == 83) && pick(8) == 0)
            len = 4000 + pick(16700); // beyond other logs' limit, up to past the slot's
        return frames::frame(id, junk(len));
    };
    auto good_short = [&](bool ok = true) {
        return frames::short_frame(ids[pick(nids)], junk(pick(256)), {}, ok);
    };
    auto good = [&] { return pick(3) == 0 ? good_short() : good_long(); };
    std::string s;
    while (s.size() < size) {
        switch (pick(10)) {
        case 0: s += junk(pick(300)); break;
        case 1: s += frames::frame(ids[pick(nids)], junk(pick(300)), {}, false); break;
        case 2: {
            std::string f = good();
            s += f.substr(0, static_cast<std::size_t>(pick(static_cast<int>(f.size()))));
            break;
        }
        case 3: s += (pick(2) ? "\xAA\x44\x12\x1C" : "\xAA\x44\x13") + junk(pick(12)); break;
        case 4: s += rejected_candidate(100 + pick(3960), good()).substr(0, 4000); break;
        case 5: { // text-mode damage: a LF inside a frame becomes CR LF
            std::string f = good() + "\n";
            auto at = f.find('\n', 12);
            if (at != std::string::npos && at + 1 < f.size())
                f.insert(at, "\r");
            s += f;
            break;
        }
        case 6: s += good_short(pick(2) == 0); break;
        case 7: { // a good short frame around a good long one
            std::string inner = frames::frame(ids[pick(nids)], junk(pick(200)));
            s += frames::short_frame(ids[pick(nids)], junk(pick(20)) + inner.substr(0, 230));
            break;
        }
        default: s += good(); break;
        }
    }
    return s;
}

TEST(pump, counts_match_an_independent_scan_of_random_damaged_streams)
{
    for (unsigned seed = 1; seed <= 12; ++seed) {
        std::string s = damaged_stream(seed, 150000);
        EXPECT_EQ(pump_counts(s), scan_counts(s)) << "seed " << seed;
        EXPECT_EQ(pump_counts(s, true), scan_counts(s, true)) << "seed " << seed;
    }
}

// The pump finds in place exactly the frames that feeding the parser byte
// by byte finds, whatever the sizes of the reads: frames split across
// reads, rescans across the ends of reads, and cut tails included.
TEST(pump, finds_what_byte_by_byte_feeding_finds_whatever_the_read_sizes)
{
    for (unsigned seed = 1; seed <= 16; ++seed) {
        std::mt19937 rng(seed * 7919u);
        std::string s = damaged_stream(seed + 100, 20000 + rng() % 300000);
        std::vector<std::size_t> reads;
        for (int i = 0; i < 50; ++i) {
            unsigned r = rng() % 4;
            reads.push_back(r == 0   ? 1 + rng() % 4
                            : r == 1 ? 1 + rng() % 200
                            : r == 2 ? 1 + rng() % 30000
                                     : 1 + rng() % 400000);
        }
        std::vector<std::string> want = frames_fed(s);
        ASSERT_EQ(frames_pumped(s, reads), want) << "seed " << seed;
        ASSERT_EQ(frames_pumped(s), want) << "seed " << seed;
        // Cut anywhere, the end of the input rejects what it cuts off.
        std::string cut = s.substr(0, rng() % s.size());
        ASSERT_EQ(frames_pumped(cut, reads), frames_fed(cut)) << "seed " << seed;
    }
}

} // namespace
