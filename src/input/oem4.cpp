#include "oem4.h"

#include "../platform/sys.h"
#include "le.h"

#include <array>
#include <cstring>

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

std::uint32_t crc32(const std::uint8_t* p, int n, std::uint32_t crc)
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
        if (b == 0x12) {
            fill = 3;
            return 0;
        }
        fill = 0;
        return -2;
    case 3:
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
    return crc32(fbuf, n) == ld_u32(fbuf + n);
}

int oem4::take(const std::uint8_t* p, int n, int& used)
{
    int i = 0;
    while (i < n) {
        if (fill == 0) {
            // Hunting: every byte but 0xAA is answered 0 and changes nothing.
            const void* sync = std::memchr(p + i, 0xAA, static_cast<std::size_t>(n - i));
            if (!sync)
                break;
            i = static_cast<int>(static_cast<const std::uint8_t*>(sync) - p);
        } else if (fill >= 10) {
            // Collecting: every byte before the frame's last is only stored.
            int k = framelen - 1 - fill;
            if (k > n - i)
                k = n - i;
            if (k > 0) {
                std::memcpy(fbuf + fill, p + i, static_cast<std::size_t>(k));
                fill += k;
                i += k;
                continue;
            }
        }
        int r = feed(p[i++]);
        if (r != 0) {
            used = i;
            return r;
        }
    }
    used = n;
    return 0;
}

int oem4::finish()
{
    int k = fill - 1;
    fill = 0;
    return k > 0 ? -k : 0;
}
