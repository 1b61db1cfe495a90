// The frame parser's answers, byte by byte.
#include "frames.h"
#include "input/crc.h"
#include "input/frame.h"
#include "parser.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

// Where the first sync word starts, -1 for none.
int sync_at(const std::uint8_t* p, int n)
{
    return find_sync(p, n).at;
}

// The judgement of the binary candidate at p as a number: its length when
// complete, 0 when it needs more, -1 when rejected.
int frame_at(const std::uint8_t* p, int n)
{
    judged j = binary_forms[is_short(p) ? form_short : form_long].judge(p, n, false);
    return j.v == verdict::complete ? j.len : j.v == verdict::more ? 0 : -1;
}

std::vector<int> feed_all(oem4& p, const std::string& bytes)
{
    std::vector<int> answers;
    for (unsigned char b : bytes)
        answers.push_back(p.feed(b));
    return answers;
}

// Answers 0 for every byte but the last, which gets `last`.
void expect_answers(const std::vector<int>& got, int last)
{
    ASSERT_FALSE(got.empty());
    for (std::size_t i = 0; i + 1 < got.size(); ++i)
        ASSERT_EQ(got[i], 0) << "byte " << i;
    EXPECT_EQ(got.back(), last);
}

TEST(crc, is_novatels_convention_not_zlibs)
{
    const std::string digits = "123456789";
    auto* p = reinterpret_cast<const std::uint8_t*>(digits.data());
    EXPECT_EQ(crc32(p, 9), 0x2DFD2D88u);
    EXPECT_EQ(crc32(p, 9, 0xFFFFFFFFu) ^ 0xFFFFFFFFu, 0xCBF43926u); // what zlib computes

    // A frame whose CRC was computed the zlib way is rejected.
    std::string f = frames::frame(42, std::string(72, '\x11'));
    auto* b = reinterpret_cast<const std::uint8_t*>(f.data());
    std::uint32_t z = crc32(b, 100, 0xFFFFFFFFu) ^ 0xFFFFFFFFu;
    for (int i = 0; i < 4; ++i)
        f[100 + i] = static_cast<char>(z >> (8 * i));
    oem4 p2;
    expect_answers(feed_all(p2, f), -103);
}

TEST(crc, fast_code_agrees_with_the_tables)
{
    std::mt19937 rng(5);
    std::vector<std::uint8_t> bytes(70000);
    for (auto& b : bytes)
        b = static_cast<std::uint8_t>(rng());
    for (int i = 0; i < 3000; ++i) {
        std::size_t at = rng() % 64, n = i < 100 ? static_cast<std::size_t>(i) : rng() % 21000;
        if (i % 500 == 0)
            n = 65000;
        std::uint32_t start = i % 3 == 0 ? 0 : static_cast<std::uint32_t>(rng());
        ASSERT_EQ(crc32(bytes.data() + at, n, start), crc32_table(bytes.data() + at, n, start))
            << "at " << at << " length " << n;
    }
}

TEST(sync, found_wherever_it_starts_and_only_whole)
{
    // Every place of either sync word in buffers of every length up to 160,
    // among bytes that are each one of the sync bytes, or (every fourth
    // trial) text with a few of them, which the search passes in long
    // steps: the long word needs its four bytes at hand, the short one its
    // three.
    std::mt19937 rng(11);
    const std::uint8_t parts[] = {0xAA, 0x44, 0x12, 0x1C, 0x13};
    for (int n = 0; n <= 160; ++n)
        for (int trial = 0; trial < 300; ++trial) {
            std::vector<std::uint8_t> b(static_cast<std::size_t>(n));
            for (auto& x : b)
                x = trial % 4 == 3 && rng() % 24 != 0 ? 'x'
                                                      : parts[rng() % (trial % 3 == 0 ? 4 : 5)];
            int want = -1;
            for (int i = 0; i + 3 <= n && want < 0; ++i)
                if (b[i] == 0xAA && b[i + 1] == 0x44 &&
                    (b[i + 2] == 0x13 || (i + 4 <= n && b[i + 2] == 0x12 && b[i + 3] == 0x1C)))
                    want = i;
            ASSERT_EQ(sync_at(b.data(), n), want) << n;
        }
}

