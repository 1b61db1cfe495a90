// Binary frames, the receiver's own form of its logs, in two headers: the
// long one (sync AA 44 12 1C, 28 header bytes, see logs.h) and the short one
// of high-rate logs (sync AA 44 13, the body length in one byte at 3, message
// id at 4, GPS week at 6, milliseconds at 8: 12 header bytes); then the body
// and the CRC-32 of everything before it. The two are the two forms of the
// binary stream: each is a row of `binary_forms`.
#pragma once

#include "form.h"
#include "logs.h"

#include <cstdint>

constexpr int short_header = 12;
constexpr int short_max = 255 + short_header + frame_crc; // the longest short frame

inline bool is_short(const std::uint8_t* frame)
{
    return frame[2] == 0x13;
}

enum binaryform { form_long, form_short, nbinaryforms };
extern const form binary_forms[nbinaryforms];

// The first sync word of either header that starts whole in p[0..n): the
// long AA 44 12 1C or the short AA 44 13.
start find_sync(const std::uint8_t* p, int n);

// A long-header candidate: rejected when longer than its message id allows
// (frame_max) or when its CRC is wrong.
judged judge_long(const std::uint8_t* p, int n, bool end);
// A short-header candidate: rejected when its CRC is wrong.
judged judge_short(const std::uint8_t* p, int n, bool end);
