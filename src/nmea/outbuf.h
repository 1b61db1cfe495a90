// The output buffer: sentences are formatted straight into it, each with
// its checksum and line end, and it is written to the output file in large
// blocks.
#pragma once

#include <cstddef>
#include <cstdio>

// Bytes the buffer holds before it is written out.
constexpr std::size_t out_block = 256 * 1024;
// Room one line may need: 255 characters of text (the longest print bound),
// two checksum digits, CR LF, and the NUL a print may end with.
constexpr std::size_t line_room = 260;

struct outbuf {
    char* buf = nullptr;       // out_block + line_room bytes
    std::size_t len = 0;       // bytes waiting to be written
    std::FILE* file = nullptr; // where they go
    bool failed = false;       // a write fell short: the output is incomplete
};

// Writes what the buffer holds to its file; answers false when a write has
// ever fallen short.
bool flush(outbuf& o);

// Where the next line goes: at the end of the buffer, which has line_room
// bytes free there (the buffer is written out first when it is full).
inline char* line_at(outbuf& o)
{
    if (o.len >= out_block)
        flush(o);
    return o.buf + o.len;
}
