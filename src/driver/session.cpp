#include "session.h"

#include "../platform/sys.h"
#include "formatter.h"

#include <cstring>

namespace {

// The records kept go on to be formatted: to the thread, or at once.
void pass_on(session& s)
{
    if (s.thread) {
        s.thread->hand(s.recs);
    } else {
        s.sentences -= format_records(s.recs.buf, s.recs.len, s.text);
        s.recs.len = 0;
    }
}

// Each good frame: keep it in the store, then keep the sentences it
// completes; a full buffer of them is passed on between frames. An ASCII
// log's frame is read with /all only, and counted whatever the options.
void take_frame(void* ctx, const std::uint8_t* frame, int len, bool ascii)
{
    session& s = *static_cast<session*>(ctx);
    if (ascii) {
        if (s.store->nascii < INT32_MAX)
            ++s.store->nascii;
        if (!s.opt.all)
            return;
    }
    // Only a frame the store kept gives the conversion anything new: short
    // frames and the logs only /all reads are kept with /all only.
    if (store_frame(*s.store, frame, len, s.opt.all))
        s.sentences += convert(*s.store, *s.state, s.recs, s.opt);
    if (s.recs.room - s.recs.len < frame_records)
        pass_on(s);
}

std::size_t read_file(void* ctx, std::uint8_t* p, std::size_t n)
{
    return std::fread(p, 1, n, static_cast<std::FILE*>(ctx));
}

} // namespace

bool setup(session& s)
{
    bool ring = s.ring.setup();
    s.store.reset(sys::grab_record<logstore>());
    s.state.reset(sys::grab_record<nmeastate>());
    s.outmem.reset(sys::grab(out_size + records_size));
    if (!ring || !s.store || !s.state || !s.outmem)
        return false;
    std::memset(static_cast<void*>(s.store.get()), 0, sizeof *s.store);
    std::memset(static_cast<void*>(s.state.get()), 0, sizeof *s.state);
    s.text.buf = reinterpret_cast<char*>(s.outmem.get());
    s.recs.buf = s.text.buf + out_size;
    s.recs.room = record_room;
    return true;
}

void manual_utc(session& s, std::int32_t n)
{
    s.opt.manualutc = true;
    s.state->hasutcoffset = true;
    s.state->utcoffset = -static_cast<double>(n);
}

void convert_source(session& s, const source& in, bool threads)
{
    char* records = s.text.buf + out_size;
    formatter f(s.text, records);
    if (threads && f.start(s.recs))
        s.thread = &f;
    pump(in, s.ring, framesink{take_frame, &s, s.opt.all});
    if (s.thread) {
        s.sentences -= s.thread->finish(s.recs);
        s.thread = nullptr;
        s.recs.buf = records;
    } else {
        pass_on(s);
        flush(s.text);
    }
}

void convert_to_file(session& s, const source& in, std::FILE* out, bool threads)
{
    s.text.to = file_sink(out);
    convert_source(s, in, threads);
}

bool convert_file(session& s, std::FILE* in, std::FILE* out, bool threads)
{
    convert_to_file(s, source{read_file, in}, out, threads);
    return std::ferror(in) == 0;
}
