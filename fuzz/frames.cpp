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
    std::vector<std::size_t> reads;
    std::string bytes;
    if (!reads_and_bytes(data + 1, size - 1, data[0] % 8, reads, bytes))
        return 0;
    if (frames_pumped(bytes, reads) != frames_fed(bytes)) {
        std::fprintf(stderr, "the pump and the parser fed byte by byte disagree\n");
        std::abort();
    }
    return 0;
}
