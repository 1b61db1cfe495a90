#include "formatter.h"

#include "../nmea/sentences/writer.h"

#include <system_error>

formatter::formatter(std::FILE* out, char* txt, char* records)
{
    text.buf = txt;
    text.file = out;
    for (int i = 0; i < record_buffers; ++i)
        bufs[i] = records + static_cast<std::size_t>(i) * (record_block + line_room);
}

formatter::~formatter()
{
    if (running) {
        stop = true;
        wake();
        t.join();
    }
}

bool formatter::start(outbuf& recs)
{
    try {
        t = std::thread(&formatter::work, this);
    } catch (const std::system_error&) {
        return false; // no thread to be had: the caller formats as it goes
    }
    running = true;
    recs.buf = bufs[0];
    recs.block = record_block;
    recs.len = 0;
    recs.deferred = true;
    recs.hand = hand;
    recs.ctx = this;
    return true;
}

// Waits until ready() holds: checks a while, then yields a while, then
// sleeps until woken. The other side changes what ready() reads before it
// looks for sleepers, and a sleeper counts itself before it looks again, so
// one of the two always sees the other.
template <class P> void formatter::wait_for(P ready)
{
    for (int i = 0; i < 40; ++i) {
        if (ready())
            return;
        if (i >= 8)
            std::this_thread::yield();
    }
    std::unique_lock<std::mutex> lock(m);
    ++sleepers;
    cv.wait(lock, ready);
    --sleepers;
}

void formatter::wake()
{
    if (sleepers > 0) {
        std::lock_guard<std::mutex> g(m);
        cv.notify_all();
    }
}

void formatter::work()
{
    for (;;) {
        wait_for([&] { return queued > 0 || stop; });
        if (queued == 0) {
            flush(text); // stop, and nothing more to format
            return;
        }
        refused += format_records(bufs[format_at], lens[format_at], text);
        format_at = (format_at + 1) % record_buffers;
        --queued;
        wake();
    }
}

void formatter::hand(void* ctx, outbuf& o)
{
    auto& f = *static_cast<formatter*>(ctx);
    f.lens[f.fill_at] = o.len;
    ++f.queued;
    f.wake();
    f.fill_at = (f.fill_at + 1) % record_buffers;
    // The next buffer is free once fewer than all are queued.
    f.wait_for([&] { return f.queued < record_buffers; });
    o.buf = f.bufs[f.fill_at];
    o.len = 0;
}

std::int64_t formatter::finish(outbuf& recs)
{
    flush(recs);
    stop = true;
    wake();
    t.join();
    running = false;
    recs.failed = recs.failed || text.failed;
    recs.deferred = false;
    recs.hand = nullptr;
    return refused;
}
