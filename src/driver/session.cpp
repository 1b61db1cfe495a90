#include "session.h"

#include "../input/frame.h"
#include "../platform/sys.h"
#include "formatter.h"

#include <cstring>

namespace {

// Each good frame: keep it in the store, then write what it completes.
void take_frame(void* ctx, const std::uint8_t* frame, int len)
{
    session& s = *static_cast<session*>(ctx);
    store_frame(*s.store, frame, len, s.opt.all);
    // Short-header frames are read with /all only; without it they are
    // only counted by the store when only /all reads their log.
    if (s.opt.all || !is_short(frame))
        s.sentences += convert(*s.store, *s.state, s.out, s.opt);
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
    s.out.buf = reinterpret_cast<char*>(s.outmem.get());
    return true;
}

void manual_utc(session& s, std::int32_t n)
{
    s.opt.manualutc = true;
    s.state->hasutcoffset = 1;
    s.state->utcoffset = -static_cast<double>(n);
}

void convert_source(session& s, const source& in)
{
    pump(in, s.ring, framesink{take_frame, &s});
    flush(s.out);
}

void convert_to_file(session& s, const source& in, std::FILE* out, bool threads)
{
    // With the thread, the output buffer holds records and the thread
    // formats them into the text buffer; without it, the text goes there
    // at once.
    char* text = reinterpret_cast<char*>(s.outmem.get());
    s.out.file = out;
    formatter f(out, text, text + out_size);
    bool threaded = threads && f.start(s.out);
    convert_source(s, in);
    if (threaded) {
        s.sentences -= f.finish(s.out);
        s.out.buf = text;
        s.out.block = out_block;
    }
}

bool convert_file(session& s, std::FILE* in, std::FILE* out, bool threads)
{
    convert_to_file(s, source{read_file, in}, out, threads);
    return std::ferror(in) == 0;
}
