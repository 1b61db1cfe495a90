#include "outbuf.h"

#include "../../platform/sys.h"

namespace {
bool to_file(void* ctx, const char* p, std::size_t n)
{
    return sys::write(static_cast<std::FILE*>(ctx), p, n);
}
} // namespace

textsink file_sink(std::FILE* f)
{
    return {to_file, f};
}

bool flush(outbuf& o)
{
    if (o.len > 0) {
        if (!o.to.write(o.to.ctx, o.buf, o.len))
            o.failed = true;
        o.len = 0;
    }
    return !o.failed;
}
