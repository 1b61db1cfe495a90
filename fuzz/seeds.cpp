// Writes the seed inputs of the fuzz targets, made from the sample log and
// the frame builder:  fuzz_seeds FOLDER  (makes FOLDER/<target>/...).
#include "asciienc.h"
#include "frames.h"
#include "sample.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

namespace {

bool put(const std::filesystem::path& dir, const std::string& name, const std::string& bytes)
{
    std::filesystem::create_directories(dir);
    std::FILE* f = std::fopen((dir / name).string().c_str(), "wb");
    bool ok = f && std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return f && std::fclose(f) == 0 && ok;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: fuzz_seeds FOLDER\n");
        return 2;
    }
    std::filesystem::path root = argv[1];
    std::string sample = make_sample();
    std::string piece = sample.substr(0, 6000);
    frames::header h;
    h.week = 2345;
    h.msec = 18000;
    frames::time t;
    t.clockoff = -1e-13;
    std::string few = frames::make(t) + frames::make(frames::bestpos{}, h) +
                      frames::make(frames::bestvel{}) +
                      frames::make_satvis({{3, 45, 123}, {45, 10, 20}, {131, 30, 40}}) +
                      frames::make_trackstat({{3, 0, 40}, {45, 0, 30}}) + frames::make_psrdop(0.9f);
    // Today's receivers: INS fixes in both headers, BESTXYZ, PSRDOP2.
    frames::inspva v;
    v.lat = 51.1;
    v.lon = -114.0;
    frames::header later = h;
    later.msec += 50;
    std::string today = frames::make(frames::bestpos{}, h) + frames::make_short(v, later) +
                        frames::make(frames::inspvax{}, later) +
                        frames::make(frames::bestxyz{}, h) + frames::make_psrdop2(1.2f, 0.8f, 0.9f);
    bool ok = true;
    // convert: option byte and a manual offset, then the log.
    for (std::string how :
         {std::string("\x00\x12\x00\x00\x00", 5), std::string("\x70\x12\x00\x00\x00", 5),
          std::string("\x20\x00\x00\x00\x00", 5)}) {
        ok = ok && put(root / "convert", "sample-" + std::to_string(how[0]), how + piece);
        ok = ok && put(root / "convert", "few-" + std::to_string(how[0]), how + few);
    }
    ok = ok && put(root / "convert", "today", std::string("\x80\x00\x00\x00\x00", 5) + today);
    ok = ok && put(root / "frames", "today", std::string(1, '\0') + today);
    // frames: read sizes, then bytes.
    ok = ok && put(root / "frames", "sample", std::string("\x02\x07\x00\x00\x04", 5) + piece);
    ok = ok && put(root / "frames", "few", std::string(1, '\0') + few);
    // text: the first byte (bit 0 ordered, bits 1-3 how many read sizes of
    // two bytes follow, bit 4 CRCs signed), then bytes: the sample and today's logs in each ASCII
    // form, and the forms mixed, binary frames cut into ASCII lines among
    // them.
    using asciienc::form;
    using asciienc::style;
    std::string head, mixed; // the sample's first whole frames, about 2 KB
    for (std::size_t at = 0; head.size() < 2000 && at + 12 <= sample.size();) {
        std::size_t len = sample[at + 2] == '\x13'
                              ? 16 + static_cast<unsigned char>(sample[at + 3])
                              : 32 + (static_cast<unsigned char>(sample[at + 8]) |
                                      static_cast<unsigned char>(sample[at + 9]) << 8);
        head += sample.substr(at, len);
        at += len;
    }
    int f = 0;
    for (form a : {form::long_ascii, form::short_ascii, form::abbreviated}) {
        std::string text = asciienc::render_all(head, a, style::receiver);
        ok = ok && put(root / "text", "sample-" + std::to_string(f), std::string(1, '\1') + text);
        ok = ok && put(root / "text", "today-" + std::to_string(f++),
                       std::string("\x05\x40\x00\x03\x00", 5) +
                           asciienc::render_all(today, a, style::exact));
        mixed += text.substr(0, 1500) + frames::make(frames::bestpos{}, h) + "[COM1]";
    }
    std::string line =
        asciienc::render(frames::make(frames::bestpos{}, h), form::long_ascii, style::receiver);
    mixed += line.insert(line.size() / 2, frames::make_short(v, later)) + "<OK\r\n";
    ok = ok && put(root / "text", "mixed", std::string(1, '\1') + mixed);
    ok = ok && put(root / "text", "mixed-unordered", std::string("\x02\x07\x00", 3) + mixed);
    ok = ok && put(root / "text", "mixed-signed", std::string(1, '\x11') + mixed);
    // The frame path sees the same mix: the ASCII logs in it are no frames of its.
    ok = ok && put(root / "frames", "ascii-among", std::string(1, '\0') + mixed);
    // names: NUL-separated arguments.
    ok = ok && put(root / "names", "options",
                   std::string("C:\\logs\\run1.log\0/gga\0/utc\0018\0/ext\0txt", 38));
    ok = ok && put(root / "names", "odd", std::string("run1.\0/UTC\0+16abc\0/ext\0/rmc\0/zda", 33));
    // time: week, milliseconds, offset.
    int k = 0;
    for (double offset : {-18.0, -18.0000000000001, -1e-320, 0.0}) {
        std::string b(14, '\0');
        std::uint16_t week = 2345;
        std::uint32_t ms = 18000;
        std::memcpy(&b[0], &week, 2);
        std::memcpy(&b[2], &ms, 4);
        std::memcpy(&b[6], &offset, 8);
        ok = ok && put(root / "time", "offset-" + std::to_string(k++), b);
    }
    if (!ok) {
        std::fprintf(stderr, "fuzz_seeds: cannot write under %s\n", argv[1]);
        return 1;
    }
    return 0;
}
