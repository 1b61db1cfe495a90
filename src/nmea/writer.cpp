#include "writer.h"

#include "../platform/sys.h"
#include "nmeastate.h"

#include <cstdarg>
#include <cstring>

namespace {

#if defined(__GNUC__)
#define PRINTF_LIKE(f, a) __attribute__((format(printf, f, a)))
#else
#define PRINTF_LIKE(f, a)
#endif

// Bounded print: true when the whole text fit in `limit` chars with its NUL.
PRINTF_LIKE(3, 4) bool print(char* buf, std::size_t limit, const char* fmt, ...)
{
    va_list ap;
    va_start(ap, fmt);
    int n = std::vsnprintf(buf, limit, fmt, ap);
    va_end(ap);
    return n >= 0 && static_cast<std::size_t>(n) < limit;
}

// One engine for every sentence: format within the bound and write it, or
// refuse the sentence whole (answer 0) rather than write a cut one with a
// checksum of the wrong text.
PRINTF_LIKE(3, 4) int emit(std::FILE* out, std::size_t limit, const char* fmt, ...)
{
    char text[sentence_room];
    va_list ap;
    va_start(ap, fmt);
    int n = std::vsnprintf(text, limit, fmt, ap);
    va_end(ap);
    if (n < 0 || static_cast<std::size_t>(n) >= limit)
        return 0;
    return put_sentence(text, out);
}

} // namespace

std::string replace_all(const std::string& text, const std::string& from, const std::string& to)
{
    std::string r = text;
    std::string::size_type at = 0;
    while ((at = r.find(from, at)) != std::string::npos) {
        r.replace(at, from.size(), to);
        at += to.size();
    }
    return r;
}

int put_sentence(char* text, std::FILE* out)
{
    std::size_t n = std::strlen(text);
    if (std::memchr(text, ' ', n)) {
        std::string clean = replace_all(text, " ", "");
        std::snprintf(text, sentence_room, "%s", clean.c_str());
        n = std::strlen(text);
    }
    unsigned sum = 0;
    for (std::size_t i = 1; i + 1 < n; ++i)
        sum ^= static_cast<unsigned char>(text[i]);

    static const char hex[] = "0123456789ABCDEF";
    char line[sentence_room + 4];
    std::memcpy(line, text, n);
    line[n] = hex[(sum >> 4) & 0xF];
    line[n + 1] = hex[sum & 0xF];
    std::memcpy(line + n + 2, sys::line_end, sys::line_end_len);
    std::size_t len = n + 2 + sys::line_end_len;
    if (std::fwrite(line, 1, len, out) != len)
        return -1;
    return static_cast<int>(n + 3);
}

int put_gga(const nmeastate& s, std::FILE* out)
{
    if (s.hashdop)
        return emit(out, 255,
                    "$GPGGA,%02d%02d%02d.%02d,%02d%07.4lf,%c,%03d%07.4lf,%c,%d,%02d,%.1lf,%.2lf,M,%"
                    ".2lf,M,,*",
                    s.hour, s.minute, s.second, s.hsec, s.latdeg, s.latmin, s.latns, s.londeg,
                    s.lonmin, s.lonew, s.quality, s.svused, s.hdop, s.height, s.undulation);
    return emit(
        out, 255,
        "$GPGGA,%02d%02d%02d.%02d,%02d%07.4lf,%c,%03d%07.4lf,%c,%d,%02d,,%.2lf,M,%.2lf,M,,*",
        s.hour, s.minute, s.second, s.hsec, s.latdeg, s.latmin, s.latns, s.londeg, s.lonmin,
        s.lonew, s.quality, s.svused, s.height, s.undulation);
}

int put_rmc(const nmeastate& s, std::FILE* out)
{
    if (s.hasvel)
        return emit(out, 255,
                    "$GPRMC,%02d%02d%02d.%02d,A,%02d%010.7lf,%c,%03d%010.7lf,%c,%.3lf,%.1lf,%02d%"
                    "02d%02d,,,*",
                    s.hour, s.minute, s.second, s.hsec, s.latdeg, s.latmin, s.latns, s.londeg,
                    s.lonmin, s.lonew, s.speed / 0.514444, s.track, s.day, s.month, s.year % 100);
    return emit(out, 255,
                "$GPRMC,%02d%02d%02d.%02d,A,%02d%010.7lf,%c,%03d%010.7lf,%c,,,%02d%02d%02d,,,*",
                s.hour, s.minute, s.second, s.hsec, s.latdeg, s.latmin, s.latns, s.londeg, s.lonmin,
                s.lonew, s.day, s.month, s.year % 100);
}

int put_zda(const nmeastate& s, std::FILE* out)
{
    return emit(out, 256, "$GPZDA,%02d%02d%02d.%02d,%02d,%02d,%04d,,*", s.zhour, s.zminute,
                s.zsecond, s.zhsec, s.zday, s.zmonth, s.zyear);
}

int put_gsv(nmeastate& s, std::FILE* out)
{
    if (s.nsats > 36)
        s.nsats = 36;
    int total = (s.nsats + 3) / 4;
    int written = 0;
    for (int k = 1; k <= total; ++k) {
        char slot[4][32];
        bool fits = true;
        for (int j = 0; j < 4; ++j) {
            int i = 4 * (k - 1) + j;
            const satinfo& v = s.sats[i];
            if (i >= s.nsats)
                slot[j][0] = '\0';
            else if (v.snr > 0)
                fits &= print(slot[j], 32, ",%02d,%02d,%03d,%02d", v.prn, v.elevation, v.azimuth,
                              v.snr);
            else
                fits &= print(slot[j], 32, ",%02d,%02d,%03d,", v.prn, v.elevation, v.azimuth);
        }
        // A sentence with a slot that does not fit is left out; the rest of
        // the group still carries the group's full sentence count.
        if (fits && emit(out, 256, "$GPGSV,%d,%d,%d%s%s%s%s*", total, k, s.nsats, slot[0], slot[1],
                         slot[2], slot[3]) != 0)
            ++written;
    }
    return written;
}
