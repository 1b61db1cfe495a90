// The frame parser: finds NovAtel OEM4 binary frames in a byte stream handed
// to it one byte at a time, and checks each frame's length and CRC-32.
#pragma once

#include <cstdint>

// Frame layout: 3 sync bytes, header length (28), message id, ..., message
// length at offset 8; then the body and a CRC-32 of everything before it.
constexpr int frame_header = 28;
constexpr int frame_crc = 4;
// Message ids of the logs the converter reads.
enum msgid : std::uint16_t {
    id_bestpos = 42,
    id_satvis = 48,
    id_trackstat = 83,
    id_bestvel = 99,
    id_time = 101,
    id_psrdop = 174,
};

// A frame must be shorter than frame_limit, except SATVIS and TRACKSTAT
// frames, which may be as long as their store slots hold (up to 512 records):
// receivers with many channels write them well beyond 4 KB.
constexpr int frame_limit = 4096;
constexpr int satvis_frame_max = 20524;
constexpr int trackstat_frame_max = 20528;
constexpr int frame_capacity = trackstat_frame_max; // the longest frame accepted

// The longest frame accepted for a message id.
inline int frame_max(std::uint16_t id)
{
    return id == id_satvis      ? satvis_frame_max
           : id == id_trackstat ? trackstat_frame_max
                                : frame_limit - 1;
}

// NovAtel's CRC-32: reflected polynomial 0xEDB88320, start 0, no final XOR.
std::uint32_t crc32(const std::uint8_t* p, int n, std::uint32_t crc = 0);

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

    // Takes bytes from p (at most n) as feed would take them one by one, up
    // to and including the first whose answer is not 0; answers that answer
    // (or 0) and sets used to the bytes taken. Runs of bytes that cannot
    // change the answer are skipped or copied whole.
    int take(const std::uint8_t* p, int n, int& used);

    // The input has ended: a candidate still incomplete can never complete,
    // so it is rejected like any other. Answers -k (give the last k bytes
    // again) or 0 when there is nothing to look at again; hunting afterwards.
    int finish();

    int fill = 0;     // bytes of the current candidate held; 0 = hunting
    int framelen = 0; // total length of the current candidate, from its 10th byte on
    std::uint8_t* fbuf = nullptr;
    int fsize = 0;
};
