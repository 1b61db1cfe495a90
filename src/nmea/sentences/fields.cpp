#include "fields.h"

#include <charconv>
#include <cmath>
#include <type_traits>

namespace {

using digits::pow10;

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

template <int prec> char* fixed_into(char* p, std::uint64_t q, bool neg, int width)
{
    constexpr std::uint64_t scale = pow10[prec];
    std::uint64_t w = q / scale;
    int nw = digits::count(w);
    p = lead(p, neg, nw + (prec > 0 ? prec + 1 : 0), width);
    p += nw;
    digits::backwards(p, w, nw);
    if (prec == 0)
        return p;
    *p = '.';
    p += prec + 1;
    digits::backwards<prec>(p, static_cast<std::uint32_t>(q - w * scale));
    return p;
}

// Calls f with the precision (0 to 7) as a compile-time constant.
template <class F> auto by_prec(int prec, F f)
{
    switch (prec) {
    case 0: return f(std::integral_constant<int, 0>{});
    case 1: return f(std::integral_constant<int, 1>{});
    case 2: return f(std::integral_constant<int, 2>{});
    case 3: return f(std::integral_constant<int, 3>{});
    case 4: return f(std::integral_constant<int, 4>{});
    case 5: return f(std::integral_constant<int, 5>{});
    case 6: return f(std::integral_constant<int, 6>{});
    default: return f(std::integral_constant<int, 7>{});
    }
}

// |v| * 10^prec rounded exactly, from the double's bits: the product of the
// significand and 10^prec over a power of two, in 128 bits.
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

bool quick_value(double v, int prec, std::uint64_t& q)
{
    return by_prec(prec, [&](auto p) { return digits::quick<decltype(p)::value>(v, q); });
}

} // namespace

bool fixed_value(double v, int prec, std::uint64_t& q)
{
    if (prec < 0 || prec > 7)
        return false;
    return quick_value(v, prec, q) || exact_value(v, prec, q);
}

char* put_int(char* p, std::int32_t v, int width)
{
    bool neg = v < 0;
    std::uint32_t u = neg ? 0u - static_cast<std::uint32_t>(v) : static_cast<std::uint32_t>(v);
    int k = digits::count(u);
    p = lead(p, neg, k, width) + k;
    digits::backwards(p, u, k);
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
    return by_prec(prec,
                   [&](auto pr) { return fixed_into<decltype(pr)::value>(p, q, neg, width); });
}

namespace {

// Appends the k characters at p if they fit the bound.
textend append(char* buf, textend t, std::size_t limit, const char* p, std::size_t k)
{
    if (t.n + k >= limit)
        return {limit, t.blank};
    std::memcpy(buf + t.n, p, k);
    return {t.n + k, t.blank};
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
