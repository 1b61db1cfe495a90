#include "oem4.h"

#include "../platform/sys.h"
#include "le.h"

#include <array>
#include <cstring>

#ifdef PELLUCID_LIBDEFLATE
#include <libdeflate.h>
#endif
#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define PELLUCID_SSE2 1
#endif

namespace {

// The table of the reflected polynomial, and seven more that advance it by
// one to seven further bytes, so that eight bytes are taken per step.
using tables = std::array<std::array<std::uint32_t, 256>, 8>;

constexpr tables make_tables()
{
    tables t{};
    for (std::uint32_t i = 0; i < 256; ++i) {
        std::uint32_t c = i;
        for (int k = 0; k < 8; ++k)
            c = (c & 1) ? (c >> 1) ^ 0xEDB88320u : c >> 1;
        t[0][i] = c;
    }
    for (int k = 1; k < 8; ++k)
        for (std::uint32_t i = 0; i < 256; ++i)
            t[k][i] = (t[k - 1][i] >> 8) ^ t[0][t[k - 1][i] & 0xFF];
    return t;
}

constexpr tables table = make_tables();

constexpr std::uint32_t sync_word = 0x1C1244AAu; // AA 44 12 1C, read little-endian

} // namespace

std::uint32_t crc32_table(const std::uint8_t* p, std::size_t n, std::uint32_t crc)
{
    for (; n >= 8; p += 8, n -= 8) {
        std::uint32_t a = crc ^ ld_u32(p);
        std::uint32_t b = ld_u32(p + 4);
        crc = table[7][a & 0xFF] ^ table[6][(a >> 8) & 0xFF] ^ table[5][(a >> 16) & 0xFF] ^
              table[4][a >> 24] ^ table[3][b & 0xFF] ^ table[2][(b >> 8) & 0xFF] ^
              table[1][(b >> 16) & 0xFF] ^ table[0][b >> 24];
    }
    for (; n > 0; ++p, --n)
        crc = (crc >> 8) ^ table[0][(crc ^ *p) & 0xFF];
    return crc;
}

std::uint32_t crc32(const std::uint8_t* p, std::size_t n, std::uint32_t crc)
{
#ifdef PELLUCID_LIBDEFLATE
    // libdeflate keeps the common convention, which inverts the value on the
    // way in and on the way out; inverting both cancels that.
    return ~libdeflate_crc32(~crc, p, n);
#else
    return crc32_table(p, n, crc);
#endif
}

int find_sync(const std::uint8_t* p, int n)
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
    for (; i + 19 <= n; i += 16) {
        auto at = [&](int k) {
            return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i + k));
        };
        __m128i b2 = at(2);
        __m128i tail =
            _mm_or_si128(_mm_and_si128(_mm_cmpeq_epi8(b2, s2), _mm_cmpeq_epi8(at(3), s3)),
                         _mm_cmpeq_epi8(b2, s2s));
        __m128i lead = _mm_and_si128(_mm_cmpeq_epi8(at(0), s0), _mm_cmpeq_epi8(at(1), s1));
        unsigned bits = static_cast<unsigned>(_mm_movemask_epi8(_mm_and_si128(lead, tail)));
        if (bits != 0) {
            while ((bits & 1) == 0) {
                bits >>= 1;
                ++i;
            }
            return i;
        }
    }
#endif
    for (; i + 3 <= n; ++i) {
        const void* a = std::memchr(p + i, 0xAA, static_cast<std::size_t>(n - 2 - i));
        if (!a)
            return -1;
        i = static_cast<int>(static_cast<const std::uint8_t*>(a) - p);
        if (p[i + 1] != 0x44)
            continue;
        if (p[i + 2] == 0x13 || (i + 4 <= n && ld_u32(p + i) == sync_word))
            return i;
    }
    return -1;
}

int frame_at(const std::uint8_t* p, int n)
{
    int len;
    if (is_short(p)) {
        if (n < 4)
            return 0;
        len = p[3] + short_header + frame_crc;
    } else {
        if (n < 10)
            return 0;
        len = ld_u16(p + 8) + frame_header + frame_crc;
        if (len > frame_max(ld_u16(p + 4)))
            return -1;
    }
    if (n < len)
        return 0;
    int body = len - frame_crc;
    return crc32(p, static_cast<std::size_t>(body)) == ld_u32(p + body) ? len : -1;
}

oem4::oem4() : fbuf(sys::grab(frame_capacity))
{
    fsize = fbuf ? frame_capacity : 0;
}

oem4::~oem4()
{
    delete[] fbuf;
}

int oem4::feed(std::uint8_t b)
{
    fbuf[fill] = b;
    switch (fill) {
    case 0:
        if (b == 0xAA)
            fill = 1;
        return 0;
    case 1:
        if (b == 0x44) {
            fill = 2;
            return 0;
        }
        fill = 0;
        return -1;
    case 2:
        if (b == 0x12 || b == 0x13) {
            shortf = b == 0x13;
            fill = 3;
            return 0;
        }
        fill = 0;
        return -2;
    case 3:
        if (shortf) { // any body length will do
            framelen = b + short_header + frame_crc;
            fill = 4;
            return 0;
        }
        if (b == frame_header) {
            fill = 4;
            return 0;
        }
        fill = 0;
        return -3;
    case 4:
    case 5:
    case 6:
    case 7:
    case 8: ++fill; return 0;
    case 9:
        if (shortf) {
            fill = 10; // a short frame has at least 16 bytes
            return 0;
        }
        framelen = ld_u16(fbuf + 8) + frame_header + frame_crc;
        if (framelen > frame_max(ld_u16(fbuf + 4)) || framelen > fsize) {
            fill = 0;
            return -9;
        }
        fill = 10;
        return 0;
    default:
        if (++fill < framelen)
            return 0;
        fill = 0;
        return check_crc() ? 1 : 1 - framelen;
    }
}

bool oem4::check_crc() const
{
    int n = framelen - frame_crc;
    return crc32(fbuf, static_cast<std::size_t>(n)) == ld_u32(fbuf + n);
}

int oem4::finish()
{
    int k = fill - 1;
    fill = 0;
    return k > 0 ? -k : 0;
}
