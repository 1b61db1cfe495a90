// The input pump: reads the file in large blocks and finds the logs in it,
// in two streams. The binary frame search (frame.h) looks at every byte
// where it lies; a good frame is handed on whole, and after a rejected
// candidate the search goes on from the byte after its first sync byte, so
// a frame that starts inside a rejected candidate is found all the same.
// Every byte that is not part of a good frame goes on, in order, to the
// ASCII reader (text.h), which finds the ASCII logs among them. Each log,
// binary or ASCII, is handed on at the place of its last byte in the input.
#pragma once

#include "logs.h"
#include "text.h"

#include <cstddef>
#include <cstdint>

// Bytes asked of each read of the input.
constexpr int block_size = 256 * 1024;
// A window: room for the rest of a candidate that the block before cut off,
// then a block.
constexpr int window_size = frame_capacity + block_size;
// Binary frames that wait, at most, for an ASCII log still open before them.
constexpr int waiting_room = 1024 * 1024;

// The bytes between the file reads and the frame search. Blocks are read
// into two windows by turns, each at offset frame_capacity; the bytes of a
// candidate that a block cut off are put in front of the next block, the
// only bytes ever copied. The search takes bytes from rpos up to wpos of
// the window at hand, rbuf.
class rfifo final {
  public:
    rfifo() = default;
    virtual ~rfifo();
    rfifo(const rfifo&) = delete;
    rfifo& operator=(const rfifo&) = delete;

    // Obtains the windows, the ASCII reader's memory and the room for
    // frames that wait; false when there is no memory.
    bool setup();

    std::uint8_t* win[2] = {nullptr, nullptr};
    std::uint8_t* rbuf = nullptr;
    int wpos = 0; // the end of the bytes read
    int rpos = 0; // where the search goes on

    textreader text;
    // Binary frames that wait for an ASCII log still open before them: each
    // its length (4 bytes), the count of the reader's bytes before it (8),
    // then the frame.
    std::uint8_t* waiting = nullptr;
    int nwaiting = 0;

  private:
    std::uint8_t* mem = nullptr;
};

// Where the input comes from: read stores the next bytes of the input at p
// (at most n) and answers how many, 0 only at the end of the input or on a
// read error. p is always frame_capacity bytes into one of the two windows,
// by turns; a call for one window gives up every byte of the other.
struct source {
    std::size_t (*read)(void* ctx, std::uint8_t* p, std::size_t n);
    void* ctx;
};

// Where each good log goes: take gets the whole frame, CRC included, that
// a binary frame is or an ASCII log (ascii true) became. The bytes are valid
// only during the call. With ordered, every log is handed on in the order of
// the places of their last bytes; without it, ASCII logs may come after
// binary frames that follow them (when only their count matters).
struct framesink {
    void (*take)(void* ctx, const std::uint8_t* frame, int len, bool ascii);
    void* ctx;
    bool ordered = true;
};

// Reads the input to its end and hands every good log to the sink.
void pump(const source& in, rfifo& ring, const framesink& sink);
