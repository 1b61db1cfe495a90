// The input pump: reads the file in large blocks and finds the frames where
// they lie, handing each good one to a sink. After a rejected candidate the
// scan goes on from the byte after its first sync byte, so a frame that
// starts inside a rejected candidate is found all the same.
#pragma once

#include "logs.h"

#include <cstddef>
#include <cstdint>

// Bytes asked of each read of the input.
constexpr int block_size = 256 * 1024;
// A window: room for the rest of a candidate that the block before cut off,
// then a block.
constexpr int window_size = frame_capacity + block_size;

// The bytes between the file reads and the frame scan. Blocks are read into
// two windows by turns, each at offset frame_capacity; the bytes of a
// candidate that a block cut off are put in front of the next block, the
// only bytes ever copied. The scan takes bytes from rpos up to wpos of the
// window at hand, rbuf.
class rfifo final {
  public:
    rfifo() = default;
    virtual ~rfifo();
    rfifo(const rfifo&) = delete;
    rfifo& operator=(const rfifo&) = delete;

    bool setup(); // obtains the two windows; false when there is no memory

    std::uint8_t* win[2] = {nullptr, nullptr};
    std::uint8_t* rbuf = nullptr;
    int wpos = 0; // the end of the bytes read
    int rpos = 0; // where the scan goes on
};

// Where the input comes from: read stores the next bytes of the input at p
// (at most n) and answers how many, 0 only at the end of the input or on a
// read error. p is always frame_capacity bytes into one of the two windows,
// by turns; a call for one window gives up every byte of the other.
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

// Reads the input to its end and hands every good frame to the sink, in the
// order of the input.
void pump(const source& in, rfifo& ring, const framesink& sink);

// Scans the window from rpos, handing good frames to the sink, until it needs
// bytes that the next read brings. At the end of the input (end true) a
// candidate cut off is rejected like any other and the window is emptied.
void scan(rfifo& ring, bool end, const framesink& sink);
