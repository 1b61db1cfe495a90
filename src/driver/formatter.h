// The sentences of a conversion, formatted and written in a thread of their
// own: the conversion keeps each sentence as a record of the fields it
// prints, the run hands over full buffers of records between frames, and
// this thread turns them into text and writes it out while the conversion
// goes on. A few buffers travel round between the two, so that neither
// waits for the other unless it runs ahead by all of them; a short wait is
// spun out rather than slept.
#pragma once

#include "../nmea/sentences/outbuf.h"
#include "../nmea/sentences/writer.h"

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <thread>

// Buffers of records, the records each holds before it is handed over, and
// the bytes of each: room for one more frame's records past that.
constexpr int record_buffers = 4;
constexpr std::size_t record_block = 128 * 1024;
constexpr std::size_t record_room = record_block + frame_records;
// The memory of the record buffers.
constexpr std::size_t records_size = record_buffers * record_room;

class formatter final {
  public:
    // out: where the text goes, which the thread takes over from start to
    // finish; records: records_size bytes, 8-byte aligned.
    formatter(outbuf& out, char* records);
    virtual ~formatter();
    formatter(const formatter&) = delete;
    formatter& operator=(const formatter&) = delete;

    // Starts the thread and points recs at the first record buffer; false
    // when the system cannot give a thread (recs is then left as it was).
    bool start(recbuf& recs);

    // Queues the records recs holds for the thread and points recs at the
    // next buffer, once that one is free.
    void hand(recbuf& recs);

    // Queues what recs still holds, waits until everything is formatted and
    // written, and ends the thread; a write that failed shows in the text
    // buffer's failed. Answers how many sentences were refused for not
    // fitting their bounds.
    std::int64_t finish(recbuf& recs);

  private:
    void work();
    template <class P> void wait_for(P ready);
    void wake();

    outbuf& out;
    // The thread's own copy of out while it runs: out lies among what the
    // conversion changes all the time, and a cache line written by both
    // threads would go back and forth between their cores.
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

// A test seam: each waiter of a formatter sleeps this many milliseconds
// between its last look at what it waits for and its sleep, the window
// where a wake-up that the other side gives finds nobody asleep; 0, the
// default, never.
void delay_sleepers(int ms);
