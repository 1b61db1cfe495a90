// The framing of every input form, as one table run through the same cases:
// long and short binary frames, long, short and abbreviated ASCII logs. Each
// row gives a sample log of its form and the frame it gives, a damaged one,
// false starts of its form and a rejected candidate of its own form; each
// case runs over every row (and every pair of rows), through several read
// sizes, with the sink ordered and not, and against the reference of
// textref.h. Then damaged ASCII candidates, random mixes of everything
// against the reference, and the byte scans of the ASCII reader against
// byte loops.
#include "asciienc.h"
#include "frames.h"
#include "input/crc.h"
#include "input/pump.h"
#include "input/scan.h"
#include "pumping.h"
#include "textref.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <random>

namespace {

using frames::header;
using logs = std::vector<logfound>;
using reads = std::vector<std::size_t>;
namespace enc = asciienc;

header at_ms(std::uint32_t ms)
{
    header h;
    h.msec = ms;
    return h;
}

std::string bestpos(std::uint32_t ms = 0)
{
    return frames::make(frames::bestpos{}, at_ms(ms));
}

// INSPVAS, which receivers send with the short header.
std::string inspvas(std::uint32_t ms = 0)
{
    frames::inspva v;
    v.lat = 51.15043713712;
    v.lon = -114.03067840707;
    v.azimuth = 287.5;
    return frames::make_short(v, at_ms(ms));
}

void put_le(std::string& s, std::size_t at, std::uint32_t v, int size)
{
    for (int i = 0; i < size; ++i)
        s[at + static_cast<std::size_t>(i)] = static_cast<char>(v >> (8 * i));
}

std::string with_crc(std::string f)
{
    std::uint32_t crc = crc32(reinterpret_cast<const std::uint8_t*>(f.data()), f.size());
    f.append(4, '\0');
    put_le(f, f.size() - 4, crc, 4);
    return f;
}

// The frame an ASCII log of frame f gives: its body under a header that
// keeps only the id, length, week and milliseconds.
std::string as_read(const std::string& f)
{
    std::string body = frames::body_of(f);
    if (f[2] == '\x13')
        return with_crc(f.substr(0, 12) + body);
    std::string h(28, '\0');
    h.replace(0, 4, "\xAA\x44\x12\x1C");
    h.replace(4, 2, f, 4, 2);
    put_le(h, 8, static_cast<std::uint32_t>(body.size()), 2);
    h.replace(14, 6, f, 14, 6);
    return with_crc(h + body);
}

// A long or short ASCII log from its text between the start byte and "*".
std::string signed_log(char start, const std::string& text)
{
    char crc[9];
    std::snprintf(crc, sizeof crc, "%08lx",
                  static_cast<unsigned long>(
                      crc32(reinterpret_cast<const std::uint8_t*>(text.data()), text.size())));
    return start + text + "*" + crc;
}

// The text of a long or short log between its start byte and "*".
std::string signed_text(const std::string& log)
{
    return log.substr(1, log.rfind('*') - 1);
}

std::string ascii(const std::string& f, enc::form form)
{
    std::string s = enc::render(f, form, enc::style::exact);
    return form == enc::form::abbreviated ? s : s.substr(0, s.size() - 2); // the CRC ends the log
}

// A frame of a log with a CRC that does not match.
std::string bad_crc(const std::string& frame)
{
    std::string f = frame;
    f.back() = static_cast<char>(f.back() ^ 1);
    return f;
}

// A long or short ASCII log with another hex digit at the end of its CRC.
std::string bad_digit(const std::string& log)
{
    return log.substr(0, log.size() - 1) + (log.back() == '0' ? "1" : "0");
}

// An input form: how a frame is written in it and what it gives, a damaged
// log, false starts (each rejected wherever it stands, none keeping the
// form's log after it from being found) and a rejected candidate whose
// bytes run on into `inner`.
struct formrow {
    const char* name;
    bool ascii;
    bool shorthead;                           // its logs have the short header
    std::string (*write)(const std::string&); // a frame as a log of the form
    std::string (*damage)(const std::string&);
    std::string sep; // before and after a log of the form: ASCII logs stand on lines
    std::vector<std::string> false_starts;
    std::string (*around)(const std::string& inner, int claim);

