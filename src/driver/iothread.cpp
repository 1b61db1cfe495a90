#include "iothread.h"

#include <system_error>

iothread::iothread(std::FILE* i, std::FILE* o, rfifo& r, char* s) : in(i), out(o), ring(r), spare(s)
{
}

iothread::~iothread()
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

bool iothread::start()
{
    // The first block goes where the pump asks for it first.
    rd_at = ring.win[0] + frame_capacity;
    rd_want = true;
    try {
        t = std::thread(&iothread::work, this);
    } catch (const std::system_error&) {
        return false; // no thread to be had: the caller does the I/O itself
    }
    running = true;
    return true;
}

source iothread::input()
{
    return source{read, this};
}

void iothread::attach(outbuf& o)
{
    o.hand = hand;
    o.ctx = this;
}

void iothread::work()
{
    std::unique_lock<std::mutex> lock(m);
    for (;;) {
        if (wr_buf) {
            // Writes first: the conversion waits for a free output buffer.
            const char* p = wr_buf;
            std::size_t n = wr_len;
            lock.unlock();
            bool ok = std::fwrite(p, 1, n, out) == n;
            lock.lock();
            wr_failed = wr_failed || !ok;
            wr_buf = nullptr;
            cv.notify_all();
        } else if (rd_want) {
            std::uint8_t* p = rd_at;
            lock.unlock();
            std::size_t got = std::fread(p, 1, block_size, in);
            lock.lock();
            rd_got = got;
            rd_want = false;
            rd_done = true;
            cv.notify_all();
        } else if (stop) {
            return;
        } else {
            cv.wait(lock);
        }
    }
}

std::size_t iothread::read(void* ctx, std::uint8_t* p, std::size_t)
{
    auto& io = *static_cast<iothread*>(ctx);
    std::unique_lock<std::mutex> lock(io.m);
    // The block asked for is the one read ahead into this window.
    io.cv.wait(lock, [&] { return io.rd_done; });
    std::size_t got = io.rd_at == p ? io.rd_got : 0;
    io.rd_done = false;
    if (got > 0) {
        // The pump has given up the other window: read the next block there.
        io.rd_at = (p == io.ring.win[0] + frame_capacity ? io.ring.win[1] : io.ring.win[0]) +
                   frame_capacity;
        io.rd_want = true;
        io.cv.notify_all();
    }
    return got;
}

void iothread::hand(void* ctx, outbuf& o)
{
    auto& io = *static_cast<iothread*>(ctx);
    std::unique_lock<std::mutex> lock(io.m);
    // The buffer written before this one is the one to fill next.
    io.cv.wait(lock, [&] { return io.wr_buf == nullptr; });
    o.failed = o.failed || io.wr_failed;
    char* next = io.spare;
    io.spare = o.buf;
    io.wr_buf = o.buf;
    io.wr_len = o.len;
    io.cv.notify_all();
    o.buf = next;
    o.len = 0;
}

void iothread::finish(outbuf& o)
{
    {
        std::unique_lock<std::mutex> lock(m);
        cv.wait(lock, [&] { return wr_buf == nullptr; });
        stop = true;
        o.failed = o.failed || wr_failed;
    }
    cv.notify_all();
    t.join();
    running = false;
}
