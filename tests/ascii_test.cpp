// The ASCII field layer: log bodies of every log, written by the tests' own
// encoder, read back to the same bytes; each field form at and around its
// boundaries; reals against the C library's rounding; arrays; and the
// ASCII renderings of the real recordings against their binary frames.
#include "asciienc.h"
#include "frames.h"
#include "input/asciilog.h"
#include "input/crc.h"
#include "input/le.h"
#include "pumping.h"
#include "support.h"
#include "survey.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <random>
#include <sstream>

namespace {

using asciienc::style;

constexpr int any_room = 1 << 16;

// The body decode_body answers, or "rejected".
std::string decoded(logname k, const std::string& text, bodyform f, int room = any_room)
{
    std::vector<std::uint8_t> out(static_cast<std::size_t>(room) + 1);
    int n = decode_body(k, text.data(), static_cast<int>(text.size()), f, out.data(), room);
    return n < 0 ? "rejected" : std::string(out.begin(), out.begin() + n);
}

// The low `size` bytes of v, little-endian.
std::string le(std::uint64_t v, int size)
{
    std::string s;
    for (int i = 0; i < size; ++i)
        s += static_cast<char>(v >> (8 * i));
    return s;
}

std::string hex(const std::string& s)
{
    std::string h;
    for (unsigned char c : s)
        h += "0123456789abcdef"[c >> 4], h += "0123456789abcdef"[c & 15];
    return h;
}

// Random field values of every kind, extremes and odd ones included; each
// enumeration's values come in turn, so every one of them is drawn.
struct draws {
    std::mt19937_64 rng{20261208};
    std::map<std::string, std::size_t> turn;

    template <class T, class U> T real(U bits)
    {
        T v;
        std::memcpy(&v, &bits, sizeof v);
        return v;
    }
    template <class T, class U> T any_real()
    {
        using lim = std::numeric_limits<T>;
        const T odd[] = {0,
                         -T(0),
                         lim::max(),
                         lim::lowest(),
                         lim::min(),
                         lim::denorm_min(),
                         -lim::denorm_min(),
                         real<T>(U(rng()) >> (8 * sizeof(U) - lim::digits)),
                         T(51.15043782363),
                         T(-0.5)}; // a random subnormal among them
        for (;;) {
            T v = rng() % 3 ? real<T>(U(rng())) : odd[rng() % std::size(odd)];
            if (std::isfinite(v))
                return v;
        }
    }
    void value(const asciienc::fieldtype& t, frames::body& b)
    {
        std::uint32_t u = static_cast<std::uint32_t>(rng());
        const std::uint32_t edge[] = {0, 0xFFFFFFFFu, 0x80000000u, 0x7FFFFFFFu, 0x8000u, 0x7FFFu};
        if (rng() % 4 == 0)
            u = edge[rng() % std::size(edge)];
        switch (t.type) {
        case 'e': {
            auto v = asciienc::enum_values(t.names);
            b.u32(rng() % 8 ? v[turn[t.names]++ % v.size()] : u);
            return;
        }
        case 'f': b.f32(any_real<float, std::uint32_t>()); return;
        case 'd': b.f64(any_real<double, std::uint64_t>()); return;
        case 'b': b.u32(u & 1); return;
        case 's': {
            const char odd[] = "AZaz09 ,<*;#%'\\~!";
            std::size_t n = rng() % 5;
            for (std::size_t i = 0; i < 4; ++i)
                b.u8(i < n ? static_cast<std::uint8_t>(odd[rng() % (sizeof odd - 1)]) : 0);
            return;
        }
        }
        for (int i = 0; i < t.size; ++i, u >>= 8)
            b.u8(static_cast<std::uint8_t>(u));
    }

