// The input pump: reads the file in chunks into a byte ring and hands the
// bytes one at a time to the frame parser, rewinding the ring when the
// parser rejects a candidate frame.
#pragma once

#include <cstdint>
#include <cstdio>

class oem4;
struct logstore;
struct nmeastate;
struct convopt;

constexpr int chunk_size = 1024;
// Room for a rewind over the longest frame while up to one chunk of unread
// bytes waits behind it; a power of two keeps the wrap cheap.
constexpr int ring_size = 32768;

class rfifo final {
  public:
    rfifo() = default;
    virtual ~rfifo();
    rfifo(const rfifo&) = delete;
    rfifo& operator=(const rfifo&) = delete;

    bool setup(); // obtains the storage; false when there is no memory

    bool empty() const { return rpos == wpos; }
    void put(std::uint8_t b)
    {
        rbuf[wpos] = b;
        wpos = (wpos + 1) & (rsize - 1);
    }
    std::uint8_t get()
    {
        std::uint8_t b = rbuf[rpos];
        rpos = (rpos + 1) & (rsize - 1);
        return b;
    }
    void unget(int k) { rpos = (rpos - k) & (rsize - 1); }

    // Stores n bytes (the ring must have room: it is empty when filled).
    void put_all(const std::uint8_t* p, int n);
    // Bytes readable from rpos without wrapping, and taking k of them.
    int span() const { return (wpos >= rpos ? wpos : rsize) - rpos; }
    void skip(int k) { rpos = (rpos + k) & (rsize - 1); }

    std::uint8_t* rbuf = nullptr;
    int rsize = 0;
    int wpos = 0; // where the next byte is stored
    int rpos = 0; // where the next byte is taken from
};

// What the pump found wrong with the input, besides its frames.
struct pumped {
    std::int64_t sentences; // what convert reported, summed
    bool read_error;        // a read failed before the end of the file
};

// Reads the input to its end through the ring into the parser; after every
// good frame stores it and runs the conversion. chunk holds chunk_size bytes.
pumped pump(std::FILE* in, std::FILE* out, rfifo& ring, oem4& parser, logstore& store,
            nmeastate& state, const convopt& opt, std::uint8_t* chunk);
