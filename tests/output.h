// A temporary output file whose contents a test can read back.
#pragma once

#include <cstdio>
#include <string>

struct outfile {
    std::FILE* f = std::tmpfile();
    ~outfile() { std::fclose(f); }
    outfile() = default;
    outfile(const outfile&) = delete;
    outfile& operator=(const outfile&) = delete;

    // Everything written so far (the file position is left at its end).
    std::string text()
    {
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