    // A whole frame of log k with random fields and 0 to 5 records.
    std::string frame(logname k)
    {
        asciienc::layout l = asciienc::layout_of(logs[k].id);
        frames::body b;
        for (const asciienc::fieldtype& t : l.fixed)
            value(t, b);
        int records = l.record.empty() ? 0 : static_cast<int>(rng() % 6);
        if (!l.record.empty()) { // the count ends the fixed fields
            b.bytes.resize(b.bytes.size() - 4);
            b.u32(static_cast<std::uint32_t>(records));
        }
        for (int r = 0; r < records; ++r)
            for (const asciienc::fieldtype& t : l.record)
                value(t, b);
        return k == log_inspvas ? frames::short_frame(logs[k].id, b.bytes)
                                : frames::frame(logs[k].id, b.bytes);
    }
};

// Every log, both forms: the encoder's exact rendering reads back to the
// binary body; so do its first j fields, to the fields they hold whole (and
// the whole records of an array); text after the last field the layout
// needs is never looked at; and any mangled body answers within the room.
TEST(ascii_fields, every_log_reads_back_its_random_bodies)
{
    draws d;
    for (int k = 0; k < nlogs; ++k)
        for (int i = 0; i < 400; ++i) {
            std::string f = d.frame(logname(k));
            std::string want = frames::body_of(f);
            std::string commas = asciienc::body(f, false, style::exact);
            std::string lines = asciienc::body(f, true, style::exact);
            ASSERT_EQ(hex(decoded(logname(k), commas, bodyform::commas)), hex(want))
                << logs[k].name << ": " << commas;
            ASSERT_EQ(hex(decoded(logname(k), lines, bodyform::lines)), hex(want))
                << logs[k].name << ":\n"
                << lines;
            ASSERT_EQ(decoded(logname(k), commas + ",\"never read", bodyform::commas), want);
            ASSERT_EQ(decoded(logname(k), lines + "< x\"", bodyform::lines), want);

            std::vector<asciienc::field> fs = asciienc::fields(f, style::exact);
            std::size_t j = d.rng() % (fs.size() + 1), fixed = 0, per = 0, recsize = 0;
            for (const asciienc::field& x : fs)
                fixed += x.record ? 0 : 1;
            for (const asciienc::fieldtype& t : asciienc::layout_of(logs[k].id).record)
                ++per, recsize += static_cast<std::size_t>(t.size);
            std::string cut;
            for (std::size_t x = 0; x < j; ++x)
                cut += (x ? "," : "") + fs[x].text;
            std::size_t len = j == 0 ? 0
                              : !fs[j - 1].record
                                  ? fs[j - 1].at + fs[j - 1].t.size
                                  : fs[fixed - 1].at + 4 + (j - fixed) / per * recsize;
            ASSERT_EQ(decoded(logname(k), cut, bodyform::commas), want.substr(0, len))
                << logs[k].name << ": " << cut;

            // Mangled, in any room: a length within the room or -1, and not
            // a byte touched beyond the room (as the sanitizer build sees).
            for (std::string t : {commas, lines}) {
                for (int m = int(d.rng() % 4); m >= 0; --m) {
                    std::size_t at = d.rng() % (t.size() + 1);
                    if (d.rng() % 2)
                        t.insert(at, 1, "09afAEX.,+-\" <\r\n_T"[d.rng() % 18]);
                    else if (at < t.size())
                        t.erase(at, 1 + d.rng() % 3);
                }
                std::vector<std::uint8_t> out(d.rng() % 300);
                int n = decode_body(logname(k), t.data(), int(t.size()),
                                    t[0] == '<' ? bodyform::lines : bodyform::commas, out.data(),
                                    int(out.size()));
                ASSERT_TRUE(n >= -1 && n <= int(out.size())) << t;
            }
        }
}

// Where a field of each form sits in some log's body: the fields before
// and after it in that log.
struct probe {
    logname k;
    const char* before;
    const char* after;
    int at, size;
};

const std::map<char, probe> probes = {
    {'e', {log_bestpos, "", "", 0, 4}},             // solstat
    {'U', {log_inspva, "", "", 0, 4}},              // Ulong
    {'L', {log_psrdop, "1,1,1,1,1,1,", "", 24, 4}}, // Long (a count)
    {'S', {log_inspvax, "0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,", "", 124, 2}}, // Ushort
    {'s', {log_satvis, "TRUE,TRUE,1,", ",0,0,0,0,0,0", 12, 2}},                       // Short
    {'C', {log_time, "0,0,0,0,2022,", "", 32, 1}},                                    // Uchar
    {'x', {log_heading, "0,0,0,0,0,0,0,0,\"\",0,0,0,0,", "", 40, 1}},                 // Hex 1
    {'X', {log_trackstat, "0,0,0,1,0,0,", ",0,0,0,0,0,0,0", 20, 4}},                  // Hex 4
    {'f', {log_psrdop, "", "", 0, 4}},
    {'d', {log_time, "0,", "", 4, 8}},
    {'b', {log_satvis, "", "", 0, 4}},
    {'q', {log_heading, "0,0,0,0,0,0,0,0,", "", 32, 4}}, // Char[4]
    {'p', {log_satvis2, "0,TRUE,TRUE,1,", ",0,0,0,0,0", 16, 4}},
};

std::uint64_t bits(float f)
{
    std::uint32_t u;
    std::memcpy(&u, &f, sizeof u);
    return u;
}
std::uint64_t bits(double d)
{
    std::uint64_t u;
    std::memcpy(&u, &d, sizeof u);
    return u;
}

constexpr std::uint64_t no = ~std::uint64_t(0); // rejected

// The digits of 2^-150, half the least float (times 10^-46); 2^128 - 2^103
// and 2^1024 - 2^970, halfway from the largest float and double to the next
// power of two. (The property test below goes through the doubles' halfway
// points, the subnormal ones included.)
const std::string half_least_float =
    "7.00649232162408535461864791644958065640130970938257885878534141"
    "944895541342930300743319094181060791015625";
const std::string float_edge = "340282356779733661637539395458142568448";
const std::string double_edge =
    "179769313486231580793728971405303415079934132710037826936173778980444968292764750946649017977"
    "587207096330286416692887910946555547851940402630657488671505820681908902000708383676273854845"
    "817711531764475730270069855571366959622842914819860834936475292719074168444365510704342711559"
    "699508093042880177904174497792";

std::string less_one(std::string s) // the integer s - 1, s ending in a nonzero digit
{
    --s.back();
    return s;
}

// Each form's texts, read (with the value of the field's bytes) or rejected.
TEST(ascii_fields, field_texts_read_to_their_values_or_reject)
{
    const float fmax = FLT_MAX, fmin = std::numeric_limits<float>::denorm_min();
    const double dmax = DBL_MAX, dmin = std::numeric_limits<double>::denorm_min();
    struct row {
        char form;
        std::string text;
        std::uint64_t value;
    } rows[] = {
        // clang-format off
        // Enumerations: names of the field's own table, other names, values.
        {'e', "SOL_COMPUTED", 0}, {'e', "COV_TRACE", 4}, {'e', "INS_AIDED", 23},
        {'e', "sol_computed", 0xFFFFFFFF}, {'e', "NARROW_INT", 0xFFFFFFFF}, {'e', "X9", 0xFFFFFFFF},
        {'e', "9X", 0xFFFFFFFF}, {'e', "_", 0xFFFFFFFF}, {'e', "007", 7},
        {'e', "INTEGRITY_WARNING", 13}, {'e', "INTEGRITX_WARNING", 0xFFFFFFFF}, // a byte amid 16
        {'e', "4294967295", 0xFFFFFFFF}, {'e', "4294967296", no}, {'e', "+1", no}, {'e', "-1", no},
        {'e', "", no}, {'e', "SOL-COMPUTED", no}, {'e', "SOL COMPUTED", no},
        // Integers within their type's range; no minus sign on unsigned ones.
        {'U', "4294967295", 0xFFFFFFFF}, {'U', "00000000004294967295", 0xFFFFFFFF},
        {'U', "4294967296", no}, {'U', "+7", 7}, {'U', "-0", no}, {'U', "\"12\"", 12},
        {'U', "1e3", no}, {'U', " 1", no}, {'U', "0x10", no}, {'U', "+", no},
        {'L', "-2147483648", 0x80000000}, {'L', "2147483647", 0x7FFFFFFF}, {'L', "2147483648", no},
        {'L', "-2147483649", no}, {'L', "-0", 0}, {'S', "65535", 0xFFFF}, {'S', "65536", no},
        {'S', "-0", no}, {'s', "-32768", 0x8000}, {'s', "32767", 0x7FFF}, {'s', "32768", no},
        {'s', "-32769", no}, {'C', "255", 255}, {'C', "256", no}, {'C', "-0", no}, {'C', "-1", no},
        // Hex: 1 to 2 x size digits, either case, no prefix or sign.
        {'x', "0", 0}, {'x', "fF", 0xFF}, {'x', "A", 10}, {'x', "100", no}, {'x', "g", no},
        {'x', "", no}, {'x', "-1", no}, {'x', "0x1", no}, {'X', "18109c04", 0x18109C04},
        {'X', "FFFFFFFF", 0xFFFFFFFF}, {'X', "000000000", no},
        // Reals: the grammar, overflow and underflow, halfway cases to even.
        {'f', "1", bits(1.0f)}, {'f', "+.5", bits(0.5f)}, {'f', "5.", bits(5.0f)},
        {'f', "-0", bits(-0.0f)}, {'f', "1e+5", bits(1e5f)}, {'f', "1E-5", bits(1e-5f)},
        {'f', "0.1000000000000000000000000000001", bits(0.1f)}, {'f', "1e", no}, {'f', ".", no},
        {'f', "inf", no}, {'f', "nan", no}, {'f', "--1", no}, {'f', "1.2.3", no},
        {'f', "0x1p3", no}, {'f', "1e39", no}, {'f', "3.4028235e38", bits(fmax)},
        {'f', float_edge, no}, {'f', less_one(float_edge), bits(fmax)}, {'f', "1e-46", bits(0.0f)},
        {'f', "-1e-46", bits(-0.0f)}, {'f', half_least_float + "e-46", bits(0.0f)},
        {'f', half_least_float + "1e-46", bits(fmin)}, {'f', "16777217", bits(16777216.0f)},
        {'f', "16777219", bits(16777220.0f)}, {'f', "1.000000059604644775390625", bits(1.0f)},
        {'f', "1.0000000596046447753906251", bits(std::nextafter(1.0f, 2.0f))}, // not via double
        {'d', "9007199254740993", bits(9007199254740992.0)},
        {'d', "9007199254740995", bits(9007199254740996.0)},
        {'d', "-7.332974752e-11", bits(-7.332974752e-11)}, {'d', double_edge, no},
        {'d', less_one(double_edge), bits(dmax)}, {'d', "1.7976931348623158e308", bits(dmax)},
        {'d', "1.7976931348623159e308", no}, {'d', "1e-400", bits(0.0)},
        {'d', "-1e-400", bits(-0.0)}, {'d', "2.4703282292062327e-324", bits(0.0)},
        {'d', "2.4703282292062328e-324", bits(dmin)}, {'d', "0e999999999999", bits(0.0)},
        {'d', "1e-999999999999", bits(0.0)}, {'d', "1e999999999999", no},
        // TRUE and FALSE only; strings quoted, cut to their size.
        {'b', "TRUE", 1}, {'b', "FALSE", 0}, {'b', "true", no}, {'b', "1", no}, {'b', "TRUE ", no},
        {'q', "\"ABCD\"", 0x44434241}, {'q', "\"AB\"", 0x4241}, {'q', "\"ABCDEF\"", 0x44434241},
        {'q', "\"\"", 0}, {'q', "\"a,b\"", 0x622C61}, {'q', "\"a b\"", 0x622061}, {'q', "ABCD", no},
        {'q', "\"AB\"C", no}, {'q', "\"AB", no}, {'q', "A\"B\"", no},
        // Satellite ids: prn, prn+k, prn-k.
        {'p', "18-3", 0xFFFD0012}, {'p', "19+3", 0x00030013}, {'p', "65535", 0xFFFF},
        {'p', "65536", no}, {'p', "1-32768", 0x80000001}, {'p', "1+32768", no}, {'p', "-3", no},
        {'p', "18-", no}, {'p', "18+-3", no}, {'p', "18 3", no}};
    // clang-format on
    for (const row& r : rows) {
        const probe& p = probes.at(r.form);
        std::string texts[] = {p.before + r.text + p.after, "", ""};
        if (!r.text.empty() && r.text.find_first_of(", ") == std::string::npos) {
            texts[1] = "<     " + texts[0];
            for (char& c : texts[1])
                c = c == ',' ? ' ' : c;
        }
        for (int form = 0; form < 2; ++form) {
            if (texts[form].empty())
                continue;
            std::string got = decoded(p.k, texts[form], form ? bodyform::lines : bodyform::commas);
            std::string want = r.value == no ? "rejected" : le(r.value, p.size);
            EXPECT_EQ(hex(got == "rejected" ? got : got.substr(p.at, std::size_t(p.size))),
                      hex(want))
                << r.form << " " << texts[form];
        }
    }
}

// How bodies split into fields, and arrays: the body length answered (-1:
// rejected), and the count as written.
TEST(ascii_fields, bodies_split_into_fields_and_records)
{
    struct row {
        logname k;
        bodyform f;
        const char* text;
        int len;
        int room = any_room;
    } rows[] = {
        {log_psrdop, bodyform::commas, "", 0},
        {log_psrdop, bodyform::commas, "1", 4},
        {log_psrdop, bodyform::commas, "1,", -1}, // a last empty field
        {log_psrdop, bodyform::commas, "1,,1", -1},
        {log_psrdop, bodyform::lines, "<     1   2 \r\n<  3", 12},
        {log_psrdop, bodyform::lines, "<     \r\n<          \n", 0},
        {log_psrdop, bodyform::lines, "<     1\r 2", -1}, // a CR alone is no line end
        {log_heading, bodyform::lines, "<     0 0 0 0 0 0 0 0 \"A B\"\r\n", 36},
        {log_heading, bodyform::lines, "<     0 0 0 0 0 0 0 0 \"A B\"", 36},
        {log_heading, bodyform::lines, "<     0 0 0 0 0 0 0 0 \"A B\"x", -1},
        {log_heading, bodyform::lines, "<     0 0 0 0 0 0 0 0 \"A\r\n< B\"", -1},
        // Arrays: records up to the count as written, whole ones only.
        {log_psrdop2, bodyform::commas, "1,1,1,1,3,GPS,1,GLONASS,2", 36},
        {log_psrdop2, bodyform::commas, "1,1,1,1,1,GPS,1,GLONASS,2", 28},
        {log_psrdop2, bodyform::commas, "1,1,1,1,1,GPS,1,bad-", 28},
        {log_psrdop2, bodyform::commas, "1,1,1,1,2,GPS,1,GLONASS", 28},
        {log_psrdop2, bodyform::commas, "1,1,1,1,2,GPS,1,GLO-NASS", -1},
        {log_psrdop2, bodyform::commas, "1,1,1,1,2,GPS,1,GPS,x", -1},
        {log_psrdop2, bodyform::commas, "1,1,1,1,-1,GPS,1", -1},
        {log_psrdop2, bodyform::commas, "1,1,1,1,0,GPS,1", 20},
        {log_psrdop2, bodyform::commas, "1,1,1,1", 16},
        {log_psrdop, bodyform::commas, "1,1,1,1,1,1,-2,5,6", 28},
        {log_psrdop, bodyform::commas, "1,1,1,1,1,1,-2147483648,5", 28},
        {log_psrdop, bodyform::commas, "1,1,1,1,1,1,2,5,6,7", 36},
        {log_trackstat, bodyform::commas, "0,0,0,-1,1,0,0,0,0,0,0,0,0,0", 16},
        {log_satvis, bodyform::lines, "<     TRUE TRUE 9\r\n<          1 0 0 0 0 0 0\r\n", 52},
        {log_satvis2, bodyform::lines, "<     0 TRUE TRUE 2\r\n<          1 0 0 0 0 0\r\n< 2", 56},
        // Room: the body may fill it exactly; a partial record beyond it is
        // dropped as anywhere else.
        {log_psrdop2, bodyform::commas, "1,1,1,1,2,GPS,1,GPS,2", 36, 36},
        {log_psrdop2, bodyform::commas, "1,1,1,1,2,GPS,1,GPS,2", -1, 35},
        {log_psrdop2, bodyform::commas, "1,1,1,1,2,GPS,1,GPS", 28, 28},
        {log_psrdop2, bodyform::commas, "1,1,1,1,2", -1, 19},
        {log_psrdop2, bodyform::commas, "1,1,1,1,2", -1, 0},
    };
    for (const row& r : rows) {
        std::string got = decoded(r.k, r.text, r.f, r.room);
        EXPECT_EQ(got == "rejected" ? -1 : static_cast<int>(got.size()), r.len) << r.text;
        if (r.k == log_psrdop2 && got.size() >= 20) {
            EXPECT_EQ(ld_u32(reinterpret_cast<const std::uint8_t*>(got.data()) + 16),
                      std::strtoul(r.text + 8, nullptr, 10))
                << r.text;
        }
    }
}

// Random decimal texts of every shape, and texts at and around the halfway
// points between neighbouring floats and doubles, read as the C library
// reads them (glibc rounds exactly); its overflow is a rejection.
TEST(ascii_fields, reals_round_as_the_c_library_rounds)
{
#ifndef __GLIBC__
    GTEST_SKIP() << "the C library here may not round exactly";
#else
    std::mt19937_64 rng(5);
    auto digits = [&](std::size_t n) {
        std::string s;
        const char* pool = rng() % 2 ? "0123456789" : "0099";
        for (std::size_t i = 0; i < n; ++i)
            s += pool[rng() % std::strlen(pool)];
        return s;
    };
    auto read = [](logname k, const std::string& text, std::size_t at) {
        std::string got = decoded(k, text, bodyform::commas);
        return got == "rejected" ? got : hex(got.substr(at));
    };
    // Each text near the start of the body and after a field of 16 bytes: a
    // text of up to 16 bytes (up to 13 for the double after "0,") is read by
    // the fast path only in the second place.
    const std::string wide = "0000000000000000,";
    auto check = [&](const std::string& s) {
        float f = std::strtof(s.c_str(), nullptr);
        std::string want = std::isinf(f) ? "rejected" : hex(le(bits(f), 4));
        ASSERT_EQ(read(log_psrdop, s, 0), want) << s;
        ASSERT_EQ(read(log_psrdop, wide + s, 4), want) << s;
        double d = std::strtod(s.c_str(), nullptr);
        want = std::isinf(d) ? "rejected" : hex(le(bits(d), 8));
        ASSERT_EQ(read(log_time, "0," + s, 4), want) << s;
        ASSERT_EQ(read(log_time, wide + s, 4), want) << s;
    };
    // Short texts of any shape, in the grammar or not, read in both places
    // alike.
    for (int i = 0; i < 20000; ++i) {
        std::string s;
        for (std::size_t n = 1 + rng() % 15; s.size() < n;)
            s += "00123456789.-+eE x"[rng() % 18];
        ASSERT_EQ(read(log_psrdop, s, 0), read(log_psrdop, wide + s, 4)) << s;
        s.resize(std::min<std::size_t>(s.size(), 13));
        ASSERT_EQ(read(log_time, "0," + s, 4), read(log_time, wide + s, 4)) << s;
    }
    char buf[1200];
    for (int i = 0; i < 20000; ++i) {
        std::string s = rng() % 3 ? "" : rng() % 2 ? "-" : "+";
        std::size_t most = rng() % 2 ? 9 : 25; // half of them short
        std::string in = digits(rng() % most), frac = digits(rng() % most);
        s += in.empty() && frac.empty() ? "7" : in;
        if (!frac.empty() || rng() % 4 == 0)
            s += "." + frac;
        if (rng() % 2)
            s += (rng() % 2 ? "e" : "E") +
                 std::string(rng() % 3   ? ""
                             : rng() % 2 ? "-"
                                         : "+") +
                 std::to_string(rng() % 400);
        check(s);
        // Halfway between a float and the next, and between two doubles
        // (a long double holds it exactly), cut short or made longer.
        float a = std::ldexp(float(rng() % (1u << 24)), int(rng() % 279) - 150 - 24);
        if (!std::isfinite(std::nextafter(a, 2 * a + 1)))
            continue;
        std::snprintf(buf, sizeof buf, "%.200e", (double(a) + std::nextafter(a, 2 * a + 1)) / 2);
        std::string h = buf;
        std::size_t e = h.find('e');
        std::string mant = h.substr(0, e), ex = h.substr(e);
        check(mant + ex);
        check(mant + "1" + ex);
        check(mant.substr(0, 3 + rng() % 60) + ex);
#if LDBL_MANT_DIG >= 64
        double b = std::ldexp(double(rng() >> 11), int(rng() % 2100) - 1075 - 53);
        if (!std::isfinite(std::nextafter(b, 2 * b + 1)))
            continue;
        std::snprintf(buf, sizeof buf, "%.780Le",
                      (static_cast<long double>(b) + std::nextafter(b, 2 * b + 1)) / 2);
        h = buf;
        e = h.find('e');
        mant = h.substr(0, e), ex = h.substr(e);
        check(mant + ex);
        check(mant + "1" + ex);
        check(mant.substr(0, 3 + rng() % 30) + ex);
#endif
    }
#endif
}

// The row in logs[] of the log a long or short ASCII line names
// ("#BESTPOSA_2,...": BESTPOS), nlogs for none; and its body.
int log_named(const std::string& line, std::string& body)
{
    std::size_t semi = line.find(';'), star = line.rfind('*');
    body = line.substr(semi + 1, star - semi - 1);
    std::string name = line.substr(1, line.find_first_of(",_") - 2);
    int k = 0;
    while (k < nlogs && name != logs[k].name)
        ++k;
    return k;
}

// The generated session of today's receivers in the long ASCII form, as
// mklog writes it: every log whole, with a good CRC and a body that reads.
TEST(ascii_fields, the_generated_ascii_session_reads)
{
    std::FILE* f = std::tmpfile();
    ASSERT_TRUE(f && write_today_ascii(f, 200000));
    std::string all(static_cast<std::size_t>(std::ftell(f)), '\0');
    std::rewind(f);
    ASSERT_EQ(std::fread(&all[0], 1, all.size(), f), all.size());
    std::fclose(f);
    int lines = 0;
    for (std::size_t at = 0, end; at < all.size(); at = end + 2, ++lines) {
        end = all.find("\r\n", at);
        ASSERT_NE(end, std::string::npos);
        std::string line = all.substr(at, end - at), body;
        int k = log_named(line, body);
        ASSERT_TRUE(line[0] == '#' && k < nlogs && line[end - at - 9] == '*') << line;
        auto* p = reinterpret_cast<const std::uint8_t*>(line.data());
        EXPECT_EQ(std::strtoul(&line[end - at - 8], nullptr, 16), crc32(p + 1, end - at - 10));
        EXPECT_NE(decoded(logname(k), body, bodyform::commas), "rejected") << line;
    }
    EXPECT_GT(lines, 300);
}

namespace fs = std::filesystem;

const std::string ascii_folder = SOURCE_DIR "/../shared/real-logs-ascii";
const std::string binary_folder = SOURCE_DIR "/../shared/real-logs";

// The precision a real was printed with ("%.4f" of "-0.0012", "%.9e" of
// "1.0e-09"), and whether v printed so gives the text.
bool printed_from(const std::string& text, double v)
{
    std::size_t dot = text.find('.'), e = text.find_first_of("eE");
    std::size_t end = e == std::string::npos ? text.size() : e;
    int prec = dot == std::string::npos ? 0 : static_cast<int>(end - dot - 1);
    char buf[400];
    std::snprintf(buf, sizeof buf, e == std::string::npos ? "%.*f" : "%.*e", prec, v);
    return text == buf;
}

// Every line of the renderings against the binary frame at its place in the
// recording (one line per good frame of the fourteen logs, in order; frames
// with an empty body have no line). A field must give the frame's bytes
// exactly, unless it is a real printed with fewer digits than would tell
// its value: then its text must be the frame's value so printed.
TEST(ascii_fields, real_renderings_read_to_their_binary_frames)
{
    if (!fs::is_directory(ascii_folder) || !fs::is_directory(binary_folder))
        GTEST_SKIP() << "no renderings at " << ascii_folder;
    long logs_read = 0, fields = 0, coarse = 0, after_nul = 0;
    for (const auto& e : fs::directory_iterator(ascii_folder)) {
        if (e.path().extension() != ".asc")
            continue;
        std::vector<std::string> frames; // of the fourteen logs, with a body
        for (const auto& bin : fs::directory_iterator(binary_folder))
            if (bin.path().stem() == e.path().stem())
                for (const std::string& f : scan_frames(read_file(utf8_name(bin.path()))))
                    if (log_of(ld_u16(reinterpret_cast<const std::uint8_t*>(&f[4]))) >= 0 &&
                        !frames::body_of(f).empty())
                        frames.push_back(f);
        std::istringstream in(read_file(utf8_name(e.path())));
        std::size_t n = 0;
        for (std::string line, body; std::getline(in, line); ++n) {
            std::string at = utf8_name(e.path().filename()) + " line " + std::to_string(n + 1);
            ASSERT_LT(n, frames.size()) << at << ": more lines than frames";
            const std::string& f = frames[n];
            std::string b = frames::body_of(f);
            int k = log_named(line.substr(0, line.size() - 1), body); // without the CR
            ASSERT_EQ(k, log_of(ld_u16(reinterpret_cast<const std::uint8_t*>(&f[4])))) << at;
            std::string got = decoded(logname(k), body, bodyform::commas);
            ASSERT_EQ(got.size(), b.size()) << at;
            std::vector<asciienc::field> fs = asciienc::fields(f, style::exact);
            std::vector<std::string> texts = split_fields(body);
            ASSERT_EQ(texts.size(), fs.size()) << at;
            ++logs_read, fields += long(fs.size());
            for (std::size_t i = 0; i < fs.size() && got != b; ++i) {
                std::size_t off = std::size_t(fs[i].at), size = std::size_t(fs[i].t.size);
                auto* p = reinterpret_cast<const std::uint8_t*>(&b[off]);
                char type = fs[i].t.type;
                if (got.compare(off, size, b, off, size) == 0)
                    continue;
                bool real = type == 'f' || type == 'd';
                (real ? coarse : after_nul) += 1;
                if (type == 's') // bytes after a NUL, which the text cannot hold
                    EXPECT_EQ(fs[i].text, texts[i]) << at;
                else
                    EXPECT_TRUE(real && printed_from(texts[i], type == 'f' ? ld_f32(p) : ld_f64(p)))
                        << at << " field " << i + 2 << ": " << texts[i];
            }
        }
        EXPECT_EQ(n, frames.size()) << utf8_name(e.path().filename()) << ": fewer lines";
    }
    std::printf("real renderings: %ld logs, %ld fields read; %ld fields differ from the binary: "
                "%ld strings with bytes after their NUL, %ld reals printed with fewer digits "
                "than their value has\n",
                logs_read, fields, after_nul + coarse, after_nul, coarse);
    EXPECT_GT(logs_read, 17000);
}

} // namespace
