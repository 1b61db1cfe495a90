// The text buffer: sentences are printed into it, each with its checksum and
// line end, and it is written out in large blocks to its sink.
#pragma once

#include <cstddef>
#include <cstdio>

// Bytes the buffer holds before it is written out.
constexpr std::size_t out_block = 256 * 1024;
// Room one line may need: 255 characters of text (the longest print bound),
// two checksum digits, CR LF, and the NUL a print may end with; also the
// most one record of a sentence takes (writer.cpp).
constexpr std::size_t line_room = 264;
// The whole buffer.
constexpr std::size_t out_size = out_block + line_room;

// Where the text goes: write takes n bytes and answers whether all of them
// were taken. file_sink writes to a file.
struct textsink {
    bool (*write)(void* ctx, const char* p, std::size_t n);
    void* ctx;
};
textsink file_sink(std::FILE* f);

struct outbuf {
    char* buf = nullptr;           // out_size bytes
    std::size_t len = 0;           // bytes waiting to be written
    textsink to{nullptr, nullptr}; // where they go
    bool failed = false;           // a write fell short: the output is incomplete
};

// Writes out what the buffer holds; answers false once a write has failed.
bool flush(outbuf& o);

// Where the next line goes: at the end of the buffer, which has line_room
// bytes free there (the buffer is written out first when it is full).
inline char* line_at(outbuf& o)
{
    if (o.len >= out_block)
        flush(o);
    return o.buf + o.len;
}
