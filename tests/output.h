// An output buffer whose lines a test can read back: full buffers, and what
// is left at the end, are kept in memory.
#pragma once

#include "nmea/sentences/outbuf.h"

#include <memory>
#include <string>

struct outfile {
    std::unique_ptr<char[]> mem{new char[out_size]};
    outbuf out;
    std::string written;

    outfile()
    {
        out.buf = mem.get();
        out.hand = keep;
        out.ctx = this;
    }
    outfile(const outfile&) = delete;
    outfile& operator=(const outfile&) = delete;

    // Everything written so far.
    std::string text()
    {
        flush(out);
        return written;
    }

    static void keep(void* ctx, outbuf& o)
    {
        static_cast<outfile*>(ctx)->written.append(o.buf, o.len);
        o.len = 0;
    }
};
