#include "logstore.h"

#include "oem4.h"

#include <cstring>

// SATVIS and TRACKSTAT frames are accepted exactly as long as their slots
// hold them, CRC aside.
static_assert(sizeof(logstore::satvis) + frame_crc == satvis_frame_max, "SATVIS slot");
static_assert(sizeof(logstore::trackstat) + frame_crc == trackstat_frame_max, "TRACKSTAT slot");

bool allonly(std::uint16_t id)
{
    switch (id) {
    case id_inspva:
    case id_inspvas:
    case id_inspvax:
    case id_bestxyz:
    case id_psrdop2:
    case id_satvis2:
    case id_heading:
    case id_heading2: return true;
    default: return false;
    }
}

namespace {

// The slot and counter of a message id, or false when it is not stored.
bool slot_of(logstore& s, std::uint16_t id, bool all, std::uint8_t*& slot, int& room,
             std::int32_t*& counter)
{
    switch (id) {
    case id_bestpos: slot = s.bestpos, room = sizeof s.bestpos, counter = &s.nbestpos; break;
    case id_bestvel: slot = s.bestvel, room = sizeof s.bestvel, counter = &s.nbestvel; break;
    case id_satvis: slot = s.satvis, room = sizeof s.satvis, counter = &s.nsatvis; break;
    case id_trackstat:
        slot = s.trackstat, room = sizeof s.trackstat, counter = &s.ntrackstat;
        break;
    case id_time: slot = s.time, room = sizeof s.time, counter = &s.ntime; break;
    case id_psrdop: slot = s.psrdop, room = sizeof s.psrdop, counter = &s.npsrdop; break;
    default:
        if (!all)
            return false;
        switch (id) {
        case id_inspva: slot = s.inspva, room = sizeof s.inspva, counter = &s.ninspva; break;
        case id_inspvas: slot = s.inspvas, room = sizeof s.inspvas, counter = &s.ninspvas; break;
        case id_inspvax: slot = s.inspvax, room = sizeof s.inspvax, counter = &s.ninspvax; break;
        case id_bestxyz: slot = s.bestxyz, room = sizeof s.bestxyz, counter = &s.nbestxyz; break;
        case id_psrdop2: slot = s.psrdop2, room = sizeof s.psrdop2, counter = &s.npsrdop2; break;
        case id_satvis2: slot = s.satvis2, room = sizeof s.satvis2, counter = &s.nsatvis2; break;
        case id_heading: slot = s.heading, room = sizeof s.heading, counter = &s.nheading; break;
        case id_heading2:
            slot = s.heading2, room = sizeof s.heading2, counter = &s.nheading2;
            break;
        default: return false;
        }
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
    std::uint16_t id = ld_u16(frame + 4); // at 4 in either header
    if (allonly(id))
        count(s.nallonly);
    bool shortf = is_short(frame);
    if (shortf && !all)
        return;
    std::uint8_t* slot;
    int room;
    std::int32_t* counter;
    if (!slot_of(s, id, all, slot, room, counter))
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
