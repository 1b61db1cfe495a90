// Both streams of the input: the pump, binary frames and the ASCII logs among
// the bytes between them, against the reference of tests/textref.h, log for
// log. The first byte chooses whether the sink is ordered (bit 0; without
// the order the binary frames and the ASCII logs must each keep theirs), how
// many read sizes follow (bits 1-3; two bytes each) and whether the input's
// CRCs are signed (bit 4); the rest is the input.
#include "textref.h"

#include "input/crc.h"

#include <cstdio>
#include <cstdlib>

namespace {

// The 8 bytes after each "*" become the CRC, in hex, of the bytes between
// the last "#" or "%" before it and the "*": mutated logs keep a CRC that
// matches, so their fields, not their CRCs, are what gets tried.
void sign(std::string& s)
{
    std::size_t from = std::string::npos;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '#' || s[i] == '%')
            from = i;
        if (s[i] != '*' || from == std::string::npos || i + 8 >= s.size())
            continue;
        std::uint32_t crc =
            crc32(reinterpret_cast<const std::uint8_t*>(s.data()) + from + 1, i - from - 1);
        for (int k = 0; k < 8; ++k)
            s[i + 1 + static_cast<std::size_t>(k)] = "0123456789abcdef"[crc >> (28 - 4 * k) & 15];
        from = std::string::npos;
        i += 8;
    }
}

// The binary frames, then the ASCII logs, each in their order.
std::vector<logfound> kinds_apart(const std::vector<logfound>& logs)
{
    std::vector<logfound> out;
    for (bool ascii : {false, true})
        for (const logfound& f : logs)
            if (f.ascii == ascii)
                out.push_back(f);
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 1)
        return 0;
    bool ordered = (data[0] & 1) != 0;
    std::vector<std::size_t> reads;
    std::string bytes;
    if (!reads_and_bytes(data + 1, size - 1, (data[0] >> 1) % 8, reads, bytes))
        return 0;
    if (data[0] & 0x10)
        sign(bytes);
    std::vector<logfound> got = logs_pumped(bytes, reads, ordered), want = reference_logs(bytes);
    if (ordered ? got != want : kinds_apart(got) != kinds_apart(want)) {
        std::fprintf(stderr, "the pump and the reference disagree: %zu logs against %zu\n",
                     got.size(), want.size());
        std::abort();
    }
    return 0;
}