TEST(short_frames, any_body_length_is_answered_on_its_last_byte)
{
    for (int len : {0, 1, 72, 254, 255}) {
        std::string f = frames::short_frame(508, std::string(static_cast<std::size_t>(len), 'b'));
        ASSERT_EQ(f.size(), static_cast<std::size_t>(len + 16));
        oem4 p;
        expect_answers(feed_all(p, f), 1);
        EXPECT_EQ(p.framelen, len + 16);
        EXPECT_EQ(std::string(reinterpret_cast<char*>(p.fbuf), f.size()), f);
        auto* b = reinterpret_cast<const std::uint8_t*>(f.data());
        EXPECT_EQ(frame_at(b, len + 16), len + 16);
        EXPECT_EQ(frame_at(b, len + 15), 0);
        EXPECT_EQ(frame_at(b, 3), 0);
        EXPECT_EQ(frame_at(b, 4), 0);
    }
}

TEST(short_frames, a_bad_crc_asks_for_all_but_the_first_byte)
{
    std::string f = frames::short_frame(508, std::string(88, 'b'), {}, false);
    oem4 p;
    expect_answers(feed_all(p, f), -103);
    EXPECT_EQ(p.fill, 0);
    EXPECT_EQ(frame_at(reinterpret_cast<const std::uint8_t*>(f.data()), 104), -1);
    // A long header's CRC taken over a short frame's bytes, or the other
    // way round, does not pass: the third sync byte is in both.
    std::string l = frames::frame(508, std::string(88, 'b'));
    l[2] = 0x13;
    EXPECT_EQ(frame_at(reinterpret_cast<const std::uint8_t*>(l.data()), 120), -1);
}

// A sync word that the end of the bytes at hand cuts off is not found, even
// when the bytes after the end, readable but not the caller's to look at,
// complete it; a whole one before it, or ending right at the end, is. The
// same bytes in an allocation of exactly n bytes: nothing past it is read
// (AddressSanitizer watches that).
TEST(sync, a_word_cut_by_the_end_is_not_found_whatever_follows)
{
    const std::vector<std::uint8_t> words[] = {{0xAA, 0x44, 0x12, 0x1C}, {0xAA, 0x44, 0x13}};
    std::vector<std::uint8_t> b(256);
    auto found = [&](int n) {
        int at = sync_at(b.data(), n);
        std::unique_ptr<std::uint8_t[]> exact(new std::uint8_t[static_cast<std::size_t>(n)]);
        std::copy(b.begin(), b.begin() + n, exact.get());
        EXPECT_EQ(sync_at(exact.get(), n), at) << n;
        return at;
    };
    for (const auto& word : words) {
        const int len = static_cast<int>(word.size());
        for (int n = 1; n <= 150; ++n) {
            for (int inside = 1; inside < len && inside <= n; ++inside)
                for (std::uint8_t fill : {0xAA, 0x00}) {
                    std::fill(b.begin(), b.end(), fill);
                    std::copy(word.begin(), word.end(), b.begin() + (n - inside));
                    ASSERT_EQ(found(n), -1) << n << " " << inside << " of " << len;
                    if (n - inside >= len) {
                        std::copy(word.begin(), word.end(), b.begin() + (n - inside - len));
                        ASSERT_EQ(found(n), n - inside - len) << n << " " << inside;
                    }
                }
            if (n >= len) {
                std::fill(b.begin(), b.end(), std::uint8_t(0x44));
                std::copy(word.begin(), word.end(), b.begin() + (n - len));
                ASSERT_EQ(found(n), n - len) << n << " of " << len;
            }
        }
    }
}

// The total length is in bytes 8 and 9: with nine bytes at hand the answer
// is always "more needed", whatever the tenth byte (there, but not yet
// given) holds.
TEST(frame_at, needs_ten_bytes_whatever_the_tenth_holds)
{
    std::string f = frames::make(frames::bestpos{});
    auto* p = reinterpret_cast<std::uint8_t*>(&f[0]);
    for (int n = 4; n <= 9; ++n)
        for (int tenth = 0; tenth < 256; ++tenth) {
            p[9] = static_cast<std::uint8_t>(tenth);
            ASSERT_EQ(frame_at(p, n), 0) << n << " " << tenth;
        }
    // With the tenth given, a length beyond the limit is rejected at once.
    p[9] = 0xFF;
    EXPECT_EQ(frame_at(p, 10), -1);
}

