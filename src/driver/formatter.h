// The sentences of a conversion, formatted and written in a thread of their
// own: the conversion keeps each sentence as a record of the fields it
// prints, and hands over full buffers of records, which this thread turns
// into text and writes out while the conversion fills the next buffer.
#pragma once

#include "../nmea/nmeastate.h"
#include "../nmea/outbuf.h"

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <thread>

class formatter final {
  public:
    // spare: a second buffer of out_size bytes for records, used by turns
    // with the record buffer's own; text: a buffer of out_size bytes for
    // the text; shadow: a zero-filled state that holds the printed fields.
    formatter(std::FILE* out, char* spare, char* text, nmeastate& shadow);
    virtual ~formatter();
    formatter(const formatter&) = delete;
    formatter& operator=(const formatter&) = delete;

    // Starts the thread and makes recs hand its full buffers to it; false
    // when the system cannot give a thread (recs is then left as it was).
    bool start(outbuf& recs);

    // Formats what recs still holds and what is queued, writes it all, and
    // ends the thread; a write that failed shows in recs.failed. Answers how
    // many sentences were refused for not fitting their bounds.
    std::int64_t finish(outbuf& recs);

  private:
    static void hand(void* ctx, outbuf& o);
    void work();

    outbuf text;
    char* spare;
    nmeastate& shadow;
    std::int64_t refused = 0;

    std::mutex m;
    std::condition_variable cv;
    std::thread t;
    bool running = false;
    bool stop = false;
    const char* queued = nullptr; // a buffer of records waiting, or being formatted
    std::size_t queued_len = 0;
};