    std::string log(std::uint32_t ms = 0) const { return write(frame(ms)); }
    std::string frame(std::uint32_t ms = 0) const { return shorthead ? inspvas(ms) : bestpos(ms); }
    logfound gives(const std::string& f) const { return {ascii ? as_read(f) : f, ascii}; }
    logfound gives(std::uint32_t ms = 0) const { return gives(frame(ms)); }
};

// In the abbreviated form, a field that does not parse: the latitude.
std::string bad_field(const std::string& log)
{
    std::string s = log;
    std::size_t body = s.find("\n<") + 7, lat = s.find(' ', s.find(' ', body) + 1) + 1;
    return s.insert(lat, "x");
}

const formrow rows[] = {
    {"long binary",
     false,
     false,
     [](const std::string& f) { return f; },
     bad_crc,
     "",
     {"\xAA\x44\x12\x1D", "\xAA\x44\x13",
      std::string("\xAA\x44\x12\x1C\xff\xff\x00\x00\xff\xff", 10), "\xAA"},
     [](const std::string& inner, int claim) { return rejected_candidate(claim, inner); }},
    {"short binary",
     false,
     true,
     [](const std::string& f) { return f; },
     bad_crc,
     "",
     {"\xAA\x44\x13", std::string("\xAA\x44\x13\x00\xFC\x01", 6),
      "\xAA\x44\x13\x05"
      "abc"},
     [](const std::string& inner, int) {
         return std::string("\xAA\x44\x13\xF0\xFC\x01\x29\x09\0\0\0\0", 12) + inner;
     }},
    {"long ASCII",
     true,
     false,
     [](const std::string& f) { return ascii(f, enc::form::long_ascii); },
     bad_digit,
     "\r\n",
     {"#", "#BESTPOSA", "#BESTPOS,", "#BESTPOSA,COM1;", "#OKA,",
      "#BESTPOSA,COM1,0,0.0,FINESTEERING,2345,x,0,0,0;", "#BESTPOSA,COM1,0,0,0,70000,0,0,0,0;",
      "#BESTPOSA,COM1,0,0.0,FINESTEERING,2345,0.000,0,0,0;*"},
     [](const std::string& inner, int) {
         return "#BESTPOSA,COM1,0,0.0,FINESTEERING,2345,1.000,00000000,0000,0;" + inner;
     }},
    {"short ASCII",
     true,
     true,
     [](const std::string& f) { return ascii(f, enc::form::short_ascii); },
     bad_digit,
     "\r\n",
     {"%", "%INSPVASA,2345;", "%INSPVASA,123456,1.0;", "%INSPVASA,2345,1.0000000000;",
      "%INSPVASA,2345,1234567;", "%INSPVASA,2345,.5;", "%INSPVASA_123,2345,1.0;"},
     [](const std::string& inner, int) { return "%INSPVASA,2345,1.000;" + inner; }},
    {"abbreviated ASCII",
     true,
     false,
     [](const std::string& f) { return ascii(f, enc::form::abbreviated); },
     bad_field,
     "\r\n",
     {"<\r\n", "<OK\r\n", "<ERROR:Invalid Message. Field = 1\r\n", "<BESTPOS\r\n",
      "<BESTPOS COM1 0\r\n", "<BESTPOSA COM1 0 0.0 FINESTEERING 2345 1.000 0 0 0\r\n",
      "<BESTPOS 70000 1.0\r\n", "<BESTPOS COM1 0 0.0 FINESTEERING 2345 1.000 0 0 0 0\r\n"},
     // A candidate ends at its first line that does not start with "< ", so
     // no log lies further inside one than on the line after its header.
     [](const std::string& inner, int) { return "<BESTPOS COM1 0 0.0\r\n" + inner; }},
};

// What the pump hands on for s, through each set of read sizes, with the
// sink ordered and not, and what the reference gives: all must be want.
// Without the order, the binary frames and the ASCII logs each keep theirs.
void expect_logs(const std::string& s, const logs& want, const std::string& what,
                 const std::vector<reads>& sizes = {{}, {1}, {7}, {1024}, {3, 100, 1, 5000}})
{
    auto split = [](const logs& l) {
        logs b, a;
        for (const logfound& f : l)
            (f.ascii ? a : b).push_back(f);
        return std::make_pair(b, a);
    };
    ASSERT_EQ(reference_logs(s), want) << what << ": the reference";
    for (const reads& r : sizes) {
        std::string with = what + ", reads of " + (r.empty() ? "a block" : std::to_string(r[0]));
        ASSERT_EQ(logs_pumped(s, r), want) << with;
        ASSERT_EQ(split(logs_pumped(s, r, false)), split(want)) << with << ", unordered";
    }
}

std::string named(const formrow& r, const std::string& what)
{
    return std::string(r.name) + ": " + what;
}

TEST(framing, complete_logs_amid_garbage_across_read_boundaries)
{
    // Three logs of each form between garbage of the binary search's kind,
    // read whole, byte by byte and in pieces that cut them anywhere.
    std::vector<frames::satellite> sats;
    for (int i = 0; i < 70; ++i)
        sats.push_back({static_cast<std::int16_t>(i + 1), 10.0 + i, 3.0 * i});
    const std::string satvis = frames::make_satvis(sats); // 2852 bytes
    for (const formrow& r : rows) {
        std::vector<std::string> three = {satvis, bestpos(), frames::make(frames::time{})};
        if (r.shorthead)
            three = {inspvas(1),
                     frames::short_frame(
                         48, frames::body_of(frames::make_satvis({{3, 45, 123}, {45, 10, 20}}))),
                     frames::short_frame(101, frames::body_of(three[2]))};
        const std::string& e = r.sep;
        std::string s = std::string(1000, '\xAA') + e + r.write(three[0]) + e + "junk\xAA\x44" + e +
                        r.write(three[1]) + e + std::string(1021, 'g') + e + r.write(three[2]) + e +
                        "\xAA\x44\x12";
        expect_logs(e + r.log() + e, {r.gives()}, named(r, "alone"));
        expect_logs(s, {r.gives(three[0]), r.gives(three[1]), r.gives(three[2])},
                    named(r, "amid garbage"));
    }
}

TEST(framing, damaged_logs_and_false_starts_are_passed_over)
{
    for (const formrow& r : rows) {
        std::string log = r.log(), e = r.sep;
        expect_logs(r.damage(log), {}, named(r, "damaged"));
        expect_logs(r.damage(log) + e + log, {r.gives()}, named(r, "damaged, then good"));
        std::string all;
        for (const std::string& f : r.false_starts) {
            expect_logs(f + log, {r.gives()}, named(r, "false start " + f));
            expect_logs(e + log + e + f, {r.gives()}, named(r, "false start at the end " + f));
            all += f;
        }
        expect_logs(all + log, {r.gives()}, named(r, "every false start"));
    }
}

TEST(framing, a_log_inside_a_rejected_candidate_of_its_form_is_found)
{
    // A short candidate, then a 4000-byte one, each holding good logs.
    for (const formrow& r : rows) {
        const std::string& e = r.sep;
        std::string s = r.around(r.log(1), 300) + std::string(700, '\0') +
                        r.around(r.log(2) + e + std::string(2500, '\x01') + e + r.log(3), 4000);
        for (int lead : {0, 1, 513, 1023, 1024, 3000, 7000})
            expect_logs(std::string(static_cast<std::size_t>(lead), 'z') + s,
                        {r.gives(1), r.gives(2), r.gives(3)},
                        named(r, "lead " + std::to_string(lead)), {{}, {1000}});
    }
}

// At the end of the input a cut log is rejected, except an abbreviated one:
// it ends at the end of the input, so a cut log is taken when its header
// line holds its tokens (the ninth begun), with the fields before the cut.
TEST(framing, a_log_cut_by_the_end_of_the_input)
{
    for (const formrow& r : rows) {
        std::string f = r.frame(), log = r.log();
        for (std::size_t c = 0; c < log.size(); ++c) {
            std::string s = r.sep + log + r.sep + log.substr(0, c);
            std::string what = named(r, "cut at " + std::to_string(c));
            if (r.write(f)[0] != '<') {
                expect_logs(s, {r.gives()}, what, {{}, {13}});
                continue;
            }
            // The abbreviated form: cuts at the end of the header line and
            // at the end of each field; inside a field, as the reference
            // reads the field's text so far.
            std::size_t head = log.find('\n') + 1, ninth = log.rfind(' ', head) + 1;
            logs want = reference_logs(s);
            if (c <= ninth)
                want = {r.gives()};
            else if (c <= head + 6)
                want = {r.gives(), r.gives(frames::frame(42, "", at_ms(0)))};
            std::size_t end = head + 5; // the fields follow "<     " one space apart
            for (const enc::field& fd : enc::fields(f, enc::style::exact)) {
                end += 1 + fd.text.size();
                std::string body = frames::body_of(f).substr(0, std::size_t(fd.at + fd.t.size));
                if (c == end)
                    want = {r.gives(), r.gives(frames::frame(42, body))};
            }
            expect_logs(s, want, what, {{}, {13}});
        }
    }
}

TEST(framing, two_forms_interleaved)
{
    for (const formrow& a : rows)
        for (const formrow& b : rows) {
            if (&a == &b)
                continue;
            std::string what = std::string(a.name) + " and " + b.name;
            std::string s = a.sep + a.log(1) + a.sep + b.sep + b.log(2) + b.sep + a.sep + a.log(3) +
                            a.sep + b.sep + b.log(4) + b.sep;
            expect_logs(s, {a.gives(1), b.gives(2), a.gives(3), b.gives(4)}, what);
            if (!a.ascii || b.ascii)
                continue;
            // A binary frame inside an ASCII log is cut out of it: the log
            // is read, after the frame when its last byte comes later.
            std::string log = a.log(1);
            for (std::size_t at :
                 {std::size_t(1), log.find('\n') + 1, log.size() / 2, log.size() - 1, log.size()}) {
                if (at > log.size())
                    continue;
                std::string in = log;
                in.insert(at, b.log(2));
                logs want = {b.gives(2), a.gives(1)};
                if (at == log.size())
                    std::swap(want[0], want[1]);
                expect_logs(a.sep + in + a.sep, want, what + ", inserted at " + std::to_string(at));
            }
        }
}

TEST(framing, empty_input_and_input_of_exact_block_multiples)
{
    expect_logs("", {}, "empty");
    pumping p;
    p.run("");
    EXPECT_EQ(counts_of(p.store()), counts{});
    EXPECT_EQ(p.job.sentences, 0);
    for (const formrow& r : rows) {
        std::string unit = r.log() + r.sep;
        for (std::size_t size : {std::size_t(1024), std::size_t(block_size),
                                 std::size_t(window_size), std::size_t(2 * block_size)}) {
            std::string s;
            logs want;
            while (s.size() + unit.size() <= size) {
                s += unit;
                want.push_back(r.gives());
            }
            s.append(size - s.size(), '\0');
            expect_logs(s, want, named(r, std::to_string(size) + " bytes"), {{}});
        }
    }
}

// Damaged ASCII candidates, and logs at the limits of the forms, each read
// or rejected as the rules say.
TEST(framing, damaged_ascii_candidates)
{
    const std::string pos = bestpos(7), ins = inspvas(7);
    const std::string hash = ascii(pos, enc::form::long_ascii),
                      pct = ascii(ins, enc::form::short_ascii),
                      angle = ascii(pos, enc::form::abbreviated);
    const logfound got_pos{as_read(pos), true}, got_ins{as_read(ins), true};
    auto lf_only = [](std::string s) {
        for (std::size_t at; (at = s.find("\r\n")) != std::string::npos;)
            s.erase(at, 1);
        return s;
    };
    auto renamed = [](const std::string& log, const std::string& from, const std::string& to) {
        std::string text = log[0] == '<' ? log : signed_text(log);
        text.replace(text.find(from), from.size(), to);
        return log[0] == '<' ? text : signed_log(log[0], text);
    };
    // BESTPOS with "*" in its quoted station id; BESTPOS and INSPVAS with
    // their first four and three fields.
    std::string body = frames::body_of(pos);
    const std::string starred = frames::frame(42, body.substr(0, 52) + "A*BC" + body.substr(56));
    const std::string early = frames::frame(42, body.substr(0, 24), at_ms(7));
    const std::string early_short = frames::short_frame(508, frames::body_of(ins).substr(0, 20));
    const std::string trackstat = frames::make_trackstat({{3, 0, 40.5f}, {45, 0, 30}}, at_ms(7));
    const std::string track_short = frames::short_frame(83, frames::body_of(trackstat), at_ms(7));
    const std::string heading2 = frames::make_heading(1.5f, at_ms(7), 1335);
    // A short log's body holds at most 255 bytes: SATVIS with 6 records
    // (252 bytes) is read, with 7 (292) not; a long frame at most 4095:
    // PSRDOP with 1008 satellites (4092) is read, with 1009 not.
    auto satvis = [](int n) {
        std::vector<frames::satellite> sats;
        for (int i = 0; i < n; ++i)
            sats.push_back({static_cast<std::int16_t>(i + 1), 10.0 + i, 3.0 * i});
        return frames::make_satvis(sats);
    };
    auto as_short = [](const std::string& f) {
        std::string text = signed_text(ascii(f, enc::form::long_ascii));
        return signed_log('%', "SATVISA,2345,0.000" + text.substr(text.find(';')));
    };
    struct row {
        std::string what, input;
        logs want;
    } cases[] = {
        {"glued after a port prompt", "[COM2]" + hash + "\r\n", {got_pos}},
        {"short, glued after a port prompt", "[COM2]" + pct + "\r\n", {got_ins}},
        // "<" starts a log only at the start of a line.
        {"abbreviated, glued after a port prompt", "[COM2]" + angle, {}},
        {"abbreviated, after a port prompt's line", "[COM2]\r\n" + angle, {got_pos}},
        {"LF-only line ends",
         lf_only(hash + "\r\n" + angle + "\r\n" + pct + "\r\n"),
         {got_pos, got_pos, got_ins}},
        // Header fields may be empty but for the week and seconds, whose
        // milliseconds are rounded half up: 0.0065 s is 7 ms.
        {"empty header fields",
         signed_log('#', "BESTPOSA,,,,,02345,0.0065,,,;" +
                             hash.substr(hash.find(';') + 1, hash.find('*') - hash.find(';') - 1)),
         {got_pos}},
        {"* inside quotes", ascii(starred, enc::form::long_ascii), {{as_read(starred), true}}},
        {"abbreviated, * inside quotes",
         ascii(starred, enc::form::abbreviated),
         {{as_read(starred), true}}},
        {"an early *", ascii(early, enc::form::long_ascii), {{as_read(early), true}}},
        {"short, an early *",
         ascii(early_short, enc::form::short_ascii),
         {{as_read(early_short), true}}},
        {"abbreviated, fewer fields",
         ascii(early, enc::form::abbreviated),
         {{as_read(early), true}}},
        {"measurement sources",
         renamed(hash, "BESTPOSA", "BESTPOSA_1") + renamed(pct, "INSPVASA", "INSPVASA_12") +
             "\r\n" + renamed(angle, "BESTPOS", "BESTPOS_2"),
         {got_pos, got_ins, got_pos}},
        {"a name of twelve bytes",
         renamed(ascii(heading2, enc::form::long_ascii), "HEADING2A", "HEADING2A_12"),
         {{as_read(heading2), true}}},
        {"the longest name",
         renamed(ascii(trackstat, enc::form::long_ascii), "TRACKSTATA", "TRACKSTATA_12") +
             renamed(ascii(track_short, enc::form::short_ascii), "TRACKSTATA", "TRACKSTATA_12") +
             "\r\n" +
             renamed(ascii(trackstat, enc::form::abbreviated), "TRACKSTAT", "TRACKSTAT_12"),
         {{as_read(trackstat), true}, {as_read(track_short), true}, {as_read(trackstat), true}}},
        {"no such sources",
         renamed(hash, "BESTPOSA", "BESTPOSA_123") + renamed(hash, "BESTPOSA", "BESTPOSA_") +
             renamed(hash, "BESTPOSA", "BESTPOS_1A") + "\r\n" +
             renamed(angle, "BESTPOS", "BESTPOS_"),
         {}},
        // A short abbreviated header cut after its CR: the CR is no line
        // end, so it is part of the seconds, which then do not parse.
        {"cut after a short header",
         ascii(ins, enc::form::abbreviated)
             .substr(0, ascii(ins, enc::form::abbreviated).find('\r')),
         {{as_read(frames::short_frame(508, "", at_ms(7))), true}}},
        {"cut after a short header's CR",
         ascii(ins, enc::form::abbreviated)
             .substr(0, ascii(ins, enc::form::abbreviated).find('\n')),
         {}},
        {"a short body of 255 bytes at most",
         as_short(satvis(6)) + "\r\n" + as_short(satvis(7)),
         {{as_read(frames::short_frame(48, frames::body_of(satvis(6)))), true}}},
        {"a long frame of 4095 bytes at most",
         ascii(frames::make_psrdop(1, {}, 1008), enc::form::long_ascii) + "\r\n" +
             ascii(frames::make_psrdop(1, {}, 1009), enc::form::long_ascii),
         {{as_read(frames::make_psrdop(1, {}, 1008)), true}}},
    };
    for (const row& c : cases)
        expect_logs(c.input, c.want, c.what, {{}, {1}, {5}});

    // Every byte flipped: a long or short log is rejected (its CRC no longer
    // matches, or what should match it is gone); an abbreviated one is read
    // as the reference reads it. Cut anywhere and followed by a whole one,
    // only the whole one is read.
    for (const std::string& log : {hash, pct, angle}) {
        logs whole = reference_logs(log);
        for (std::size_t i = 0; i < log.size(); ++i) {
            std::string flipped = log;
            flipped[i] = static_cast<char>(flipped[i] ^ 1);
            std::string cut = log.substr(0, i) + "\r\n" + log;
            if (log[0] == '<') {
                expect_logs(flipped, reference_logs(flipped), "flipped " + std::to_string(i),
                            {{}, {7}});
                expect_logs(cut, reference_logs(cut), "cut " + std::to_string(i), {{}, {7}});
            } else {
                expect_logs(flipped, {}, "flipped " + std::to_string(i), {{}, {7}});
                expect_logs(cut, whole, "cut " + std::to_string(i), {{}, {7}});
            }
        }
    }

    // The longest log, 65,536 bytes from its first byte to its last, with
    // fields past the layout's, is read; one byte longer it is not. A
    // binary frame cut out of it does not count.
    std::string pad = signed_text(hash) + ",";
    std::string longest = signed_log('#', pad + std::string(65536 - 10 - pad.size(), 'p'));
    ASSERT_EQ(longest.size(), 65536u);
    std::string over = signed_log('#', pad + std::string(65537 - 10 - pad.size(), 'p'));
    std::string line = angle.substr(0, angle.size() - 2) + " ";
    std::string longest_angle = line + std::string(65536 - 2 - line.size(), 'p') + "\r\n";
    std::string over_angle = line + std::string(65537 - 2 - line.size(), 'p') + "\r\n";
    std::string inside = longest.substr(0, 30000) + bestpos(1) + longest.substr(30000);
    expect_logs(longest + "\r\n" + over + "\r\n" + longest_angle + over_angle + "\r\n" + inside,
                {got_pos, got_pos, {bestpos(1), false}, got_pos}, "the longest logs", {{}, {4093}});
}

// Random mixes of what inputs hold: binary frames of both headers, ASCII
// logs of the three forms in both styles (some with LF line ends, after a
// port prompt, or with binary frames cut into them), damaged and cut logs,
// rejected candidates holding logs, garbage, NMEA lines and command answers.
struct mixer {
    std::mt19937 rng;
    explicit mixer(unsigned seed) : rng(seed) {}

