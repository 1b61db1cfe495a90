#include "outbuf.h"

bool flush(outbuf& o)
{
    if (o.len > 0) {
        if (o.hand) {
            o.hand(o.ctx, o);
        } else {
            if (std::fwrite(o.buf, 1, o.len, o.file) != o.len)
                o.failed = true;
            o.len = 0;
        }
    }
    return !o.failed;
}
