// The input pump: reads the file in large blocks into a window and finds the
// frames in place, handing each good one to a sink. After a rejected
// candidate the scan goes on from the byte after its first sync byte, so a
// frame that starts inside a rejected candidate is found all the same.
#pragma once

#include "oem4.h"

#include <cstddef>
#include <cstdint>

// Bytes asked of each read of the input.
constexpr int block_size = 256 * 1024;
// The window: room for a block read behind a candidate of the longest
// frame that the previous block cut off.
constexpr int fifo_size = block_size + frame_capacity;

// The bytes between the file reads and the frame scan: read bytes are put
// at wpos, the scan takes them from rpos. Bytes of a candidate that a block
// cut off stay, and move to the front before the next read (compact).
class rfifo final {
  public:
    rfifo() = default;
    virtual ~rfifo();
    rfifo(const rfifo&) = delete;
    rfifo& operator=(const rfifo&) = delete;

    bool setup(); // obtains the storage; false when there is no memory

    // Moves the bytes not yet scanned to the front, to make room for a read.
    void compact();

    std::uint8_t* rbuf = nullptr;
    int rsize = 0;
    int wpos = 0; // where the next byte read is stored
    int rpos = 0; // where the scan goes on
};

// Where the input comes from: read answers how many bytes it stored at p (at
// most n), 0 only at the end of the input or on a read error.
struct source {
    std::size_t (*read)(void* ctx, std::uint8_t* p, std::size_t n);
    void* ctx;
};

// Where each good frame goes: take gets the whole frame, CRC included. The
// bytes are valid only during the call.
struct framesink {
    void (*take)(void* ctx, const std::uint8_t* frame, int len);
    void* ctx;
};

// Reads the input to its end through the window and hands every good frame
// to the sink, in the order of the input.
void pump(const source& in, rfifo& ring, const framesink& sink);

// Scans the window from rpos, handing good frames to the sink, until it needs
// bytes that the next read brings. At the end of the input (end true) a
// candidate cut off is rejected like any other and the window is emptied.
void scan(rfifo& ring, bool end, const framesink& sink);
