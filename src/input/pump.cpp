#include "pump.h"

#include "../platform/sys.h"
#include "frame.h"
#include "le.h"

#include <cstring>

rfifo::~rfifo()
{
    delete[] mem;
}

bool rfifo::setup()
{
    std::uint8_t* p = sys::grab(2 * std::size_t(window_size) + text_memory + waiting_room);
    if (!p)
        return false;
    delete[] mem;
    mem = p;
    win[0] = p;
    win[1] = p + window_size;
    text_setup(text, p + 2 * window_size);
    waiting = p + 2 * window_size + text_memory;
    nwaiting = 0;
    rbuf = win[0];
    rpos = wpos = frame_capacity;
    return true;
}

namespace {

// The pump's sink, with the ring whose frames may wait.
struct pumping {
    rfifo& r;
    const framesink& sink;
};

constexpr int wait_head = 12; // a waiting frame's length and place

// Hands on the waiting frames whose place comes before `before` (all of
// them when before is -1), in order.
void release(rfifo& r, const framesink& sink, std::int64_t before)
{
    int at = 0;
    while (at < r.nwaiting) {
        int len = static_cast<int>(ld_u32(r.waiting + at));
        auto place = static_cast<std::int64_t>(ld_u64(r.waiting + at + 4));
        if (before >= 0 && place >= before)
            break;
        sink.take(sink.ctx, r.waiting + at + wait_head, len, false);
        at += wait_head + len;
    }
    std::memmove(r.waiting, r.waiting + at, static_cast<std::size_t>(r.nwaiting - at));
    r.nwaiting -= at;
}

// Each ASCII log, after the waiting binary frames that come before its last
// byte.
void take_text(void* ctx, const std::uint8_t* frame, int len, std::int64_t end)
{
    auto& p = *static_cast<pumping*>(ctx);
    if (p.sink.ordered)
        release(p.r, p.sink, end);
    p.sink.take(p.sink.ctx, frame, len, true);
}

// The bytes the frame search passed over go to the ASCII reader; frames
// that waited for what it now has decided go on.
void pass_over(rfifo& r, const std::uint8_t* p, int n, const framesink& sink)
{
    if (n <= 0)
        return;
    pumping ctx{r, sink};
    text_feed(r.text, p, n, logsink{take_text, &ctx});
    if (r.nwaiting > 0)
        release(r, sink, text_settled(r.text) + 1);
}

// A good binary frame: handed on, unless an ASCII log that may end before it
// is still open, in which case it waits for it. When the room for waiting
// frames is full, an abbreviated log open at the end of a line is taken as
// it stands, and the frames that waited go on.
void take_binary(rfifo& r, const std::uint8_t* f, int len, const framesink& sink)
{
    if (!sink.ordered || r.text.nheld == 0) {
        sink.take(sink.ctx, f, len, false);
        return;
    }
    if (r.nwaiting + wait_head + len > waiting_room) {
        pumping ctx{r, sink};
        text_close_line(r.text, logsink{take_text, &ctx});
        release(r, sink, -1);
        if (r.text.nheld == 0 || r.nwaiting + wait_head + len > waiting_room) {
            sink.take(sink.ctx, f, len, false);
            return;
        }
    }
    std::uint8_t* w = r.waiting + r.nwaiting;
    st_u32(w, static_cast<std::uint32_t>(len));
    std::uint64_t place = static_cast<std::uint64_t>(r.text.seen);
    st_u32(w + 4, static_cast<std::uint32_t>(place));
    st_u32(w + 8, static_cast<std::uint32_t>(place >> 32));
    std::memcpy(w + wait_head, f, static_cast<std::size_t>(len));
    r.nwaiting += wait_head + len;
}

// Searches the window from rpos for binary frames, handing good ones on and
// the bytes between them to the ASCII reader, until it needs bytes that the
// next read brings. At the end of the input (end true) a candidate cut off
// is rejected like any other and the window is emptied.
void scan(rfifo& r, bool end, const framesink& sink)
{
    int from = r.rpos; // the bytes passed over since the last good frame
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
            break;
        }
        r.rpos += s.at;
        const std::uint8_t* f = r.rbuf + r.rpos;
        judged j = binary_forms[s.form].judge(f, r.wpos - r.rpos, end);
        if (j.v == verdict::more)
            break; // the candidate goes on in the next block
        if (j.v == verdict::rejected) {
            ++r.rpos; // look again from the byte after its first
            continue;
        }
        pass_over(r, r.rbuf + from, r.rpos - from, sink);
        take_binary(r, f, j.len, sink);
        r.rpos += j.len;
        from = r.rpos;
    }
    pass_over(r, r.rbuf + from, r.rpos - from, sink);
}

} // namespace

void pump(const source& in, rfifo& r, const framesink& sink)
{
    if (!r.win[0])
        return;
    r.rbuf = r.win[0];
    r.rpos = r.wpos = frame_capacity;
    text_setup(r.text, r.text.held);
    r.nwaiting = 0;
    for (int w = 0;; w ^= 1) {
        // What the search left (a candidate the block cut off, or up to three
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
            break;
    }
    pumping ctx{r, sink};
    text_end(r.text, logsink{take_text, &ctx});
    release(r, sink, -1);
}
