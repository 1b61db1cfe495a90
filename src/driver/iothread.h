// The file reads and writes of a conversion, in a thread of their own: while
// the conversion scans one block and formats sentences into one output
// buffer, this thread reads the next block into the other window and writes
// the other output buffer. Both sides wait only when the other falls behind.
#pragma once

#include "../input/rfifo.h"
#include "../nmea/outbuf.h"

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <thread>

class iothread final {
  public:
    // spare is a second output buffer of out_size bytes, used by turns with
    // the outbuf's own.
    iothread(std::FILE* in, std::FILE* out, rfifo& ring, char* spare);
    virtual ~iothread();
    iothread(const iothread&) = delete;
    iothread& operator=(const iothread&) = delete;

    // Starts the thread; false when the system cannot give one, in which
    // case the caller reads and writes itself.
    bool start();

    // The input for the pump, and the hand for the output buffer.
    source input();
    void attach(outbuf& o);

    // Writes what is still queued, then ends the thread. Call after the
    // last flush of the output buffer; a write that failed shows in its
    // failed flag.
    void finish(outbuf& o);

  private:
    static std::size_t read(void* ctx, std::uint8_t* p, std::size_t n);
    static void hand(void* ctx, outbuf& o);
    void work();

    std::FILE* in;
    std::FILE* out;
    rfifo& ring;
    char* spare;

    std::mutex m;
    std::condition_variable cv;
    std::thread t;
    bool running = false;
    bool stop = false;
    // The block being read: where, whether it is done, and how many bytes.
    std::uint8_t* rd_at = nullptr;
    bool rd_want = false;
    bool rd_done = false;
    std::size_t rd_got = 0;
    // The output buffer being written.
    const char* wr_buf = nullptr;
    std::size_t wr_len = 0;
    bool wr_failed = false;
};
