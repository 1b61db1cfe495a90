// The ASCII reader, the input's second stream: every byte that the binary
// frame search passes over (every byte not part of a good binary frame)
// comes here in input order, and the ASCII logs among them (ascii.h) are
// found, judged and decoded into the binary frames of their logs. A
// candidate that needs more bytes is held (at most one log's worth), the
// rest are looked at where they lie.
#pragma once

#include "ascii.h"
#include "logs.h"

#include <cstdint>

// Where each good ASCII log goes, as a binary frame, CRC included, with the
// count of the reader's bytes up to its last byte: the place in the stream
// where it is handled.
struct logsink {
    void (*take)(void* ctx, const std::uint8_t* frame, int len, std::int64_t end);
    void* ctx;
};

struct textreader {
    std::uint8_t* held = nullptr;  // a candidate that needs more bytes, from its first on
    int nheld = 0;                 // its bytes held
    bool heldline = false;         // a line starts at its first byte
    bool linestart = true;         // a line starts at the next byte to come
    std::int64_t seen = 0;         // bytes taken so far
    std::uint8_t* frame = nullptr; // where a log becomes its binary frame
};

// The memory of a reader: room for the longest candidate and the bytes
// that tell where it ends, with some to spare, then a frame.
constexpr int held_room = ascii_longest + 1024;
constexpr int text_memory = held_room + frame_capacity;
void text_setup(textreader& t, std::uint8_t* mem);

// Takes the next n bytes of the stream.
void text_feed(textreader& t, const std::uint8_t* p, int n, const logsink& sink);

// The stream has ended: a candidate held is judged on what it has.
void text_end(textreader& t, const logsink& sink);

// The bytes held end a line that an abbreviated log may still go on
// after: the log is taken as it stands, as if its next line did not go on.
void text_close_line(textreader& t, const logsink& sink);

// Where, in the count of bytes taken, every byte before is decided: the
// first byte of the candidate held, or all taken.
inline std::int64_t text_settled(const textreader& t)
{
    return t.seen - t.nheld;
}
