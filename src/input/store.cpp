#include "store.h"

#include "frame.h"

#include <cstring>

// SATVIS and TRACKSTAT frames are accepted exactly as long as their slots
// hold them, CRC aside; no other log is longer than frame_limit allows.
static_assert(logs[log_satvis].slot + frame_crc == logs[log_satvis].longest, "SATVIS slot");
static_assert(logs[log_trackstat].slot + frame_crc == logs[log_trackstat].longest,
              "TRACKSTAT slot");

namespace {

void count(std::int32_t& n)
{
    if (n < INT32_MAX) // a count must not wrap, however long the file
        ++n;
}

} // namespace

bool store_frame(logstore& s, const std::uint8_t* frame, int framelen, bool all)
{
    // The message id is at 4 in either header.
    int k = log_of(ld_u16(frame + 4));
    if (k < 0)
        return false;
    const loginfo& log = logs[k];
    if (log.allonly)
        count(s.nallonly);
    bool shortf = is_short(frame);
    if ((log.allonly || shortf) && !all)
        return false;
    std::uint8_t* at = slot(s, static_cast<logname>(k));
    int room = log.slot;
    if (shortf) {
        // The long header's fields from the short one's: sync, header
        // length, id, body length, week and milliseconds; the rest zero.
        std::uint8_t h[frame_header] = {0xAA, 0x44, 0x12, frame_header};
        std::memcpy(h + 4, frame + 4, 2);  // message id
        h[8] = frame[3];                   // body length
        std::memcpy(h + 14, frame + 6, 6); // week, milliseconds
        std::memcpy(at, h, frame_header);
        int n = framelen - short_header - frame_crc;
        int left = room - frame_header;
        std::memcpy(at + frame_header, frame + short_header,
                    static_cast<std::size_t>(n < left ? n : left));
    } else {
        int n = framelen - frame_crc;
        // A frame longer than its slot keeps only what the slot holds.
        std::memcpy(at, frame, static_cast<std::size_t>(n < room ? n : room));
    }
    count(s.count[k]);
    return true;
}
