#include "oem4.h"

#include "../platform/sys.h"

#include <array>

namespace {

constexpr std::array<std::uint32_t, 256> make_table()
{
    std::array<std::uint32_t, 256> t{};
    for (std::uint32_t i = 0; i < 256; ++i) {
        std::uint32_t c = i;
        for (int k = 0; k < 8; ++k)
            c = (c & 1) ? (c >> 1) ^ 0xEDB88320u : c >> 1;
        t[i] = c;
    }
    return t;
}

constexpr std::array<std::uint32_t, 256> table = make_table();

} // namespace

std::uint32_t crc32(const std::uint8_t* p, int n, std::uint32_t crc)
{
    for (int i = 0; i < n; ++i)
        crc = (crc >> 8) ^ table[(crc ^ p[i]) & 0xFF];
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
        framelen = (fbuf[8] | (fbuf[9] << 8)) + frame_header + frame_crc;
        if (framelen >= fsize) {
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
    std::uint32_t stored = std::uint32_t(fbuf[n]) | std::uint32_t(fbuf[n + 1]) << 8 |
                           std::uint32_t(fbuf[n + 2]) << 16 | std::uint32_t(fbuf[n + 3]) << 24;
    return crc32(fbuf, n) == stored;
}

int oem4::finish()
{
    int k = fill - 1;
    fill = 0;
    return k > 0 ? -k : 0;
}
