// The frame parser: finds NovAtel OEM4 binary frames in a byte stream and
// checks each frame's length and CRC-32. It works in small stages, each
// answering a status: find the sync word, judge the candidate there (its
// length, then its CRC), and, for callers that hand bytes one at a time,
// the class oem4 that answers each byte.
#pragma once

#include <cstddef>
#include <cstdint>

// Frame layout: 3 sync bytes, header length (28), message id, ..., message
// length at offset 8; then the body and a CRC-32 of everything before it.
constexpr int frame_header = 28;
constexpr int frame_crc = 4;

// The short header that high-rate logs come in: sync AA 44 13, the body
// length (one byte) at 3, message id at 4, GPS week at 6, milliseconds at 8;
// then the body and the CRC-32 of everything before it.
constexpr int short_header = 12;
constexpr int short_max = 255 + short_header + frame_crc; // the longest short frame

inline bool is_short(const std::uint8_t* frame)
{
    return frame[2] == 0x13;
}

// Message ids of the logs the converter reads.
enum msgid : std::uint16_t {
    id_bestpos = 42,
    id_satvis = 48,
    id_trackstat = 83,
    id_bestvel = 99,
    id_time = 101,
    id_psrdop = 174,
    // Read with /all only.
    id_bestxyz = 241,
    id_inspva = 507,
    id_inspvas = 508,
    id_heading = 971,
    id_satvis2 = 1043,
    id_psrdop2 = 1163,
    id_heading2 = 1335,
    id_inspvax = 1465,
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
// crc32 takes the fastest code at hand; crc32_table is the portable table
// code, which it falls back on and which it must always agree with.
std::uint32_t crc32(const std::uint8_t* p, std::size_t n, std::uint32_t crc = 0);
std::uint32_t crc32_table(const std::uint8_t* p, std::size_t n, std::uint32_t crc = 0);

// Where a sync word first starts whole in p[0..n): the long AA 44 12 1C or
// the short AA 44 13; -1 when there is none.
int find_sync(const std::uint8_t* p, int n);

// Judges the candidate at p, which starts with a whole sync word and has n
// bytes at hand: answers its total length when it is a complete frame with
// a good CRC, -1 when it is rejected (too long for its message id, or a bad
// CRC), and 0 when more bytes are needed to tell.
int frame_at(const std::uint8_t* p, int n);

// The parser for bytes handed over one at a time.
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
