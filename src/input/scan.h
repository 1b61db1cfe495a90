// The byte scans of the ASCII reader: sixteen bytes at a time with SSE2
// where the compiler targets it (every x86-64 compiler does), byte by byte
// elsewhere and for the bytes that remain; both ways give the same answers.
// None reads a byte outside the bounds it is given.
#pragma once

#include "simd.h"

#include <cstdint>

#if defined(_MSC_VER) && !defined(__clang__)
#include <intrin.h>
#endif

// The lowest set bit of m, which is not 0.
inline int low_bit(std::uint32_t m)
{
#if defined(__GNUC__) || defined(__clang__)
    return __builtin_ctz(m);
#elif defined(_MSC_VER)
    unsigned long i;
    _BitScanForward(&i, m);
    return static_cast<int>(i);
#else
    int i = 0;
    for (; (m & 1) == 0; m >>= 1)
        ++i;
    return i;
#endif
}

#ifdef PELLUCID_SSE2
namespace scan_detail {

inline __m128i load16(const void* p)
{
    return _mm_loadu_si128(static_cast<const __m128i*>(p));
}

// The bytes equal to c among the sixteen, one bit a byte.
inline std::uint32_t bytes_of(__m128i b, char c)
{
    return static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(b, _mm_set1_epi8(c))));
}

// The bytes no log may hold: below 0x20, DEL, or from 0x80 on (below 0x21
// as signed bytes once 1 is added: DEL wraps to -128).
inline std::uint32_t odd_bytes(__m128i b)
{
    __m128i odd = _mm_cmplt_epi8(_mm_add_epi8(b, _mm_set1_epi8(1)), _mm_set1_epi8(0x21));
    return static_cast<std::uint32_t>(_mm_movemask_epi8(odd));
}

} // namespace scan_detail
#endif

// Where the body of a long or short ASCII log ends, from i on in p[0..n):
// the first '*' outside double quotes; -1 at a byte no log may hold (below
// 0x20 or above 0x7E), which ends the search wherever it lies; n when
// neither is at hand.
inline int body_end(const std::uint8_t* p, int i, int n)
{
    bool quote = false; // i lies within a pair
#ifdef PELLUCID_SSE2
    using namespace scan_detail;
    for (; i + 16 <= n; i += 16) {
        __m128i b = load16(p + i);
        std::uint32_t odd = odd_bytes(b), quotes = bytes_of(b, '"'), stars = bytes_of(b, '*');
        if ((odd | quotes | stars) == 0)
            continue;
        // Bit k of within: byte k lies after an odd count of quotes among
        // the sixteen, or an even one when they begin within a pair.
        std::uint32_t within = quotes;
        within ^= within << 1;
        within ^= within << 2;
        within ^= within << 4;
        within ^= within << 8;
        within ^= quote ? 0xFFFFu : 0u;
        std::uint32_t stop = odd | (stars & ~within);
        if (stop != 0) {
            int k = low_bit(stop);
            return (odd >> k & 1) != 0 ? -1 : i + k;
        }
        quote = (within >> 15 & 1) != 0;
    }
#endif
    for (; i < n; ++i) {
        std::uint8_t c = p[i];
        if (c < 0x20 || c > 0x7E)
            return -1;
        if (c == '"')
            quote = !quote;
        else if (c == '*' && !quote)
            return i;
    }
    return n;
}

// The first byte from i on in p[0..n) that a field of a long or short
// header may not hold (one no log may hold, or one of , ; * "), or n.
inline int field_end(const std::uint8_t* p, int i, int n)
{
#ifdef PELLUCID_SSE2
    using namespace scan_detail;
    for (; i + 16 <= n; i += 16) {
        __m128i b = load16(p + i);
        std::uint32_t stop = odd_bytes(b) | bytes_of(b, ',') | bytes_of(b, ';') | bytes_of(b, '*') |
                             bytes_of(b, '"');
        if (stop != 0)
            return i + low_bit(stop);
    }
#endif
    for (; i < n; ++i) {
        std::uint8_t c = p[i];
        if (c < 0x20 || c > 0x7E || c == ',' || c == ';' || c == '*' || c == '"')
            return i;
    }
    return n;
}

// The first ',' of [p, end), or end; every byte from begin to end may be
// read (begin <= p).
inline const char* comma_at(const char* p, const char* begin, const char* end)
{
#ifdef PELLUCID_SSE2
    using namespace scan_detail;
    for (; end - p >= 16; p += 16)
        if (std::uint32_t m = bytes_of(load16(p), ','))
            return p + low_bit(m);
    if (end - begin >= 16) { // the last 16 bytes, without those before p
        std::uint32_t m = bytes_of(load16(end - 16), ',') >> (p - (end - 16));
        return m != 0 ? p + low_bit(m) : end;
    }
#else
    (void)begin;
#endif
    while (p < end && *p != ',')
        ++p;
    return p;
}
