#include "writer.h"

#include "fields.h"
#include "nmeastate.h"
#include "outbuf.h"

#include <cstring>

namespace {

// Ends the line whose text (n characters) stands at the end of the output
// buffer: removes blanks when there may be any, appends the checksum of all
// but the first and last characters and CR LF, and keeps it. Answers the
// cleaned length plus 3, or -1 once the output has failed a write.
int end_line(outbuf& out, bool blanks, std::size_t n)
{
    char* p = out.buf + out.len;
    if (blanks) {
        std::size_t k = 0;
        for (std::size_t i = 0; i < n; ++i)
            if (p[i] != ' ')
                p[k++] = p[i];
        n = k;
    }
    // The exclusive OR of the whole text eight bytes at a time, over zeros
    // past its end, less its first and last characters.
    unsigned sum = 0;
    if (n > 2) {
        std::memset(p + n, 0, 8);
        std::uint64_t w = 0;
        for (std::size_t i = 0; i < n; i += 8) {
            std::uint64_t v;
            std::memcpy(&v, p + i, 8);
            w ^= v;
        }
        w ^= w >> 32;
        w ^= w >> 16;
        w ^= w >> 8;
        sum = static_cast<unsigned>(w & 0xFF) ^ static_cast<unsigned char>(p[0]) ^
              static_cast<unsigned char>(p[n - 1]);
    }
    static const char hex[] = "0123456789ABCDEF";
    p[n] = hex[(sum >> 4) & 0xF];
    p[n + 1] = hex[sum & 0xF];
    p[n + 2] = '\r';
    p[n + 3] = '\n';
    out.len += n + 4;
    return out.failed ? -1 : static_cast<int>(n + 3);
}

// Ends a formatted sentence, or refuses it whole (answers 0) when its text
// would not fit its bound, rather than write a cut one whose checksum would
// be that of the wrong text.
int emit(fields& f, outbuf& out)
{
    return f.fits() ? end_line(out, f.blanks(), f.size()) : 0;
}

// The time of the fix: "%02d%02d%02d.%02d".
fields& hms(fields& f, std::int32_t h, std::int32_t m, std::int32_t sec, std::int32_t hsec)
{
    return f.d(h, 2).d(m, 2).d(sec, 2).c('.').d(hsec, 2);
}

// The satellite number NMEA uses for a receiver's number: GLONASS slots,
// which the receiver numbers 38 to 61, are 65 to 88; SBAS PRNs 120 to 151
// are 33 to 64; every other number (GPS 1 to 32 among them) is kept.
std::int32_t nmea_prn(std::int32_t prn)
{
    if (prn >= 38 && prn <= 61)
        return prn + 27;
    if (prn >= 120 && prn <= 151)
        return prn - 87;
    return prn;
}

// Records of sentences in a deferred output buffer: a kind byte, then the
// fields the sentence prints, in memory order (they never leave the process).
enum : std::uint8_t { rec_text, rec_gga, rec_rmc, rec_gsv, rec_zda };

struct fixrec {
    std::int32_t hour, minute, second, hsec, latdeg, londeg, quality, svused;
    std::int32_t day, month, year, hashdop, hasvel;
    char latns, lonew;
    double latmin, lonmin, hdop, height, undulation, speed, track;
};

// The fields GGA and RMC print, from a state to a record or back.
template <class To, class From> void copy_fix(To& t, const From& f)
{
    t.hour = f.hour, t.minute = f.minute, t.second = f.second, t.hsec = f.hsec;
    t.latdeg = f.latdeg, t.londeg = f.londeg, t.quality = f.quality, t.svused = f.svused;
    t.day = f.day, t.month = f.month, t.year = f.year, t.hashdop = f.hashdop, t.hasvel = f.hasvel;
    t.latns = f.latns, t.lonew = f.lonew, t.latmin = f.latmin, t.lonmin = f.lonmin;
    t.hdop = f.hdop, t.height = f.height, t.undulation = f.undulation;
    t.speed = f.speed, t.track = f.track;
}

struct zdarec {
    std::int32_t zhour, zminute, zsecond, zhsec, zday, zmonth, zyear;
};

template <class To, class From> void copy_zda(To& t, const From& f)
{
    t.zhour = f.zhour, t.zminute = f.zminute, t.zsecond = f.zsecond, t.zhsec = f.zhsec;
    t.zday = f.zday, t.zmonth = f.zmonth, t.zyear = f.zyear;
}

// One sentence of a GSV group: its place, the group's count and its slots.
struct gsvrec {
    std::int32_t total, k, nsats;
    satinfo sats[4];
};

struct textrec {
    std::uint16_t len;
    char text[sentence_room];
};

static_assert(1 + sizeof(fixrec) <= line_room && 1 + sizeof(gsvrec) <= line_room &&
                  1 + sizeof(std::uint16_t) + sentence_room - 1 <= line_room,
              "every record fits the room of a line");

template <class R> void keep(outbuf& out, std::uint8_t kind, const R& r, std::size_t size = sizeof(R))
{
    char* p = line_at(out);
    p[0] = static_cast<char>(kind);
    std::memcpy(p + 1, &r, size);
    out.len += 1 + size;
}

// Sentence k of the GSV group of `total` sentences.
int gsv_line(const nmeastate& s, int k, int total, outbuf& out)
{
    fields f(line_at(out), 256);
    f.s("$GPGSV,").d(total).c(',').d(k).c(',').d(s.nsats);
    bool slots_fit = true;
    for (int i = 4 * (k - 1); i < 4 * k && i < s.nsats; ++i) {
        const satinfo& v = s.sats[i];
        char room[32];
        fields slot(room, sizeof room);
        slot.c(',').d(nmea_prn(v.prn), 2).c(',').d(v.elevation, 2).c(',');
        slot.d(v.azimuth, 3).c(',');
        if (v.snr > 0)
            slot.d(v.snr, 2);
        slots_fit = slots_fit && slot.fits();
        f.s(slot.text());
    }
    // A sentence with a slot that does not fit is left out; the rest of the
    // group still carries the group's full sentence count.
    f.c('*');
    return slots_fit ? emit(f, out) : 0;
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

int put_sentence(char* text, outbuf& out)
{
    std::size_t n = std::strlen(text);
    if (std::memchr(text, ' ', n)) {
        std::string clean = replace_all(text, " ", "");
        std::memcpy(text, clean.c_str(), clean.size() + 1);
        n = clean.size();
    }
    if (out.deferred) {
        textrec r;
        r.len = static_cast<std::uint16_t>(n);
        std::memcpy(r.text, text, n);
        keep(out, rec_text, r, sizeof r.len + n);
        return 1;
    }
    std::memcpy(line_at(out), text, n);
    return end_line(out, false, n);
}

// "$GPGGA,%02d%02d%02d.%02d,%02d%07.4lf,%c,%03d%07.4lf,%c,%d,%02d,%.1lf,%.2lf,M,%.2lf,M,,*",
// the HDOP field ("%.1lf") empty while no HDOP is known.
int put_gga(const nmeastate& s, outbuf& out)
{
    if (out.deferred) {
        fixrec r;
        copy_fix(r, s);
        keep(out, rec_gga, r);
        return 1;
    }
    fields f(line_at(out), 255);
    hms(f.s("$GPGGA,"), s.hour, s.minute, s.second, s.hsec).c(',');
    f.d(s.latdeg, 2).f<4>(s.latmin, 7).c(',').c(s.latns).c(',');
    f.d(s.londeg, 3).f<4>(s.lonmin, 7).c(',').c(s.lonew).c(',');
    f.d(s.quality).c(',').d(s.svused, 2).c(',');
    if (s.hashdop)
        f.f<1>(s.hdop);
    f.c(',').f<2>(s.height).s(",M,").f<2>(s.undulation).s(",M,,*");
    return emit(f, out);
}

// "$GPRMC,%02d%02d%02d.%02d,A,%02d%010.7lf,%c,%03d%010.7lf,%c,%.3lf,%.1lf,%02d%02d%02d,,,*",
// speed (knots) and track empty while no velocity is known.
int put_rmc(const nmeastate& s, outbuf& out)
{
    if (out.deferred) {
        fixrec r;
        copy_fix(r, s);
        keep(out, rec_rmc, r);
        return 1;
    }
    fields f(line_at(out), 255);
    hms(f.s("$GPRMC,"), s.hour, s.minute, s.second, s.hsec).s(",A,");
    f.d(s.latdeg, 2).f<7>(s.latmin, 10).c(',').c(s.latns).c(',');
    f.d(s.londeg, 3).f<7>(s.lonmin, 10).c(',').c(s.lonew).c(',');
    if (s.hasvel)
        f.f<3>(s.speed / 0.514444).c(',').f<1>(s.track);
    else
        f.c(',');
    f.c(',').d(s.day, 2).d(s.month, 2).d(s.year % 100, 2).s(",,,*");
    return emit(f, out);
}

// "$GPZDA,%02d%02d%02d.%02d,%02d,%02d,%04d,,*"
int put_zda(const nmeastate& s, outbuf& out)
{
    if (out.deferred) {
        zdarec r;
        copy_zda(r, s);
        keep(out, rec_zda, r);
        return 1;
    }
    fields f(line_at(out), 256);
    hms(f.s("$GPZDA,"), s.zhour, s.zminute, s.zsecond, s.zhsec).c(',');
    f.d(s.zday, 2).c(',').d(s.zmonth, 2).c(',').d(s.zyear, 4).s(",,*");
    return emit(f, out);
}

// "$GPGSV,%d,%d,%d%s%s%s%s*" with four slots, each ",%02d,%02d,%03d,%02d"
// (NMEA satellite number, elevation, azimuth, SNR), the SNR empty when there
// is none, and nothing for the slots past the last satellite.
int put_gsv(nmeastate& s, outbuf& out)
{
    if (s.nsats > 36)
        s.nsats = 36;
    int total = (s.nsats + 3) / 4;
    int written = 0;
    for (int k = 1; k <= total; ++k) {
        if (out.deferred) {
            gsvrec r{total, k, s.nsats, {}};
            for (int j = 0; j < 4 && 4 * (k - 1) + j < s.nsats; ++j)
                r.sats[j] = s.sats[4 * (k - 1) + j];
            keep(out, rec_gsv, r);
            ++written;
        } else if (gsv_line(s, k, total, out) != 0) {
            ++written;
        }
    }
    return written;
}

std::int64_t format_records(const char* rec, std::size_t n, nmeastate& shadow, outbuf& out)
{
    std::int64_t refused = 0;
    const char* end = rec + n;
    while (rec < end) {
        auto kind = static_cast<std::uint8_t>(*rec++);
        int wrote = 1;
        switch (kind) {
        case rec_gga:
        case rec_rmc: {
            fixrec r;
            std::memcpy(&r, rec, sizeof r);
            rec += sizeof r;
            copy_fix(shadow, r);
            wrote = kind == rec_gga ? put_gga(shadow, out) : put_rmc(shadow, out);
            break;
        }
        case rec_zda: {
            zdarec r;
            std::memcpy(&r, rec, sizeof r);
            rec += sizeof r;
            copy_zda(shadow, r);
            wrote = put_zda(shadow, out);
            break;
        }
        case rec_gsv: {
            gsvrec r;
            std::memcpy(&r, rec, sizeof r);
            rec += sizeof r;
            shadow.nsats = r.nsats;
            for (int j = 0; j < 4 && 4 * (r.k - 1) + j < r.nsats; ++j)
                shadow.sats[4 * (r.k - 1) + j] = r.sats[j];
            wrote = gsv_line(shadow, r.k, r.total, out);
            break;
        }
        default: { // rec_text
            std::uint16_t len;
            std::memcpy(&len, rec, sizeof len);
            char text[sentence_room];
            std::memcpy(text, rec + sizeof len, len);
            text[len] = '\0';
            rec += sizeof len + len;
            put_sentence(text, out);
            break;
        }
        }
        if (wrote == 0)
            ++refused;
    }
    return refused;
}