    int pick(int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); }
    double real(double lo, double hi)
    {
        return std::uniform_real_distribution<double>(lo, hi)(rng);
    }

    header head()
    {
        header h;
        h.week = static_cast<std::uint16_t>(2000 + pick(400));
        h.msec = rng() % 604800000u;
        return h;
    }

    std::vector<frames::satellite> sats(int most)
    {
        std::vector<frames::satellite> v(static_cast<std::size_t>(pick(most + 1)));
        for (auto& s : v)
            s = {static_cast<std::int16_t>(1 + pick(200)), real(-10, 90), real(0, 360)};
        return v;
    }

    // A frame of a log the reader reads, with the long header or, for some,
    // the short one.
    std::string frame()
    {
        header h = head();
        std::string f;
        switch (pick(12)) {
        case 0: {
            frames::bestpos v;
            v.lat = real(-90, 90);
            v.lon = real(-180, 180);
            v.height = real(-100, 3000);
            v.postype = pick(2) ? 16 : 50;
            f = frames::make(v, h);
            break;
        }
        case 1: {
            frames::bestvel v;
            v.speed = real(0, 50);
            v.track = real(0, 360);
            f = frames::make(v, h);
            break;
        }
        case 2: f = frames::make_satvis(sats(pick(8) ? 12 : 120), h); break;
        case 3: {
            std::vector<frames::channel> c(static_cast<std::size_t>(pick(30)));
            for (auto& x : c)
                x = {static_cast<std::int16_t>(1 + pick(200)), static_cast<std::uint32_t>(rng()),
                     static_cast<float>(real(20, 50))};
            f = frames::make_trackstat(c, h);
            break;
        }
        case 4: f = frames::make(frames::time{}, h); break;
        case 5: f = frames::make_psrdop(static_cast<float>(real(0.5, 5)), h, pick(20)); break;
        case 6: {
            frames::inspva v;
            v.lat = real(-90, 90);
            v.azimuth = real(0, 360);
            f = pick(2) ? frames::make(v, h) : frames::make_short(v, h);
            break;
        }
        case 7: f = frames::make(frames::inspvax{}, h); break;
        case 8: f = frames::make(frames::bestxyz{}, h); break;
        case 9: f = frames::make_satvis2(static_cast<std::uint32_t>(pick(3)), sats(10), h); break;
        case 10:
            f = frames::make_heading(static_cast<float>(real(0, 360)), h, pick(2) ? 971 : 1335);
            break;
        default: f = frames::make_psrdop2(1.5f, 0.9f, 1.2f, h); break;
        }
        std::string body = frames::body_of(f);
        if (f[2] == '\x12' && body.size() <= 255 && pick(4) == 0)
            f = frames::short_frame(
                static_cast<std::uint16_t>(static_cast<std::uint8_t>(f[4]) |
                                           static_cast<std::uint8_t>(f[5]) << 8),
                body, h);
        return f;
    }

