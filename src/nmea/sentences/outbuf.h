// The output buffer: sentences are formatted straight into it, each with
// its checksum and line end, and it is written out in large blocks.
#pragma once

#include <cstddef>
#include <cstdio>

// Bytes the buffer holds before it is written out.
constexpr std::size_t out_block = 256 * 1024;
// Room one line may need: 255 characters of text (the longest print bound),
// two checksum digits, CR LF, and the NUL a print may end with; or one record
// of a sentence, up to 264 bytes (writer.cpp).
constexpr std::size_t line_room = 264;
// The whole buffer.
constexpr std::size_t out_size = out_block + line_room;

struct outbuf {
    char* buf = nullptr;           // block + line_room bytes
    std::size_t block = out_block; // bytes it holds before it is written out
    std::size_t len = 0;           // bytes waiting to be written
    std::FILE* file = nullptr;     // where they go, unless hand is set
    bool failed = false;           // a write fell short: the output is incomplete
    // When set, a full buffer goes to hand instead, which takes its len bytes
    // and leaves buf at a buffer to fill next (maybe another) and len at 0.
    void (*hand)(void* ctx, outbuf& o) = nullptr;
    void* ctx = nullptr;
    // When set, the writer keeps each sentence as a record of the fields it
    // prints, for format_records (writer.h) to turn into text elsewhere.
    bool deferred = false;
};

// Writes out what the buffer holds; answers false once a write has failed.
bool flush(outbuf& o);

// Where the next line goes: at the end of the buffer, which has line_room
// bytes free there (the buffer is written out first when it is full).
inline char* line_at(outbuf& o)
{
    if (o.len >= o.block)
        flush(o);
    return o.buf + o.len;
}
