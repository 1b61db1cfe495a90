#include "pumping.h"

#include "frames.h"
#include "input/crc.h"
#include "input/frame.h"
#include "output.h"
#include "parser.h"

#include <ostream>
#include <tuple>
#include <utility>

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

// The binary frames only: the frames ASCII logs become are left out.
void collect(void* ctx, const std::uint8_t* frame, int len, bool ascii)
{
    if (!ascii)
        static_cast<std::vector<std::string>*>(ctx)->emplace_back(
            reinterpret_cast<const char*>(frame), static_cast<std::size_t>(len));
}

void collect_log(void* ctx, const std::uint8_t* frame, int len, bool ascii)
{
    static_cast<std::vector<logfound>*>(ctx)->push_back(
        {std::string(reinterpret_cast<const char*>(frame), static_cast<std::size_t>(len)), ascii});
}

} // namespace

pumping::pumping()
{
    setup(job);
    job.text.to = string_sink(output);
}

void pumping::run(const std::string& bytes, std::size_t piece)
{
    std::vector<std::size_t> reads;
    if (piece > 0)
        reads.push_back(piece);
    memsource m{&bytes, 0, &reads};
    convert_source(job, source{memsource::read, &m});
}

namespace {

// One pump's memory for every test: set up once, as the program sets it up
// once, and started afresh by each pump.
rfifo& test_ring()
{
    static rfifo ring;
    if (!ring.win[0])
        ring.setup();
    return ring;
}

} // namespace

std::vector<std::string> frames_pumped(const std::string& bytes,
                                       const std::vector<std::size_t>& reads)
{
    std::vector<std::string> found;
    memsource m{&bytes, 0, &reads};
    pump(source{memsource::read, &m}, test_ring(), framesink{collect, &found});
    return found;
}

std::vector<logfound> logs_pumped(const std::string& bytes, const std::vector<std::size_t>& reads,
                                  bool ordered)
{
    std::vector<logfound> found;
    memsource m{&bytes, 0, &reads};
    pump(source{memsource::read, &m}, test_ring(), framesink{collect_log, &found, ordered});
    return found;
}

std::ostream& operator<<(std::ostream& os, const logfound& f)
{
    os << (f.ascii ? "ascii " : "binary ") << f.frame.size() << " bytes:";
    for (std::size_t i = 0; i < f.frame.size() && i < 24; ++i)
        os << ' ' << "0123456789abcdef"[static_cast<unsigned char>(f.frame[i]) >> 4]
           << "0123456789abcdef"[f.frame[i] & 15];
    return os;
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
                collect(&found, parser.fbuf, parser.framelen, false);
        }
        int r = parser.finish();
        if (r == 0)
            return found;
        i = n - static_cast<std::size_t>(-r);
    }
}

namespace {
auto tied(const counts& c)
{
    return std::tie(c.bestpos, c.bestvel, c.satvis, c.trackstat, c.time, c.psrdop, c.inspva,
                    c.inspvas, c.inspvax, c.bestxyz, c.psrdop2, c.satvis2, c.heading, c.heading2,
                    c.allonly);
}
} // namespace

bool counts::operator==(const counts& o) const
{
    return tied(*this) == tied(o);
}

counts counts_of(const logstore& s)
{
    counts c;
    c.bestpos = s.count[log_bestpos];
    c.bestvel = s.count[log_bestvel];
    c.satvis = s.count[log_satvis];
    c.trackstat = s.count[log_trackstat];
    c.time = s.count[log_time];
    c.psrdop = s.count[log_psrdop];
    c.inspva = s.count[log_inspva];
    c.inspvas = s.count[log_inspvas];
    c.inspvax = s.count[log_inspvax];
    c.bestxyz = s.count[log_bestxyz];
    c.psrdop2 = s.count[log_psrdop2];
    c.satvis2 = s.count[log_satvis2];
    c.heading = s.count[log_heading];
    c.heading2 = s.count[log_heading2];
    c.allonly = s.nallonly;
    return c;
}