    std::string garbage(int n)
    {
        static const char some[] = "#%<\n\r*,;\" \xAA\x44\x12\x1C\x13"
                                   "AB0_";
        std::string g;
        for (int i = 0; i < n; ++i)
            g += pick(2) ? some[pick(sizeof some - 1)] : static_cast<char>(rng());
        return g;
    }

    std::string ascii_log()
    {
        auto form = static_cast<enc::form>(pick(3));
        std::string s =
            enc::render(frame(), form, pick(2) ? enc::style::exact : enc::style::receiver);
        if (pick(4) == 0)
            for (std::size_t at; (at = s.find("\r\n")) != std::string::npos;)
                s.erase(at, 1);
        if (pick(8) == 0)
            s = "[COM" + std::to_string(1 + pick(3)) + "]" + s;
        return s;
    }

    std::string piece()
    {
        switch (pick(14)) {
        case 0:
        case 1: return frame();
        case 2:
        case 3:
        case 4: return ascii_log();
        case 5: { // a byte flipped, or a log cut
            std::string s = pick(3) ? ascii_log() : frame();
            std::size_t at = rng() % s.size();
            if (pick(2))
                s[at] = static_cast<char>(s[at] ^ (1 << pick(8)));
            else
                s.erase(at);
            return s;
        }
        case 6: return garbage(pick(300));
        case 7: return "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47\r\n";
        case 8: { // binary frames cut into an ASCII log
            std::string s = ascii_log();
            for (int k = pick(3); k >= 0; --k)
                s.insert(rng() % (s.size() + 1), frame());
            return s;
        }
        case 9: {
            const char* said[] = {"<OK\r\n", "<ERROR:Invalid Message. Field = 1\r\n",
                                  "[COM1]",  "\r\n",
                                  "\n",      "<",
                                  "< ",      "\r\n<     1 2 3\r\n"};
            return said[pick(8)];
        }
        case 10: { // a rejected candidate holding logs
            const char* heads[] = {"#BESTPOSA,COM1,0,0.0,FINESTEERING,2345,1.000,0,0,0;",
                                   "%INSPVASA,2345,1.000;", "<BESTPOS COM1 0\r\n",
                                   "\xAA\x44\x13\xF0\xFC\x01\x29\x09"};
            return heads[pick(4)] + ascii_log() + (pick(2) ? ascii_log() : frame());
        }
        case 11: {
            std::string f = frame();
            return f.substr(0, rng() % f.size());
        }
        default: return bad_crc(frame());
        }
    }