// The longest frame of each kind is taken, one byte more is rejected as
// soon as its length is known; the length is that of the whole frame.
TEST(frame_at, length_limits_by_message_id)
{
    struct row {
        std::uint16_t id;
        int longest;
    } rows[] = {{7, 4095}, {42, 4095}, {48, 20524}, {83, 20528}, {84, 4095}};
    for (const row& r : rows) {
        std::string good = frames::frame(r.id, std::string(r.longest - 32, 'x'));
        auto* g = reinterpret_cast<const std::uint8_t*>(good.data());
        EXPECT_EQ(frame_at(g, r.longest), r.longest) << r.id;
        EXPECT_EQ(frame_at(g, r.longest - 1), 0) << r.id;
        std::string over = frames::frame(r.id, std::string(r.longest - 31, 'x'));
        auto* o = reinterpret_cast<const std::uint8_t*>(over.data());
        EXPECT_EQ(frame_at(o, 10), -1) << r.id;
        EXPECT_EQ(frame_at(o, r.longest + 1), -1) << r.id;
        std::string bad = frames::frame(r.id, std::string(r.longest - 32, 'x'), {}, false);
        EXPECT_EQ(frame_at(reinterpret_cast<const std::uint8_t*>(bad.data()), r.longest), -1);
    }
}

TEST(parser, hunts_past_everything_but_the_first_sync_byte)
{
    oem4 p;
    for (int b = 0; b < 256; ++b) {
        if (b == 0xAA)
            continue;
        EXPECT_EQ(p.feed(static_cast<std::uint8_t>(b)), 0);
        EXPECT_EQ(p.fill, 0);
    }
}

TEST(parser, rejects_bad_sync_and_header_length_asking_for_all_but_the_first_byte)
{
    struct row {
        std::string bytes;
        int answer;
    } rows[] = {
        {"\xAA\xAA", -1},         {"\xAA\x45", -1},         {"\xAA\x44\x14", -2},
        {"\xAA\x44\x12\x1B", -3}, {"\xAA\x44\x12\x1D", -3},
    };
    for (const row& r : rows) {
        oem4 p;
        expect_answers(feed_all(p, r.bytes), r.answer);
        EXPECT_EQ(p.fill, 0);
    }
}

TEST(parser, second_byte_given_again_starts_the_real_frame)
{
    oem4 p;
    std::string f = frames::frame(42, std::string(72, '\0'));
    EXPECT_EQ(p.feed(0xAA), 0);
    EXPECT_EQ(p.feed(0xAA), -1);
    expect_answers(feed_all(p, f), 1);
}

TEST(parser, total_length_limits_by_message_id)
{
    // SATVIS and TRACKSTAT may be as long as their slots hold; every other
    // frame must be shorter than 4096 bytes. A frame one byte too long is
    // rejected at its tenth byte.
    struct row {
        std::uint16_t id;
        int longest;
    } rows[] = {{48, 20524}, {83, 20528}, {7, 4095}, {42, 4095}, {47, 4095}, {84, 4095}};
    for (const row& r : rows) {
        oem4 p;
        std::string longest = frames::frame(r.id, std::string(r.longest - 32, 'x'));
        expect_answers(feed_all(p, longest), 1);
        EXPECT_EQ(p.framelen, r.longest) << r.id;
        std::string too_long = frames::frame(r.id, std::string(r.longest - 31, 'x'));
        expect_answers(feed_all(p, too_long.substr(0, 10)), -9);
        std::string max_len = frames::frame_with_length(r.id, 0xFFFF, "");
        expect_answers(feed_all(p, max_len.substr(0, 10)), -9);
    }
}

TEST(parser, empty_body_frame_is_32_bytes)
{
    oem4 p;
    std::string f = frames::frame(1234, "");
    ASSERT_EQ(f.size(), 32u);
    expect_answers(feed_all(p, f), 1);
    EXPECT_EQ(p.framelen, 32);
}

TEST(parser, bad_crc_asks_for_the_frame_less_its_first_byte)
{
    oem4 p;
    std::string f = frames::frame(42, std::string(72, '\x01'), {}, false);
    ASSERT_EQ(f.size(), 104u);
    expect_answers(feed_all(p, f), -103);
    EXPECT_EQ(p.fill, 0);
}

TEST(parser, good_frame_is_answered_on_its_last_byte_and_stays_in_the_buffer)
{
    oem4 p;
    std::string f = frames::make(frames::bestpos{});
    expect_answers(feed_all(p, f), 1);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(p.fbuf), 104), f);
    // The next byte starts a new candidate at index 0.
    EXPECT_EQ(p.feed(0x55), 0);
    EXPECT_EQ(p.fbuf[0], 0x55);
    EXPECT_EQ(p.fill, 0);
}

TEST(parser, finish_rejects_a_cut_candidate)
{
    oem4 p;
    std::string f = frames::frame(42, std::string(72, '\0'));
    feed_all(p, f.substr(0, 50));
    EXPECT_EQ(p.finish(), -49);
    EXPECT_EQ(p.fill, 0);
    EXPECT_EQ(p.finish(), 0);
    p.feed(0xAA);
    EXPECT_EQ(p.finish(), 0); // a lone sync byte leaves nothing to look at again
}

} // namespace
