#include "rfifo.h"

#include "../nmea/convert.h"
#include "../platform/sys.h"
#include "logstore.h"
#include "oem4.h"

#include <cstring>

static_assert((ring_size & (ring_size - 1)) == 0, "the ring wraps by masking");
static_assert(ring_size > frame_capacity + chunk_size, "a rewind must stay inside the ring");

rfifo::~rfifo()
{
    delete[] rbuf;
}

bool rfifo::setup()
{
    std::uint8_t* p = sys::grab(ring_size);
    if (!p)
        return false;
    delete[] rbuf;
    rbuf = p;
    rsize = ring_size;
    wpos = rpos = 0;
    return true;
}

void rfifo::put_all(const std::uint8_t* p, int n)
{
    if (!rbuf)
        return;
    int first = rsize - wpos < n ? rsize - wpos : n;
    std::memcpy(rbuf + wpos, p, static_cast<std::size_t>(first));
    std::memcpy(rbuf, p + first, static_cast<std::size_t>(n - first));
    wpos = (wpos + n) & (rsize - 1);
}

pumped pump(std::FILE* in, std::FILE* out, rfifo& ring, oem4& parser, logstore& store,
            nmeastate& state, const convopt& opt, std::uint8_t* chunk)
{
    pumped result{0, false};
    auto drain = [&] {
        while (!ring.empty()) {
            int used;
            int r = parser.take(ring.rbuf + ring.rpos, ring.span(), used);
            ring.skip(used);
            if (r < 0) {
                ring.unget(-r);
            } else if (r == 1) {
                store_frame(store, parser.fbuf, parser.framelen);
                result.sentences += convert(store, state, out, opt);
            }
        }
    };
    std::size_t got;
    do {
        got = std::fread(chunk, 1, chunk_size, in);
        ring.put_all(chunk, static_cast<int>(got));
        drain();
    } while (got == chunk_size);
    // A candidate cut off by the end of the input is rejected, and the bytes
    // after its first sync byte are scanned again: a whole frame among them
    // is found, not lost.
    for (int r; (r = parser.finish()) < 0;) {
        ring.unget(-r);
        drain();
    }
    result.read_error = std::ferror(in) != 0;
    return result;
}