    std::string input(std::size_t size)
    {
        std::string s;
        while (s.size() < size)
            s += piece();
        return s;
    }

    reads sizes()
    {
        reads r;
        for (int i = 0; i < 20; ++i) {
            int k = pick(4);
            r.push_back(k == 0   ? 1 + rng() % 4
                        : k == 1 ? 1 + rng() % 300
                        : k == 2 ? 1 + rng() % 30000
                                 : 1 + rng() % 400000);
        }
        return r;
    }
};

// The pump gives what the reference gives, log for log, whatever the read
// sizes; without the order, the binary frames and the ASCII logs each in
// theirs. Some inputs span several blocks.
TEST(framing, random_mixes_give_what_the_reference_gives)
{
    int nascii = 0, nbinary = 0;
    for (unsigned seed = 1; seed <= 100; ++seed) {
        mixer m(seed);
        std::string s = m.input(seed % 8 == 0 ? 700000 : 4000 + m.rng() % 60000);
        logs want = reference_logs(s);
        for (const logfound& f : want)
            ++(f.ascii ? nascii : nbinary);
        expect_logs(s, want, "seed " + std::to_string(seed), {m.sizes(), {}});
    }
    // The mixes hold logs of both kinds.
    EXPECT_GT(nascii, 1000);
    EXPECT_GT(nbinary, 1000);
}

