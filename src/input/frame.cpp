#include "frame.h"

#include "crc.h"
#include "le.h"
#include "simd.h"

#include <cstring>

const form binary_forms[nbinaryforms] = {
    {"long binary", "\xAA\x44\x12\x1C", judge_long, frame_capacity},
    {"short binary", "\xAA\x44\x13", judge_short, short_max},
};

namespace {

constexpr std::uint32_t sync_word = 0x1C1244AAu; // AA 44 12 1C, read little-endian

// A candidate of len bytes, n of them at hand: complete when its CRC is
// good, rejected when not; more while it is cut.
judged by_crc(const std::uint8_t* p, int n, int len)
{
    if (n < len)
        return {verdict::more, 0};
    int body = len - frame_crc;
    if (crc32(p, static_cast<std::size_t>(body)) != ld_u32(p + body))
        return {verdict::rejected, 0};
    return {verdict::complete, len};
}

} // namespace

start find_sync(const std::uint8_t* p, int n)
{
    int i = 0;
#ifdef PELLUCID_SSE2
    // Sixteen places at a time: each load tests one byte of a sync word at
    // sixteen consecutive places; the third byte tells the long word from
    // the short one.
    const __m128i s0 = _mm_set1_epi8(static_cast<char>(0xAA));
    const __m128i s1 = _mm_set1_epi8(0x44);
    const __m128i s2 = _mm_set1_epi8(0x12);
    const __m128i s2s = _mm_set1_epi8(0x13);
    const __m128i s3 = _mm_set1_epi8(0x1C);
    auto at = [&](int k) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i + k)); };
    auto firsts = [&](int k) { return _mm_movemask_epi8(_mm_cmpeq_epi8(at(k), s0)); };
    for (; i + 19 <= n; i += 16) {
        __m128i b0 = _mm_cmpeq_epi8(at(0), s0);
        if (_mm_movemask_epi8(b0) == 0) {
            // No first byte among the sixteen: text, which holds none, then
            // passes thirty-two places a step.
            while (i + 48 <= n && (firsts(16) | firsts(32)) == 0)
                i += 32;
            continue;
        }
        __m128i b2 = at(2);
        __m128i tail =
            _mm_or_si128(_mm_and_si128(_mm_cmpeq_epi8(b2, s2), _mm_cmpeq_epi8(at(3), s3)),
                         _mm_cmpeq_epi8(b2, s2s));
        __m128i lead = _mm_and_si128(b0, _mm_cmpeq_epi8(at(1), s1));
        unsigned bits = static_cast<unsigned>(_mm_movemask_epi8(_mm_and_si128(lead, tail)));
        if (bits != 0) {
            while ((bits & 1) == 0) {
                bits >>= 1;
                ++i;
            }
            return {i, p[i + 2] == 0x13 ? form_short : form_long};
        }
    }
#endif
    for (; i + 3 <= n; ++i) {
        const void* a = std::memchr(p + i, 0xAA, static_cast<std::size_t>(n - 2 - i));
        if (!a)
            return {-1, 0};
        i = static_cast<int>(static_cast<const std::uint8_t*>(a) - p);
        if (p[i + 1] != 0x44)
            continue;
        if (p[i + 2] == 0x13)
            return {i, form_short};
        if (i + 4 <= n && ld_u32(p + i) == sync_word)
            return {i, form_long};
    }
    return {-1, 0};
}

judged judge_long(const std::uint8_t* p, int n, bool end)
{
    if (n < 10)
        return {end ? verdict::rejected : verdict::more, 0};
    int len = ld_u16(p + 8) + frame_header + frame_crc;
    if (len > frame_max(ld_u16(p + 4)))
        return {verdict::rejected, 0};
    judged j = by_crc(p, n, len);
    return end && j.v == verdict::more ? judged{verdict::rejected, 0} : j;
}

judged judge_short(const std::uint8_t* p, int n, bool end)
{
    if (n < 4)
        return {end ? verdict::rejected : verdict::more, 0};
    judged j = by_crc(p, n, p[3] + short_header + frame_crc);
    return end && j.v == verdict::more ? judged{verdict::rejected, 0} : j;
}
