#include "rfifo.h"

#include "../platform/sys.h"
#include "oem4.h"

#include <cstring>

rfifo::~rfifo()
{
    delete[] rbuf;
}

bool rfifo::setup()
{
    std::uint8_t* p = sys::grab(fifo_size);
    if (!p)
        return false;
    delete[] rbuf;
    rbuf = p;
    rsize = fifo_size;
    wpos = rpos = 0;
    return true;
}

void rfifo::compact()
{
    int n = wpos - rpos;
    if (n > 0 && rpos > 0)
        std::memmove(rbuf, rbuf + rpos, static_cast<std::size_t>(n));
    wpos = n;
    rpos = 0;
}

void scan(rfifo& r, bool end, const framesink& sink)
{
    for (;;) {
        int n = r.wpos - r.rpos;
        int i = find_sync(r.rbuf + r.rpos, n);
        if (i < 0) {
            // The last three bytes may begin a sync word that the next read
            // completes; at the end of the input nothing more can.
            if (end)
                r.rpos = r.wpos;
            else if (n > 3)
                r.rpos = r.wpos - 3;
            return;
        }
        r.rpos += i;
        const std::uint8_t* f = r.rbuf + r.rpos;
        int len = frame_at(f, r.wpos - r.rpos);
        if (len > 0) {
            sink.take(sink.ctx, f, len);
            r.rpos += len;
        } else if (len < 0 || end) {
            ++r.rpos; // rejected: look again from the byte after its first
        } else {
            return; // the candidate goes on in the next block
        }
    }
}

void pump(const source& in, rfifo& ring, const framesink& sink)
{
    if (!ring.rbuf)
        return;
    for (;;) {
        // Reads go behind what is left: compact only when the room left is
        // less than a block (after a large read it always is).
        if (ring.rsize - ring.wpos < block_size)
            ring.compact();
        std::size_t got = in.read(in.ctx, ring.rbuf + ring.wpos,
                                  static_cast<std::size_t>(ring.rsize - ring.wpos));
        ring.wpos += static_cast<int>(got);
        scan(ring, got == 0, sink);
        if (got == 0)
            return;
    }
}
