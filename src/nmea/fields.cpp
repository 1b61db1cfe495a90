#include "fields.h"

#include <charconv>
#include <cmath>

namespace {

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

using digits::pairs;

// Decimal digits in q (1 for 0); the small counts, the common ones, first.
int ndigits(std::uint64_t q)
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
// before e; 32-bit steps once q fits them.
void digits64(char* e, std::uint64_t q, int k)
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

// Sign and leading zeros of a field whose digits and point take `len`
// characters, padded to width; answers where the digits begin.
char* lead(char* p, bool neg, int len, int width)
{
    if (neg)
        *p++ = '-';
    for (int z = width - len - (neg ? 1 : 0); z > 0; --z)
        *p++ = '0';
    return p;
}

// Writes exactly k decimal digits of u (u < 10^k) backwards, ending just
// before e, with k known at compile time.
template <int k> void digits_of(char* e, std::uint32_t u)
{
    if constexpr (k >= 2) {
        unsigned r = u % 100;
        std::memcpy(e - 2, pairs + 2 * r, 2);
        digits_of<k - 2>(e - 2, u / 100);
    } else if constexpr (k == 1) {
        e[-1] = static_cast<char>('0' + u);
    }
}

template <int prec> char* fixed_into(char* p, std::uint64_t q, bool neg, int width)
{
    constexpr std::uint64_t scale = pow10[prec];
    std::uint64_t w = q / scale;
    int nw = ndigits(w);
    p = lead(p, neg, nw + (prec > 0 ? prec + 1 : 0), width);
    p += nw;
    digits64(p, w, nw);
    if (prec == 0)
        return p;
    *p = '.';
    p += prec + 1;
    digits_of<prec>(p, static_cast<std::uint32_t>(q - w * scale));
    return p;
}

} // namespace

namespace {

constexpr double pow10d[] = {1, 10, 100, 1000, 10000, 100000, 1000000, 10000000};
// 2^52 / 10^prec: below it the product |v| * 10^prec stays below 2^52.
constexpr double quick_below[] = {4503599627370496.0 / 1,       4503599627370496.0 / 10,
                                  4503599627370496.0 / 100,     4503599627370496.0 / 1000,
                                  4503599627370496.0 / 10000,   4503599627370496.0 / 100000,
                                  4503599627370496.0 / 1000000, 4503599627370496.0 / 10000000};

// The exact rounding, from the double's bits.
bool exact_value(double v, int prec, std::uint64_t& q);

} // namespace

namespace {

// Most values are decided by one product in double precision. Below 2^52,
// t + 0.5 is a double, and rounding to nearest is monotonic, so a product
// below t + 0.5 means the exact |v| * 10^prec is below it too, and one above
// means the exact value is above: it rounds to t or t + 1 as the product
// does. Only a product that lands on t + 0.5 itself needs the exact path.
inline bool quick_value(double v, int prec, std::uint64_t& q)
{
    double a = std::fabs(v);
    if (!(a < quick_below[prec])) // and not NaN
        return false;
    double prod = a * pow10d[prec];
    auto t = static_cast<std::uint64_t>(prod);
    double frac = prod - static_cast<double>(t); // exact
    if (frac == 0.5)
        return false;
    q = frac < 0.5 ? t : t + 1;
    return true;
}

} // namespace

bool fixed_value(double v, int prec, std::uint64_t& q)
{
    if (prec < 0 || prec > 7)
        return false;
    return quick_value(v, prec, q) || exact_value(v, prec, q);
}

