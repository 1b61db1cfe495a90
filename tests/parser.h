// A frame parser for bytes handed over one at a time, kept as an oracle for
// the pump's frame search: it answers each byte, and after a rejection the
// bytes it must be given again.
#pragma once

#include <cstdint>

class oem4 final {
  public:
    oem4();
    virtual ~oem4();
    oem4(const oem4&) = delete;
    oem4& operator=(const oem4&) = delete;

    // Takes one byte. Answers 0 (more bytes needed), 1 (fbuf holds a complete
    // frame of framelen bytes with a good CRC), or -k: the candidate is
    // rejected and the last k bytes given must be given again, in order.
    virtual int feed(std::uint8_t b);
    bool check_crc() const;

    // The input has ended: a candidate still incomplete can never complete,
    // so it is rejected like any other. Answers -k (give the last k bytes
    // again) or 0 when there is nothing to look at again; hunting afterwards.
    int finish();

    int fill = 0;        // bytes of the current candidate held; 0 = hunting
    int framelen = 0;    // total length of the current candidate, from its 10th byte on
                         // (from its 4th for a short header)
    bool shortf = false; // the current candidate has the short header
    std::uint8_t* fbuf = nullptr;
    int fsize = 0;
};
