#include "crc.h"

#include "le.h"

#include <array>

#ifdef PELLUCID_LIBDEFLATE
#include <libdeflate.h>
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
