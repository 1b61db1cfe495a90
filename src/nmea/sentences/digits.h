// Digits of whole and fixed-point numbers, straight into a buffer: the fast
// paths of the field engine, inline so that each field of a sentence
// compiles to straight-line code for its own precision.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace digits {

// "00" to "99", two characters each.
struct pair_table {
    char c[200];
    constexpr pair_table() : c()
    {
        for (int i = 0; i < 100; ++i) {
            c[2 * i] = static_cast<char>('0' + i / 10);
            c[2 * i + 1] = static_cast<char>('0' + i % 10);
        }
    }
};
inline constexpr pair_table pair_digits{};
inline constexpr const char* pairs = pair_digits.c;

constexpr std::uint64_t pow10[] = {1,
                                   10,
                                   100,
                                   1000,
                                   10000,
                                   100000,
                                   1000000,
                                   10000000,
                                   100000000,
                                   1000000000,
                                   10000000000,
                                   100000000000,
                                   1000000000000,
                                   10000000000000,
                                   100000000000000,
                                   1000000000000000,
                                   10000000000000000,
                                   100000000000000000,
                                   1000000000000000000,
                                   10000000000000000000u};

// Decimal digits in q (1 for 0); the small counts, the common ones, first.
inline int count(std::uint64_t q)
{
    if (q < 100)
        return q < 10 ? 1 : 2;
    if (q < 10000)
        return q < 1000 ? 3 : 4;
    int n = 5;
    while (n < 20 && q >= pow10[n])
        ++n;
    return n;
}

// Writes exactly k decimal digits of q (q < 10^k) backwards, ending just
// before e, in 32-bit steps once q fits them.
inline void backwards(char* e, std::uint64_t q, int k)
{
    for (; k >= 2 && q > 0xFFFFFFFFu; k -= 2) {
        auto r = static_cast<unsigned>(q % 100);
        q /= 100;
        e -= 2;
        std::memcpy(e, pairs + 2 * r, 2);
    }
    auto u = static_cast<std::uint32_t>(q);
    for (; k >= 2; k -= 2) {
        unsigned r = u % 100;
        u /= 100;
        e -= 2;
        std::memcpy(e, pairs + 2 * r, 2);
    }
    if (k == 1)
        e[-1] = static_cast<char>('0' + u);
}

// The same with k known at compile time.
template <int k> inline void backwards(char* e, std::uint32_t u)
{
    if constexpr (k >= 2) {
        unsigned r = u % 100;
        std::memcpy(e - 2, pairs + 2 * r, 2);
        backwards<k - 2>(e - 2, u / 100);
    } else if constexpr (k == 1) {
        e[-1] = static_cast<char>('0' + u);
    }
}

// |v| * 10^prec rounded to nearest, when one double product decides it: the
// product is below 2^52, where t + 0.5 is a double, and rounding to nearest
// is monotonic, so a product below t + 0.5 means the exact value is below it
// too, and one above means the exact value is above. Only a product that
// lands on t + 0.5 itself, or is too large, is left to the exact path
// (false).
template <int prec> inline bool quick(double v, std::uint64_t& q)
{
    constexpr double scale = static_cast<double>(pow10[prec]);
    constexpr double below = 4503599627370496.0 / scale; // 2^52 / 10^prec
    double a = std::fabs(v);
    if (!(a < below)) // and not NaN
        return false;
    double prod = a * scale;
    auto t = static_cast<std::uint64_t>(prod);
    double frac = prod - static_cast<double>(t); // exact
    if (frac == 0.5)
        return false;
    q = frac < 0.5 ? t : t + 1;
    return true;
}

// Writes a fixed-point field of prec decimals from its scaled value q below
// 2^32: sign, zeros up to width, the whole part, the point, the decimals.
// Answers where it ends.
template <int prec> inline char* fixed32(char* p, std::uint32_t q, bool neg, int width)
{
    constexpr auto scale = static_cast<std::uint32_t>(pow10[prec]);
    std::uint32_t w = q / scale;
    int nw = count(w);
    int len = (neg ? 1 : 0) + nw + (prec > 0 ? prec + 1 : 0);
    if (neg)
        *p++ = '-';
    for (int z = width - len; z > 0; --z)
        *p++ = '0';
    p += nw;
    backwards(p, w, nw);
    if constexpr (prec > 0) {
        *p = '.';
        p += prec + 1;
        backwards<prec>(p, q - w * scale);
    }
    return p;
}

// The exclusive OR of the n characters at p: the exclusive OR of all the
// bytes of words of eight, then of four, two and one, folded.
inline unsigned xor_of(const char* p, std::size_t n)
{
    std::uint64_t w = 0;
    std::size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        std::uint64_t v;
        std::memcpy(&v, p + i, 8);
        w ^= v;
    }
    if (i + 4 <= n) {
        std::uint32_t v;
        std::memcpy(&v, p + i, 4);
        w ^= v;
        i += 4;
    }
    if (i + 2 <= n) {
        std::uint16_t v;
        std::memcpy(&v, p + i, 2);
        w ^= v;
        i += 2;
    }
    if (i < n)
        w ^= static_cast<unsigned char>(p[i]);
    w ^= w >> 32;
    w ^= w >> 16;
    w ^= w >> 8;
    return static_cast<unsigned>(w & 0xFF);
}

} // namespace digits
