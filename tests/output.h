// A record buffer whose sentences a test can read back as text: the records
// kept so far are formatted on request, the sentences refused for not
// fitting their bounds counted.
#pragma once

#include "nmea/sentences/outbuf.h"
#include "nmea/sentences/writer.h"

#include <cstdint>
#include <memory>
#include <string>

// A text sink that appends to a string.
inline textsink string_sink(std::string& s)
{
    return {[](void* ctx, const char* p, std::size_t n) {
                static_cast<std::string*>(ctx)->append(p, n);
                return true;
            },
            &s};
}

struct outfile {
    static constexpr std::size_t room = 16 << 20; // records of any test
    std::unique_ptr<std::uint64_t[]> records{new std::uint64_t[room / 8]};
    std::unique_ptr<char[]> textmem{new char[out_size]};
    recbuf out;
    std::string written;
    std::int64_t refused = 0; // sentences refused so far

    outfile()
    {
        out.buf = reinterpret_cast<char*>(records.get());
        out.room = room;
    }
    outfile(const outfile&) = delete;
    outfile& operator=(const outfile&) = delete;

    // Everything written so far: the records kept are formatted now.
    const std::string& text()
    {
        outbuf t;
        t.buf = textmem.get();
        t.to = string_sink(written);
        refused += format_records(out.buf, out.len, t);
        flush(t);
        out.len = 0;
        return written;
    }

    // Of `kept` sentences just kept, those written: the records are
    // formatted now and the refused ones taken off.
    int written_by(int kept)
    {
        std::int64_t before = refused;
        text();
        return kept - static_cast<int>(refused - before);
    }
};