// The scans of scan.h give what plain loops give, from every start to every
// end of random bytes thick with the bytes they stop at, each buffer just
// as long as the bytes given (the sanitizer build sees any read beyond).
TEST(framing, the_byte_scans_agree_with_byte_loops)
{
    std::mt19937 rng(7);
    const char pool[] = "**\"\",,;;\x1f\x7f\x80\xff"
                        "Az09 .-";
    for (int round = 0; round < 300; ++round) {
        int n = static_cast<int>(rng() % 70);
        std::vector<std::uint8_t> mem(static_cast<std::size_t>(n));
        int thin = 1 + static_cast<int>(rng() % 40); // one special byte in thin, about
        for (std::uint8_t& c : mem)
            c = rng() % thin ? 'a' : static_cast<std::uint8_t>(pool[rng() % (sizeof pool - 1)]);
        const std::uint8_t* p = mem.data();
        auto* text = reinterpret_cast<const char*>(p);
        for (int end = 0; end <= n; ++end)
            for (int i = 0; i <= end; ++i) {
                int star = i;
                for (bool quote = false; star < end; ++star) {
                    std::uint8_t c = p[star];
                    if (c < 0x20 || c > 0x7E) {
                        star = -1;
                        break;
                    }
                    quote = quote != (c == '"');
                    if (c == '*' && !quote)
                        break;
                }
                ASSERT_EQ(body_end(p, i, end), star) << round << " " << i << " " << end;
                int stop = i;
                while (stop < end && p[stop] >= 0x20 && p[stop] <= 0x7E &&
                       std::string(",;*\"").find(char(p[stop])) == std::string::npos)
                    ++stop;
                ASSERT_EQ(field_end(p, i, end), stop) << round << " " << i << " " << end;
                int comma = i;
                while (comma < end && p[comma] != ',')
                    ++comma;
                for (int begin : {0, i / 2, i})
                    ASSERT_EQ(comma_at(text + i, text + begin, text + end), text + comma)
                        << round << " " << begin << " " << i << " " << end;
            }
    }
}

} // namespace
