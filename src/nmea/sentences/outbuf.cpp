#include "outbuf.h"

#include "../../platform/sys.h"

bool flush(outbuf& o)
{
    if (o.len > 0) {
        if (o.hand) {
            o.hand(o.ctx, o);
        } else {
            if (!sys::write(o.file, o.buf, o.len))
                o.failed = true;
            o.len = 0;
        }
    }
    return !o.failed;
}
