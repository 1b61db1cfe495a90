#include "logstore.h"

#include "oem4.h"

#include <cstring>

// SATVIS and TRACKSTAT frames are accepted exactly as long as their slots
// hold them, CRC aside.
static_assert(sizeof(logstore::satvis) + frame_crc == satvis_frame_max, "SATVIS slot");
static_assert(sizeof(logstore::trackstat) + frame_crc == trackstat_frame_max, "TRACKSTAT slot");

void store_frame(logstore& s, const std::uint8_t* frame, int framelen)
{
    std::uint8_t* slot;
    int room;
    std::int32_t* counter;
    switch (ld_u16(frame + 4)) {
    case id_bestpos: slot = s.bestpos, room = sizeof s.bestpos, counter = &s.nbestpos; break;
    case id_bestvel: slot = s.bestvel, room = sizeof s.bestvel, counter = &s.nbestvel; break;
    case id_satvis: slot = s.satvis, room = sizeof s.satvis, counter = &s.nsatvis; break;
    case id_trackstat:
        slot = s.trackstat, room = sizeof s.trackstat, counter = &s.ntrackstat;
        break;
    case id_time: slot = s.time, room = sizeof s.time, counter = &s.ntime; break;
    case id_psrdop: slot = s.psrdop, room = sizeof s.psrdop, counter = &s.npsrdop; break;
    default: return;
    }
    int n = framelen - frame_crc;
    // A frame longer than its slot keeps only what the slot holds.
    std::memcpy(slot, frame, static_cast<std::size_t>(n < room ? n : room));
    if (*counter < INT32_MAX) // a count must not wrap, however long the file
        ++*counter;
}
