#include "formatter.h"

#include <chrono>
#include <system_error>

namespace {
std::atomic<int> sleep_delay{0};
} // namespace

void delay_sleepers(int ms)
{
    sleep_delay = ms;
}

formatter::formatter(outbuf& to, char* records) : out(to)
{
    for (int i = 0; i < record_buffers; ++i)
        bufs[i] = records + static_cast<std::size_t>(i) * record_room;
}

formatter::~formatter()
{
    if (running) {
        stop = true;
        wake();
        t.join();
    }
}

bool formatter::start(recbuf& recs)
{
    text = out;
    try {
        t = std::thread(&formatter::work, this);
    } catch (const std::system_error&) {
        return false; // no thread to be had: the caller formats as it goes
    }
    running = true;
    recs.buf = bufs[0];
    recs.room = record_room;
    recs.len = 0;
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
    if (int ms = sleep_delay)
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
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

void formatter::hand(recbuf& recs)
{
    lens[fill_at] = recs.len;
    ++queued;
    wake();
    fill_at = (fill_at + 1) % record_buffers;
    // The next buffer is free once fewer than all are queued.
    wait_for([&] { return queued < record_buffers; });
    recs.buf = bufs[fill_at];
    recs.len = 0;
}

std::int64_t formatter::finish(recbuf& recs)
{
    if (recs.len > 0)
        hand(recs);
    stop = true;
    wake();
    t.join();
    running = false;
    out = text;
    return refused;
}