std::ostream& operator<<(std::ostream& os, const counts& c)
{
    os << "{";
    std::apply([&](const auto&... v) { ((os << v << ","), ...); }, tied(c));
    return os << "}";
}

std::string rejected_candidate(int total, const std::string& inside, std::uint16_t id)
{
    std::string body(static_cast<std::size_t>(total - 32), '\x5c');
    body.replace(28, inside.size(), inside);
    return frames::frame(id, body, {}, false);
}

std::vector<std::string> scan_frames(const std::string& s)
{
    std::vector<std::string> found;
    for (placed& p : scan_frames_placed(s))
        found.push_back(std::move(p.frame));
    return found;
}

std::vector<placed> scan_frames_placed(const std::string& s)
{
    std::vector<placed> found;
    auto* b = reinterpret_cast<const std::uint8_t*>(s.data());
    std::size_t n = s.size(), i = 0;
    auto u16 = [&](std::size_t at) { return unsigned(b[at] | b[at + 1] << 8); };
    while (i < n) {
        std::size_t len = 0;
        if (i + 10 <= n && b[i] == 0xAA && b[i + 1] == 0x44 && b[i + 2] == 0x12 && b[i + 3] == 28) {
            len = u16(i + 8) + 32u;
            unsigned id = u16(i + 4);
            std::size_t limit = id == 48 ? 20525 : id == 83 ? 20529 : 4096;
            if (len >= limit)
                len = 0;
        } else if (i + 4 <= n && b[i] == 0xAA && b[i + 1] == 0x44 && b[i + 2] == 0x13) {
            len = b[i + 3] + 16u;
        }
        if (len == 0 || i + len > n) {
            ++i;
            continue;
        }
        std::uint32_t stored = b[i + len - 4] | b[i + len - 3] << 8 | b[i + len - 2] << 16 |
                               std::uint32_t(b[i + len - 1]) << 24;
        if (crc32_table(b + i, len - 4) != stored) {
            ++i;
            continue;
        }
        found.push_back({i, s.substr(i, len)});
        i += len;
    }
    return found;
}

counts scan_counts(const std::string& s, bool all)
{
    counts c;
    int* mine[] = {&c.inspva,  &c.inspvas, &c.inspvax, &c.bestxyz,
                   &c.psrdop2, &c.satvis2, &c.heading, &c.heading2};
    const unsigned ids[] = {507, 508, 1465, 241, 1163, 1043, 971, 1335};
    for (const std::string& f : scan_frames(s)) {
        auto id = static_cast<unsigned>(static_cast<std::uint8_t>(f[4]) |
                                        static_cast<std::uint8_t>(f[5]) << 8);
        bool shortf = f[2] == 0x13;
        int* counter = nullptr;
        for (int k = 0; k < 8; ++k)
            if (id == ids[k]) {
                ++c.allonly;
                counter = all ? mine[k] : nullptr;
            }
        switch (id) {
        case 42: counter = &c.bestpos; break;
        case 99: counter = &c.bestvel; break;
        case 48: counter = &c.satvis; break;
        case 83: counter = &c.trackstat; break;
        case 101: counter = &c.time; break;
        case 174: counter = &c.psrdop; break;
        }
        if (counter && (all || !shortf))
            ++*counter;
    }
    return c;
}

bool reads_and_bytes(const std::uint8_t* data, std::size_t size, std::size_t nreads,
                     std::vector<std::size_t>& reads, std::string& bytes)
{
    if (size < 2 * nreads)
        return false;
    reads.clear();
    for (std::size_t i = 0; i < nreads; ++i)
        reads.push_back(1 + (data[2 * i] | data[2 * i + 1] << 8));
    bytes.assign(reinterpret_cast<const char*>(data) + 2 * nreads, size - 2 * nreads);
    return true;
}
