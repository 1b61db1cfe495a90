#include "parser.h"

#include "input/crc.h"
#include "input/frame.h"
#include "input/le.h"

oem4::oem4() : fbuf(new std::uint8_t[frame_capacity])
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
