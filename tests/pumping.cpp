#include "pumping.h"

#include "input/oem4.h"

#include <ostream>

namespace {

// Bytes from a string, in reads of the given sizes.
struct memsource {
    const std::string* bytes;
    std::size_t at = 0;
    const std::vector<std::size_t>* reads;
    std::size_t next = 0;

    static std::size_t read(void* ctx, std::uint8_t* p, std::size_t n)
    {
        auto& m = *static_cast<memsource*>(ctx);
        std::size_t left = m.bytes->size() - m.at;
        if (!m.reads->empty()) {
            std::size_t want = (*m.reads)[m.next++ % m.reads->size()];
            n = want < n ? want : n;
        }
        n = n < left ? n : left;
        m.bytes->copy(reinterpret_cast<char*>(p), n, m.at);
        m.at += n;
        return n;
    }
};

void collect(void* ctx, const std::uint8_t* frame, int len)
{
    static_cast<std::vector<std::string>*>(ctx)->emplace_back(reinterpret_cast<const char*>(frame),
                                                              static_cast<std::size_t>(len));
}

void keep(void* ctx, outbuf& o)
{
    static_cast<std::string*>(ctx)->append(o.buf, o.len);
    o.len = 0;
}

} // namespace

pumping::pumping()
{
    setup(job);
    job.out.hand = keep;
    job.out.ctx = &output;
}

void pumping::run(const std::string& bytes, std::size_t piece)
{
    std::vector<std::size_t> reads;
    if (piece > 0)
        reads.push_back(piece);
    memsource m{&bytes, 0, &reads};
    convert_source(job, source{memsource::read, &m});
}

std::vector<std::string> frames_pumped(const std::string& bytes,
                                       const std::vector<std::size_t>& reads)
{
    std::vector<std::string> found;
    rfifo ring;
    ring.setup();
    memsource m{&bytes, 0, &reads};
    pump(source{memsource::read, &m}, ring, framesink{collect, &found});
    return found;
}

std::vector<std::string> frames_fed(const std::string& bytes)
{
    std::vector<std::string> found;
    oem4 parser;
    std::size_t i = 0, n = bytes.size();
    for (;;) {
        while (i < n) {
            int r = parser.feed(static_cast<std::uint8_t>(bytes[i++]));
            if (r < 0)
                i -= static_cast<std::size_t>(-r);
            else if (r == 1)
                collect(&found, parser.fbuf, parser.framelen);
        }
        int r = parser.finish();
        if (r == 0)
            return found;
        i = n - static_cast<std::size_t>(-r);
    }
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
