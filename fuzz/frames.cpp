// The frame path: the pump, which finds frames in place in blocks of any
// size, against the parser fed one byte at a time, frame for frame: frames
// split across reads, rescans after rejected candidates across the ends of
// reads, and a candidate cut off by the end of the input. The first byte
// gives how many read sizes follow (two bytes each); the rest is the input.
#include "pumping.h"

#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 1)
        return 0;
    std::size_t nreads = data[0] % 8;
    if (size < 1 + 2 * nreads)
        return 0;
    std::vector<std::size_t> reads;
    for (std::size_t i = 0; i < nreads; ++i)
        reads.push_back(1 + (data[1 + 2 * i] | data[2 + 2 * i] << 8));
    std::string bytes(reinterpret_cast<const char*>(data) + 1 + 2 * nreads, size - 1 - 2 * nreads);
    if (frames_pumped(bytes, reads) != frames_fed(bytes)) {
        std::fprintf(stderr, "the pump and the parser fed byte by byte disagree\n");
        std::abort();
    }
    return 0;
}
