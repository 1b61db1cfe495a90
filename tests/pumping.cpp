#include "pumping.h"

#include "input/oem4.h"

#include <cstdio>
#include <ostream>

void pumping::run(const std::string& bytes)
{
    std::FILE* in = std::tmpfile();
    std::FILE* out = std::tmpfile();
    std::fwrite(bytes.data(), 1, bytes.size(), in);
    std::rewind(in);
    oem4 parser;
    rfifo ring;
    ring.setup();
    std::unique_ptr<std::uint8_t[]> chunk(new std::uint8_t[chunk_size]);
    result = pump(in, out, ring, parser, *store, *state, opt, chunk.get());
    std::fflush(out);
    long n = std::ftell(out);
    std::rewind(out);
    output.assign(static_cast<std::size_t>(n), '\0');
    if (n > 0 && std::fread(&output[0], 1, output.size(), out) != output.size())
        output.clear();
    std::fclose(in);
    std::fclose(out);
}

counts counts_of(const logstore& s)
{
    counts c;
    c.bestpos = s.nbestpos;
    c.bestvel = s.nbestvel;
    c.satvis = s.nsatvis;
    c.trackstat = s.ntrackstat;
    c.time = s.ntime;
    c.psrdop = s.npsrdop;
    return c;
}

std::ostream& operator<<(std::ostream& os, const counts& c)
{
    return os << "{" << c.bestpos << "," << c.bestvel << "," << c.satvis << "," << c.trackstat
              << "," << c.time << "," << c.psrdop << "}";
}
