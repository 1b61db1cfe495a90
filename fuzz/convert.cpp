// The whole conversion of any bytes. The first five bytes choose the run:
// which sentences are off, a manual UTC offset, whether every frame's CRC is
// first made right (so that mutated frames reach the conversion), whether
// sentences are kept as records and formatted afterwards, as the second
// thread of the program does, and whether the logs of today's receivers are
// read (/all, dated by the leap-second table). The rest is the log.
// Checks: every line is a whole sentence (of a kind the program writes) with
// its checksum and CR LF; the time and date of every fix are in range; the
// count of sentences equals the lines written.
#include "driver/session.h"
#include "input/crc.h"
#include "input/le.h"
#include "nmea/sentences/writer.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

void fail(const char* why, const std::string& line)
{
    std::fprintf(stderr, "%s: %s\n", why, line.c_str());
    std::abort();
}

// Makes the CRC of every frame the scan would judge right, in place: long
// frames within their limits, and short ones.
void repair(std::string& b)
{
    auto* p = reinterpret_cast<std::uint8_t*>(&b[0]);
    std::size_t n = b.size();
    for (std::size_t i = 0; i + 4 <= n;) {
        std::size_t len = 0;
        if (ld_u32(p + i) == 0x1C1244AAu && i + 10 <= n) {
            len = ld_u16(p + i + 8) + 32u;
            if (len > static_cast<std::size_t>(frame_max(ld_u16(p + i + 4))))
                len = 0;
        } else if (p[i] == 0xAA && p[i + 1] == 0x44 && p[i + 2] == 0x13) {
            len = p[i + 3] + 16u;
        }
        if (len == 0 || i + len > n) {
            ++i;
            continue;
        }
        std::uint32_t crc = crc32(p + i, len - 4);
        for (int k = 0; k < 4; ++k)
            p[i + len - 4 + k] = static_cast<std::uint8_t>(crc >> (8 * k));
        i += len;
    }
}

struct memsource {
    const std::string* bytes;
    std::size_t at;
    static std::size_t read(void* ctx, std::uint8_t* p, std::size_t n)
    {
        auto& m = *static_cast<memsource*>(ctx);
        n = std::min(n, m.bytes->size() - m.at);
        std::memcpy(p, m.bytes->data() + m.at, n);
        m.at += n;
        return n;
    }
};

void keep(void* ctx, outbuf& o)
{
    static_cast<std::string*>(ctx)->append(o.buf, o.len);
    o.len = 0;
}

int two(const std::string& s, std::size_t at)
{
    return (s[at] - '0') * 10 + (s[at + 1] - '0');
}

// hhmmss.ss of a fix.
void check_time(const std::string& field, const std::string& line)
{
    if (field.size() != 9 || field[6] != '.')
        fail("time", line);
    for (std::size_t i : {0u, 2u, 4u, 7u})
        if (!std::isdigit(static_cast<unsigned char>(field[i])) ||
            !std::isdigit(static_cast<unsigned char>(field[i + 1])))
            fail("time", line);
    if (two(field, 0) > 23 || two(field, 2) > 59 || two(field, 4) > 59)
        fail("time out of range", line);
}

std::string field_of(const std::string& line, int k)
{
    std::size_t at = 0;
    for (int i = 0; i < k; ++i) {
        at = line.find(',', at);
        if (at == std::string::npos)
            return "";
        ++at;
    }
    return line.substr(at, line.find_first_of(",*", at) - at);
}

// Whole sentences, checksums, line ends, and the time and date of fixes.
long check_lines(const std::string& text)
{
    long lines = 0;
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t end = text.find("\r\n", at);
        if (end == std::string::npos)
            fail("last line without CR LF", text.substr(at));
        std::string line = text.substr(at, end - at);
        at = end + 2;
        ++lines;
        if (line.size() < 10 || line[0] != '$' || line[line.size() - 3] != '*' ||
            line.find('\n') != std::string::npos)
            fail("not a sentence", line);
        // $GP with every kind; the other talkers with satellites only.
        std::string talker = line.substr(1, 2), kind = line.substr(3, 4);
        static const std::string kinds[] = {"GGA,", "RMC,", "GSV,", "ZDA,",
                                            "GSA,", "GST,", "VTG,", "HDT,"};
        bool known = talker == "GP"
                         ? std::find(std::begin(kinds), std::end(kinds), kind) != std::end(kinds)
                         : kind == "GSV," &&
                               std::string("LABQI").find(talker[1]) != std::string::npos &&
                               talker[0] == 'G';
        if (!known)
            fail("not a sentence", line);
        unsigned sum = 0;
        for (std::size_t i = 1; i + 3 < line.size(); ++i)
            sum ^= static_cast<unsigned char>(line[i]);
        char hex[3];
        std::snprintf(hex, sizeof hex, "%02X", sum);
        if (line.compare(line.size() - 2, 2, hex) != 0)
            fail("checksum", line);
        if (kind == "GGA," || kind == "RMC," || kind == "GST,")
            check_time(field_of(line, 1), line);
        if (kind == "RMC,") {
            std::string date = field_of(line, 9);
            if (date.size() != 6 || two(date, 0) < 1 || two(date, 0) > 31 || two(date, 2) < 1 ||
                two(date, 2) > 12)
                fail("date out of range", line);
        }
    }
    return lines;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 5)
        return 0;
    std::uint8_t how = data[0];
    std::string log(reinterpret_cast<const char*>(data) + 5, size - 5);
    if (how & 0x20)
        repair(log);

    static session job; // obtained once, like the run's; cleared for each input
    static bool ready = setup(job);
    if (!ready)
        return 0;
    std::memset(static_cast<void*>(job.store.get()), 0, sizeof *job.store);
    std::memset(static_cast<void*>(job.state.get()), 0, sizeof *job.state);
    job.opt = {{!(how & 1), !(how & 2), !(how & 4), !(how & 8), 0}};
    job.opt.all = job.opt.autoutc = (how & 0x80) != 0;
    job.sentences = 0;
    if (how & 0x10)
        manual_utc(job, static_cast<std::int32_t>(ld_u32(data + 1) % 2147483647u) + 1);

    std::string out, records;
    bool later = (how & 0x40) != 0;
    job.out.buf = reinterpret_cast<char*>(job.outmem.get());
    job.out.len = 0;
    job.out.block = later ? 4096 : out_block; // records handed over often
    job.out.deferred = later;
    job.out.hand = keep;
    job.out.ctx = later ? &records : &out;
    memsource m{&log, 0};
    convert_source(job, source{memsource::read, &m});
    std::int64_t count = job.sentences;
    if (later) {
        outbuf text;
        text.buf = reinterpret_cast<char*>(job.outmem.get()) + out_size;
        text.hand = keep;
        text.ctx = &out;
        count -= format_records(records.data(), records.size(), text);
        flush(text);
    }
    if (check_lines(out) != count)
        fail("count", std::to_string(count));
    return 0;
}
