#include "pump.h"

#include "../platform/sys.h"
#include "frame.h"

#include <cstring>

rfifo::~rfifo()
{
    delete[] win[0];
}

bool rfifo::setup()
{
    std::uint8_t* p = sys::grab(2 * std::size_t(window_size));
    if (!p)
        return false;
    delete[] win[0];
    win[0] = p;
    win[1] = p + window_size;
    rbuf = win[0];
    rpos = wpos = frame_capacity;
    return true;
}

void scan(rfifo& r, bool end, const framesink& sink)
{
    for (;;) {
        int n = r.wpos - r.rpos;
        start s = find_sync(r.rbuf + r.rpos, n);
        if (s.at < 0) {
            // The last three bytes may begin a sync word that the next read
            // completes; at the end of the input nothing more can.
            if (end)
                r.rpos = r.wpos;
            else if (n > 3)
                r.rpos = r.wpos - 3;
            return;
        }
        r.rpos += s.at;
        const std::uint8_t* f = r.rbuf + r.rpos;
        judged j = binary_forms[s.form].judge(f, r.wpos - r.rpos, end);
        switch (j.v) {
        case verdict::complete:
            sink.take(sink.ctx, f, j.len);
            r.rpos += j.len;
            break;
        case verdict::rejected:
            ++r.rpos; // look again from the byte after its first
            break;
        case verdict::more: return; // the candidate goes on in the next block
        }
    }
}

void pump(const source& in, rfifo& r, const framesink& sink)
{
    if (!r.win[0])
        return;
    r.rbuf = r.win[0];
    r.rpos = r.wpos = frame_capacity;
    for (int w = 0;; w ^= 1) {
        // What the scan left (a candidate the block cut off, or up to three
        // bytes that may begin a sync word) goes just before the next block.
        std::uint8_t* next = r.win[w];
        int keep = r.wpos - r.rpos;
        if (next != r.rbuf)
            std::memcpy(next + frame_capacity - keep, r.rbuf + r.rpos,
                        static_cast<std::size_t>(keep));
        std::size_t got = in.read(in.ctx, next + frame_capacity, block_size);
        r.rbuf = next;
        r.rpos = frame_capacity - keep;
        r.wpos = frame_capacity + static_cast<int>(got);
        scan(r, got == 0, sink);
        if (got == 0)
            return;
    }
}
