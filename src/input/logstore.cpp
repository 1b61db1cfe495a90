#include "logstore.h"

#include "oem4.h"

#include <cstring>

// SATVIS and TRACKSTAT frames are accepted exactly as long as their slots
// hold them, CRC aside.
static_assert(sizeof(logstore::satvis) + frame_crc == satvis_frame_max, "SATVIS slot");
static_assert(sizeof(logstore::trackstat) + frame_crc == trackstat_frame_max, "TRACKSTAT slot");

static_assert(id_bestxyz > id_psrdop && id_inspva > id_psrdop && id_heading > id_psrdop &&
                  id_satvis2 > id_psrdop && id_psrdop2 > id_psrdop && id_heading2 > id_psrdop &&
                  id_inspvax > id_psrdop && id_bestpos < id_psrdop && id_time < id_psrdop,
              "the logs only /all reads have the highest ids");

namespace {

// The slot and counter of a message id, or false when it is not stored; a
// log only /all reads is counted in nallonly on the way, whatever all says.
bool slot_of(logstore& s, std::uint16_t id, bool all, std::uint8_t*& slot, int& room,
             std::int32_t*& counter)
{
#define PELLUCID_SLOT(name)                                                                        \
    slot = s.name, room = sizeof s.name, counter = &s.n##name;                                     \
    break
    switch (id) {
    case id_bestpos: PELLUCID_SLOT(bestpos);
    case id_bestvel: PELLUCID_SLOT(bestvel);
    case id_satvis: PELLUCID_SLOT(satvis);
    case id_trackstat: PELLUCID_SLOT(trackstat);
    case id_time: PELLUCID_SLOT(time);
    case id_psrdop: PELLUCID_SLOT(psrdop);
    case id_inspva: PELLUCID_SLOT(inspva);
    case id_inspvas: PELLUCID_SLOT(inspvas);
    case id_inspvax: PELLUCID_SLOT(inspvax);
    case id_bestxyz: PELLUCID_SLOT(bestxyz);
    case id_psrdop2: PELLUCID_SLOT(psrdop2);
    case id_satvis2: PELLUCID_SLOT(satvis2);
    case id_heading: PELLUCID_SLOT(heading);
    case id_heading2: PELLUCID_SLOT(heading2);
    default: return false;
    }
#undef PELLUCID_SLOT
    if (id > id_psrdop) { // every log only /all reads has a higher id
        if (s.nallonly < INT32_MAX)
            ++s.nallonly;
        return all;
    }
    return true;
}

void count(std::int32_t& n)
{
    if (n < INT32_MAX) // a count must not wrap, however long the file
        ++n;
}

} // namespace

void store_frame(logstore& s, const std::uint8_t* frame, int framelen, bool all)
{
    std::uint8_t* slot;
    int room;
    std::int32_t* counter;
    // The message id is at 4 in either header.
    if (!slot_of(s, ld_u16(frame + 4), all, slot, room, counter))
        return;
    bool shortf = is_short(frame);
    if (shortf && !all)
        return;
    if (shortf) {
        // The long header's fields from the short one's: sync, header
        // length, id, body length, week and milliseconds; the rest zero.
        std::uint8_t h[frame_header] = {0xAA, 0x44, 0x12, frame_header};
        std::memcpy(h + 4, frame + 4, 2);  // message id
        h[8] = frame[3];                   // body length
        std::memcpy(h + 14, frame + 6, 6); // week, milliseconds
        std::memcpy(slot, h, frame_header);
        int n = framelen - short_header - frame_crc;
        int left = room - frame_header;
        std::memcpy(slot + frame_header, frame + short_header,
                    static_cast<std::size_t>(n < left ? n : left));
    } else {
        int n = framelen - frame_crc;
        // A frame longer than its slot keeps only what the slot holds.
        std::memcpy(slot, frame, static_cast<std::size_t>(n < room ? n : room));
    }
    count(*counter);
}
