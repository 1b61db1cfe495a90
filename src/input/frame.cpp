#include "frame.h"

#include "crc.h"
#include "le.h"
#include "scan.h"
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
    // Thirty-two places a step: one compare for each of the first two bytes
    // of a sync word finds the places where both stand, which are rare
    // outside the frames' starts; the third and fourth byte are then looked
    // at place by place.
    const __m128i s0 = _mm_set1_epi8(static_cast<char>(0xAA));
    const __m128i s1 = _mm_set1_epi8(0x44);
    auto pairs = [&](int k) {
        auto at = [&](int d) {
            return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i + k + d));
        };
        return static_cast<std::uint32_t>(
            _mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(at(0), s0), _mm_cmpeq_epi8(at(1), s1))));
    };
    for (; i + 35 <= n; i += 32) {
        std::uint32_t m = pairs(0) | pairs(16) << 16;
        for (; m != 0; m &= m - 1) {
            int k = i + low_bit(m);
            if (p[k + 2] == 0x13)
                return {k, form_short};
            if (ld_u32(p + k) == sync_word)
                return {k, form_long};
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
