// An output buffer over a temporary file whose contents a test can read back.
#pragma once

#include "nmea/outbuf.h"

#include <cstdio>
#include <memory>
#include <string>

struct outfile {
    std::unique_ptr<char[]> mem{new char[out_block + line_room]};
    outbuf out;
    outfile()
    {
        out.buf = mem.get();
        out.file = std::tmpfile();
    }
    ~outfile() { std::fclose(out.file); }
    outfile(const outfile&) = delete;
    outfile& operator=(const outfile&) = delete;

    // Everything written so far (the file position is left at its end).
    std::string text()
    {
        flush(out);
        std::FILE* f = out.file;
        std::fflush(f);
        long n = std::ftell(f);
        std::string s(static_cast<std::size_t>(n), '\0');
        std::rewind(f);
        if (n > 0 && std::fread(&s[0], 1, s.size(), f) != s.size())
            s.clear();
        // A write may follow this read only after a positioning call.
        std::fseek(f, 0, SEEK_END);
        return s;
    }
};
