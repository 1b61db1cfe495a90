#include "formatter.h"

#include "../nmea/writer.h"

#include <system_error>

formatter::formatter(std::FILE* out, char* s, char* txt, nmeastate& sh) : spare(s), shadow(sh)
{
    text.buf = txt;
    text.file = out;
}

formatter::~formatter()
{
    if (running) {
        {
            std::lock_guard<std::mutex> g(m);
            stop = true;
        }
        cv.notify_all();
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
    recs.deferred = true;
    recs.hand = hand;
    recs.ctx = this;
    return true;
}

void formatter::work()
{
    std::unique_lock<std::mutex> lock(m);
    for (;;) {
        if (queued) {
            const char* p = queued;
            std::size_t n = queued_len;
            lock.unlock();
            std::int64_t r = format_records(p, n, shadow, text);
            lock.lock();
            refused += r;
            queued = nullptr;
            cv.notify_all();
        } else if (stop) {
            lock.unlock();
            flush(text);
            return;
        } else {
            cv.wait(lock);
        }
    }
}

void formatter::hand(void* ctx, outbuf& o)
{
    auto& f = *static_cast<formatter*>(ctx);
    std::unique_lock<std::mutex> lock(f.m);
    // The buffer handed over before this one is the one to fill next.
    f.cv.wait(lock, [&] { return f.queued == nullptr; });
    char* next = f.spare;
    f.spare = o.buf;
    f.queued = o.buf;
    f.queued_len = o.len;
    f.cv.notify_all();
    o.buf = next;
    o.len = 0;
}

std::int64_t formatter::finish(outbuf& recs)
{
    flush(recs);
    {
        std::lock_guard<std::mutex> g(m);
        stop = true;
    }
    cv.notify_all();
    t.join();
    running = false;
    recs.failed = recs.failed || text.failed;
    recs.deferred = false;
    recs.hand = nullptr;
    return refused;
}
