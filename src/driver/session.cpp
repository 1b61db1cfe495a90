#include "session.h"

#include "../platform/sys.h"
#include "formatter.h"

#include <cstring>

namespace {

// Each good frame: keep it in the store, then write what it completes.
void take_frame(void* ctx, const std::uint8_t* frame, int len)
{
    session& s = *static_cast<session*>(ctx);
    store_frame(*s.store, frame, len);
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
    s.shadow.reset(sys::grab_record<nmeastate>());
    s.outmem.reset(sys::grab(3 * out_size));
    if (!ring || !s.store || !s.state || !s.shadow || !s.outmem)
        return false;
    std::memset(static_cast<void*>(s.store.get()), 0, sizeof *s.store);
    std::memset(static_cast<void*>(s.state.get()), 0, sizeof *s.state);
    std::memset(static_cast<void*>(s.shadow.get()), 0, sizeof *s.shadow);
    s.out.buf = reinterpret_cast<char*>(s.outmem.get());
    return true;
}

void manual_utc(session& s, std::int32_t n)
{
    s.opt.manualutc = 1;
    s.state->hasutcoffset = 1;
    s.state->utcoffset = -static_cast<double>(n);
}

void convert_source(session& s, const source& in)
{
    pump(in, s.ring, framesink{take_frame, &s});
    flush(s.out);
}

bool convert_file(session& s, std::FILE* in, std::FILE* out)
{
    s.out.file = out;
    char* more = reinterpret_cast<char*>(s.outmem.get()) + out_size;
    formatter f(out, more, more + out_size, *s.shadow);
    bool threaded = f.start(s.out);
    convert_source(s, source{read_file, in});
    if (threaded)
        s.sentences -= f.finish(s.out);
    return std::ferror(in) == 0;
}
