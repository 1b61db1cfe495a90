// The log store: the latest frame of each log of the table (logs.h) in a
// slot of its own, with a fresh mark, and a count of the good frames of each.
// The logs only /all reads and frames with the short header are stored only
// with /all.
#pragma once

#include "logs.h"

#include <cstdint>

namespace storetable {
// Where each log's slot begins among the store's bytes, in table order.
struct places {
    int at[nlogs + 1];
};
constexpr places place_slots()
{
    places p{};
    for (int k = 0; k < nlogs; ++k)
        p.at[k + 1] = p.at[k] + logs[k].slot;
    return p;
}
constexpr places slots = place_slots();
} // namespace storetable

// A slot holds a frame without its CRC, from its first sync byte on, always
// with the long header: a frame that came with the short one is kept with
// its fields moved to their places in the long one. Its first byte is 0xAA
// while it holds a frame the conversion has not used, 0 once used. Bytes
// beyond a shorter frame keep what an earlier one left.
struct logstore {
    std::uint8_t bytes[storetable::slots.at[nlogs]];
    std::int32_t count[nlogs]; // good frames of each log stored
    // Good frames of the logs only /all reads, whatever the options and the
    // header: read or not, they are counted here.
    std::int32_t nallonly;
    // Good ASCII logs, whatever the options: with /all read and counted
    // above too, without it only counted here.
    std::int32_t nascii;
};

constexpr std::uint8_t fresh = 0xAA;

inline std::uint8_t* slot(logstore& s, logname k)
{
    return s.bytes + storetable::slots.at[k];
}
inline const std::uint8_t* slot(const logstore& s, logname k)
{
    return s.bytes + storetable::slots.at[k];
}

// Copies a good frame of a log of the table into its slot (cut to the slot
// when longer) and counts it; any other message id is ignored. The logs
// only /all reads and short-header frames are stored only when all is set.
// Answers whether the frame was stored: only then has the conversion
// anything new to take.
bool store_frame(logstore& s, const std::uint8_t* frame, int framelen, bool all = false);