namespace {

bool exact_value(double v, int prec, std::uint64_t& q)
{
    std::uint64_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    int bexp = static_cast<int>(bits >> 52) & 0x7FF;
    std::uint64_t m = bits & ((std::uint64_t(1) << 52) - 1);
    int e; // |v| = m * 2^e
    if (bexp == 0) {
        e = -1074;
    } else {
        m |= std::uint64_t(1) << 52;
        e = bexp - 1075;
    }
    if (bexp == 0x7FF || e > -13 || prec < 0 || prec > 7)
        return false; // not finite, or |v| may be 2^40 or more

    // |v| * 10^prec = m * 10^prec / 2^s exactly, as a 128-bit product over a
    // power of two; m * 10^prec < 2^53 * 2^24 fits 77 bits, and the rounded
    // quotient, below 2^40 * 10^7, fits 64.
    int s = -e;
    std::uint64_t f = pow10[prec];
    std::uint64_t a = (m & 0xFFFFFFFFu) * f;
    std::uint64_t b = (m >> 32) * f;
    std::uint64_t lo = a + (b << 32);
    std::uint64_t hi = (b >> 32) + (lo < a ? 1 : 0);

    bool half, sticky; // bit s-1 of the product, and any bit below it
    if (s >= 128) {
        q = 0, half = false, sticky = true;
    } else if (s > 64) {
        int k = s - 64; // 1 to 63
        q = hi >> k;
        half = ((hi >> (k - 1)) & 1) != 0;
        sticky = (hi & ((std::uint64_t(1) << (k - 1)) - 1)) != 0 || lo != 0;
    } else if (s == 64) {
        q = hi;
        half = (lo >> 63) != 0;
        sticky = (lo << 1) != 0;
    } else {
        q = (lo >> s) | (hi << (64 - s)); // s is 13 or more
        half = ((lo >> (s - 1)) & 1) != 0;
        sticky = (lo & ((std::uint64_t(1) << (s - 1)) - 1)) != 0;
    }
    // Round to nearest, an exact tie to the even neighbour.
    if (half && (sticky || (q & 1)))
        ++q;
    return true;
}

} // namespace

char* put_int(char* p, std::int32_t v, int width)
{
    bool neg = v < 0;
    std::uint32_t u = neg ? 0u - static_cast<std::uint32_t>(v) : static_cast<std::uint32_t>(v);
    int k = ndigits(u);
    p = lead(p, neg, k, width) + k;
    digits64(p, u, k);
    return p;
}

char* put_fixed(char* p, double v, int prec, int width)
{
    std::uint64_t q;
    if (width > static_cast<int>(field_max) || prec < 0 || prec > 7)
        return nullptr;
    if (!quick_value(v, prec, q) && !exact_value(v, prec, q))
        return nullptr;
    bool neg = std::signbit(v);
    switch (prec) {
    case 0: return fixed_into<0>(p, q, neg, width);
    case 1: return fixed_into<1>(p, q, neg, width);
    case 2: return fixed_into<2>(p, q, neg, width);
    case 3: return fixed_into<3>(p, q, neg, width);
    case 4: return fixed_into<4>(p, q, neg, width);
    case 5: return fixed_into<5>(p, q, neg, width);
    case 6: return fixed_into<6>(p, q, neg, width);
    default: return fixed_into<7>(p, q, neg, width);
    }
}

namespace {

// Appends the k characters at p if they fit the bound.
textend append(char* buf, textend t, std::size_t limit, const char* p, std::size_t k)
{
    if (t.n + k >= limit)
        return {limit, t.x, t.blank};
    std::memcpy(buf + t.n, p, k);
    return {t.n + k, t.x ^ digits::xor_of(p, k), t.blank};
}

// Appends the k characters at p padded to width as the C print pads: zeros
// after the sign for numbers, blanks before the text for infinities and NaN.
textend padded(char* buf, textend t, std::size_t limit, const char* p, std::size_t k, int width,
               bool zeros)
{
    std::size_t w = width > 0 ? static_cast<std::size_t>(width) : 0;
    if (k >= w)
        return append(buf, t, limit, p, k);
    std::size_t sign = (zeros && p[0] == '-') ? 1 : 0;
    t = append(buf, t, limit, p, sign);
    const char pad = zeros ? '0' : ' ';
    for (std::size_t i = k; i < w; ++i)
        t = append(buf, t, limit, &pad, 1);
    t.blank = t.blank || !zeros;
    return append(buf, t, limit, p + sign, k - sign);
}

} // namespace

textend append_int(char* buf, textend t, std::size_t limit, std::int32_t v, int width)
{
    if (t.n >= limit)
        return t;
    char tmp[16];
    char* e = put_int(tmp, v, 0);
    return padded(buf, t, limit, tmp, static_cast<std::size_t>(e - tmp), width, true);
}

textend append_fixed(char* buf, textend t, std::size_t limit, double v, int prec, int width)
{
    if (t.n >= limit)
        return t;
    char tmp[352]; // the largest double has 309 digits before the point
    if (char* e = put_fixed(tmp, v, prec, width))
        return append(buf, t, limit, tmp, static_cast<std::size_t>(e - tmp));
    auto r = std::to_chars(tmp, tmp + sizeof tmp, v, std::chars_format::fixed, prec);
    bool finite = v - v == 0;
    return padded(buf, t, limit, tmp, static_cast<std::size_t>(r.ptr - tmp), width, finite);
}
