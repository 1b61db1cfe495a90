// The sentences of a conversion, formatted and written in a thread of their
// own: the conversion keeps each sentence as a record of the fields it
// prints and hands over full buffers of records, which this thread turns
// into text and writes out while the conversion goes on. A few buffers
// travel round between the two, so that neither waits for the other unless
// it runs ahead by all of them; a short wait is spun out rather than slept.
#pragma once

#include "../nmea/sentences/outbuf.h"

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <thread>

// Buffers of records, and the bytes each holds before it is handed over.
constexpr int record_buffers = 4;
constexpr std::size_t record_block = 128 * 1024;
// The memory of the record buffers.
constexpr std::size_t records_size = record_buffers * (record_block + line_room);

class formatter final {
  public:
    // text: out_size bytes for the text; records: records_size bytes.
    formatter(std::FILE* out, char* text, char* records);
    virtual ~formatter();
    formatter(const formatter&) = delete;
    formatter& operator=(const formatter&) = delete;

    // Starts the thread and makes recs keep records in the record buffers
    // and hand them to it; false when the system cannot give a thread
    // (recs is then left as it was).
    bool start(outbuf& recs);

    // Formats what recs still holds and what is queued, writes it all, and
    // ends the thread; a write that failed shows in recs.failed. Answers how
    // many sentences were refused for not fitting their bounds.
    std::int64_t finish(outbuf& recs);

  private:
    static void hand(void* ctx, outbuf& o);
    void work();
    template <class P> void wait_for(P ready);
    void wake();

    outbuf text;
    char* bufs[record_buffers];
    std::size_t lens[record_buffers] = {};
    int fill_at = 0;            // the buffer the conversion fills (its thread only)
    int format_at = 0;          // the next buffer to format (this thread only)
    std::atomic<int> queued{0}; // buffers handed over and not yet formatted
    std::atomic<bool> stop{false};
    std::int64_t refused = 0;

    std::mutex m;
    std::condition_variable cv;
    std::atomic<int> sleepers{0};
    std::thread t;
    bool running = false;
};
