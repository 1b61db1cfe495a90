// The sentence field engine prints exactly what the C formats print.
#include "nmea/sentences/fields.h"
#include "support.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>

namespace {

// What the engine prints, or "(refused)" when it does not fit a sentence.
std::string engine(double v, int prec, int width)
{
    char buf[256];
    fields f(buf, sizeof buf);
    f.f(v, prec, width);
    return f.fits() ? f.text() : "(refused)";
}

std::string c_print(double v, int prec, int width)
{
    std::string s = c_fixed(v, prec, width);
    return s.size() < 256 ? s : "(refused)";
}

TEST(fields, fixed_point_matches_the_c_print)
{
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    std::vector<double> values = {
        0.0,     -0.0,     nan,         -nan,    inf,      -inf,  DBL_MAX, -DBL_MAX,
        DBL_MIN, 5e-324,   0.125,       0.375,   2.5,      -2.5,  0.05,    0.15,
        1.005,   59.99996, 59.99999996, 7.40736, 39.25926, 1e300, -1e22,   123456789.987654321};
    std::mt19937_64 rng(9);
    for (int i = 0; i < 20000; ++i) {
        std::uint64_t bits = rng();
        double v;
        std::memcpy(&v, &bits, sizeof v);
        values.push_back(v); // any bit pattern at all
        values.push_back(
            std::ldexp(static_cast<double>(rng() % 100000000), -static_cast<int>(rng() % 40)) *
            (rng() % 2 ? 1 : -1)); // short binary fractions: many exact halves
    }
    const int precs[] = {0, 1, 2, 3, 4, 7};
    const int widths[] = {0, 7, 10};
    for (double v : values)
        for (int p : precs)
            for (int w : widths)
                ASSERT_EQ(engine(v, p, w), c_print(v, p, w)) << v << " %0" << w << "." << p << "f";
}

// Millions of values where rounding is hardest: exact decimal ties (odd
// multiples of 2^-(p+1) at p places, like 0.125 to two places), the doubles
// a few steps either side of them, decimals that are no tie in binary (like
// 0.00005 to four places) and their neighbours, and values of every size.
TEST(fields, fixed_point_matches_the_c_print_at_and_around_ties)
{
    std::mt19937_64 rng(2026);
    const int precs[] = {1, 2, 3, 4, 7, 0, 5, 6};
    long compared = 0;
    char want[512], room[256];
    auto check = [&](double v, int p, int w) {
        std::snprintf(want, sizeof want, "%0*.*f", w, p, v);
        fields f(room, sizeof room);
        f.f(v, p, w);
        ++compared;
        return f.fits() && std::strcmp(f.text(), want) == 0;
    };
    // The paths the sentences take, with precision and width known when the
    // program is built.
    auto compiled = [&](double v) {
        struct form {
            const char* c;
            fields& (*put)(fields&, double);
        } forms[] = {
            {"%.1f", [](fields& f, double x) -> fields& { return f.f<1>(x); }},
            {"%.2f", [](fields& f, double x) -> fields& { return f.f<2>(x); }},
            {"%.3f", [](fields& f, double x) -> fields& { return f.f<3>(x); }},
            {"%07.4f", [](fields& f, double x) -> fields& { return f.f<4, 7>(x); }},
            {"%010.7f", [](fields& f, double x) -> fields& { return f.f<7, 10>(x); }},
        };
        for (const form& fm : forms) {
            std::snprintf(want, sizeof want, fm.c, v);
            fields f(room, sizeof room);
            fm.put(f, v);
            ++compared;
            if (!f.fits() || std::strcmp(f.text(), want) != 0)
                return false;
        }
        return true;
    };
    // Where the fixed widths fill up, and minutes that round up to 60.
    for (double edge : {0.0, -0.0, 99.99995, 99.99994999, 100.0, 99.999999949, 99.99999995, 9.99995,
                        59.99996, 59.99999996, 1e9, 4294967295.0 / 1e7, 429.4967296})
        for (double x : {edge, -edge, std::nextafter(edge, 0.0), std::nextafter(edge, 1e300)})
            ASSERT_TRUE(compiled(x)) << x << ": " << want;
    for (int i = 0; i < 160000; ++i) {
        int p = precs[i % 8];
        int w = (i / 8) % 3 == 0 ? 0 : (i / 8) % 3 == 1 ? 7 : 10;
        double unit = std::ldexp(1.0, -(p + 1));
        double tie = static_cast<double>(2 * (rng() % (i % 4 == 0 ? 64 : 1u << 30)) + 1) * unit;
        double notie = static_cast<double>(rng() % 2000000 * 2 + 1) * 0.5 * std::pow(10.0, -p);
        double any =
            std::ldexp(static_cast<double>(rng() >> 11), static_cast<int>(rng() % 96) - 90);
        for (double v : {tie, notie, any}) {
            double up = v, down = v;
            for (int k = 0; k < 3; ++k) {
                for (double x : {up, down, -up, -down}) {
                    ASSERT_TRUE(check(x, p, w)) << x << " %0" << w << "." << p << "f: " << want;
                    if (i % 8 == 0) {
                        ASSERT_TRUE(compiled(x)) << x << ": " << want;
                    }
                }
                up = std::nextafter(up, HUGE_VAL);
                down = std::nextafter(down, 0.0);
            }
        }
    }
    EXPECT_GT(compared, 5000000);
}

// The forms with precision and width known when the program is built, for
// precisions the sentences do not use today too: no precision writes no
// point ("%03.0f" of 23.75 is "024"), and a value that does not fill the
// width, or overflows it, or is negative or not finite, prints as the C
// print does all the same.
template <int prec, int width> void fixed_form_matches_the_c_print(const std::vector<double>& vs)
{
    char want[512], room[256];
    char fmt[16];
    std::snprintf(fmt, sizeof fmt, "%%0%d.%df", width, prec);
    for (double v : vs) {
        for (double x : {v, -v, std::nextafter(v, 0.0), std::nextafter(v, HUGE_VAL)}) {
            std::snprintf(want, sizeof want, fmt, x);
            fields f(room, sizeof room);
            f.f<prec, width>(x);
            ASSERT_TRUE(f.fits());
            ASSERT_STREQ(f.text(), want) << x << " " << fmt;
        }
    }
}

TEST(fields, fixed_width_forms_match_the_c_print_at_every_precision)
{
    std::vector<double> vs = {0.0,         0.4,         0.5,         0.6,    1.5,   2.5,
                              9.5,         23.75,       99.5,        999.49, 999.5, 1000.0,
                              123456789.0, 999999999.4, 999999999.5, 1e10,   5e-324};
    std::mt19937_64 rng(31);
    for (int i = 0; i < 3000; ++i) {
        vs.push_back(static_cast<double>(rng() % 2000000) / 64.0); // many exact halves
        vs.push_back(std::ldexp(static_cast<double>(rng() >> 11), -static_cast<int>(rng() % 60)));
    }
    fixed_form_matches_the_c_print<0, 1>(vs);
    fixed_form_matches_the_c_print<0, 3>(vs);
    fixed_form_matches_the_c_print<0, 9>(vs);
    fixed_form_matches_the_c_print<1, 3>(vs);
    fixed_form_matches_the_c_print<2, 6>(vs);
    fixed_form_matches_the_c_print<4, 7>(vs);
    fixed_form_matches_the_c_print<7, 10>(vs);

    char room[32];
    fields f(room, sizeof room);
    std::string got = f.f<0, 3>(23.75).text();
    EXPECT_EQ(got, "024");
}

TEST(fields, integers_match_the_c_print)
{
    std::vector<std::int32_t> values = {0,  1,   -1,  9,    10,        -10,
                                        99, 100, 999, 1000, INT32_MAX, INT32_MIN};
    std::mt19937 rng(3);
    for (int i = 0; i < 5000; ++i)
        values.push_back(static_cast<std::int32_t>(rng()) >> (rng() % 31));
    for (std::int32_t v : values)
        for (int w : {0, 2, 3, 4}) {
            char buf[32], room[64];
            std::snprintf(buf, sizeof buf, "%0*d", w, v);
            fields f(room, sizeof room);
            ASSERT_EQ(std::string(f.d(v, w).text()), buf) << v << " width " << w;
        }
}

TEST(fields, text_fits_only_within_its_bound)
{
    // A print bounded at `limit` holds limit - 1 characters.
    for (std::size_t limit : {1u, 2u, 32u, 255u, 256u}) {
        std::vector<char> a(limit), b(limit);
        fields exact(a.data(), limit), over(b.data(), limit);
        std::string t(limit - 1, 'x');
        exact.s(t.c_str());
        over.s(t.c_str()).c('y');
        EXPECT_TRUE(exact.fits()) << limit;
        EXPECT_EQ(std::string(exact.text()), t);
        EXPECT_FALSE(over.fits()) << limit;
    }
    // The longest GSV slot without an SNR is 31 characters and fits its
    // bound of 32; with one it does not.
    char room[32];
    fields slot(room, sizeof room);
    slot.c(',').d(-32768, 2).c(',').d(INT32_MAX, 2).c(',').d(INT32_MIN, 3).c(',');
    EXPECT_TRUE(slot.fits());
    slot.d(1, 2);
    EXPECT_FALSE(slot.fits());
}

} // namespace
