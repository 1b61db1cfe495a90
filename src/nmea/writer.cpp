#include "writer.h"

#include "fields.h"
#include "nmeastate.h"
#include "outbuf.h"

#include <cstring>
#include <new>

namespace {

// Ends the line whose text (n characters, whose exclusive OR is x) stands
// at the end of the output buffer: removes blanks when there may be any,
// appends the checksum of all but the first and last characters and CR LF,
// and keeps it. Answers the cleaned length plus 3, or -1 once the output
// has failed a write.
int end_line(outbuf& out, bool blanks, std::size_t n, unsigned x)
{
    char* p = out.buf + out.len;
    if (blanks) {
        std::size_t k = 0;
        for (std::size_t i = 0; i < n; ++i)
            if (p[i] != ' ')
                p[k++] = p[i];
        n = k;
        x = digits::xor_of(p, n);
    }
    unsigned sum = 0;
    if (n > 2)
        sum = (x ^ static_cast<unsigned char>(p[0]) ^ static_cast<unsigned char>(p[n - 1])) & 0xFF;
    static const char hex[] = "0123456789ABCDEF";
    p[n] = hex[sum >> 4];
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
    return f.fits() ? end_line(out, f.blanks(), f.size(), f.checksum()) : 0;
}

constexpr literal gga_head = lit("$GPGGA,"), rmc_head = lit("$GPRMC,"), zda_head = lit("$GPZDA,"),
                  gsv_head = lit("$GPGSV,"), metres = lit(",M,"), gga_tail = lit(",M,,*"),
                  valid = lit(",A,"), rmc_tail = lit(",,,*"), zda_tail = lit(",,*");

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

// Records of sentences in a deferred output buffer: a head of eight bytes
// (the kind, and the length of a text), then the fields the sentence prints.
// Every record takes a multiple of eight bytes, so each one is built in
// place, aligned, where it lies in the buffer (records never leave the
// process).
enum : std::uint8_t { rec_text, rec_gga, rec_rmc, rec_gsv, rec_zda };

struct rechead {
    std::uint8_t kind;
    std::uint8_t unused;
    std::uint16_t len; // of a text
    std::uint32_t unused2;
};

struct fixrec {
    double latmin, lonmin, hdop, height, undulation, speed, track;
    std::int32_t hour, minute, second, hsec, latdeg, londeg, quality, svused;
    std::int32_t day, month, year, hashdop, hasvel;
    char latns, lonew;
};

// The fields GGA and RMC print, from the state to a record.
void copy_fix(fixrec& t, const nmeastate& f)
{
    t.latmin = f.latmin, t.lonmin = f.lonmin, t.hdop = f.hdop, t.height = f.height;
    t.undulation = f.undulation, t.speed = f.speed, t.track = f.track;
    t.hour = f.hour, t.minute = f.minute, t.second = f.second, t.hsec = f.hsec;
    t.latdeg = f.latdeg, t.londeg = f.londeg, t.quality = f.quality, t.svused = f.svused;
    t.day = f.day, t.month = f.month, t.year = f.year, t.hashdop = f.hashdop, t.hasvel = f.hasvel;
    t.latns = f.latns, t.lonew = f.lonew;
}

struct zdarec {
    std::int32_t zhour, zminute, zsecond, zhsec, zday, zmonth, zyear;
};

// One sentence of a GSV group: its place, the group's count and its slots.
struct gsvrec {
    std::int32_t total, k, nsats;
    satinfo sats[4];
};

constexpr std::size_t round8(std::size_t n)
{
    return (n + 7) & ~std::size_t(7);
}

static_assert(sizeof(rechead) == 8 && line_room % 8 == 0, "records stay aligned");
static_assert(sizeof(rechead) + round8(sizeof(fixrec)) <= line_room &&
                  sizeof(rechead) + round8(sentence_room - 1) <= line_room,
              "every record fits the room of a line");

// Room for a record of `size` bytes of fields at the end of the buffer,
// with its head written; answers where the fields go.
char* keep(outbuf& out, std::uint8_t kind, std::size_t size, std::uint16_t len = 0)
{
    char* p = line_at(out);
    new (p) rechead{kind, 0, len, 0};
    out.len += sizeof(rechead) + round8(size);
    return p + sizeof(rechead);
}

// Sentence k of a GSV group of `total` sentences for nsats satellites, with
// the satellites of its (up to four) slots.
int gsv_line(int total, int k, std::int32_t nsats, const satinfo* slots, outbuf& out)
{
    fields f(line_at(out), 256);
    f.s(gsv_head).d(total).c(',').d(k).c(',').d(nsats);
    bool slots_fit = true;
    for (int i = 0; i < 4 && 4 * (k - 1) + i < nsats; ++i) {
        const satinfo& v = slots[i];
        char room[32];
        fields slot(room, sizeof room);
        slot.c(',').d(nmea_prn(v.prn), 2).c(',').d(v.elevation, 2).c(',');
        slot.d(v.azimuth, 3).c(',');
        if (v.snr > 0)
            slot.d(v.snr, 2);
        slots_fit = slots_fit && slot.fits();
        f.s(room, slot.size());
    }
    // A sentence with a slot that does not fit is left out; the rest of the
    // group still carries the group's full sentence count.
    f.c('*');
    return slots_fit ? emit(f, out) : 0;
}

// "$GPGGA,%02d%02d%02d.%02d,%02d%07.4lf,%c,%03d%07.4lf,%c,%d,%02d,%.1lf,%.2lf,M,%.2lf,M,,*",
// the HDOP field ("%.1lf") empty while no HDOP is known; from the state or
// from a record of it.
template <class S> int gga_text(const S& s, outbuf& out)
{
    fields f(line_at(out), 255);
    f.s(gga_head).hms(s.hour, s.minute, s.second, s.hsec).c(',');
    f.d(s.latdeg, 2);
    f.f<4, 7>(s.latmin).c(',').c(s.latns).c(',');
    f.d(s.londeg, 3);
    f.f<4, 7>(s.lonmin).c(',').c(s.lonew).c(',');
    f.d(s.quality).c(',').d(s.svused, 2).c(',');
    if (s.hashdop)
        f.f<1>(s.hdop);
    f.c(',');
    f.f<2>(s.height).s(metres);
    f.f<2>(s.undulation).s(gga_tail);
    return emit(f, out);
}

// "$GPRMC,%02d%02d%02d.%02d,A,%02d%010.7lf,%c,%03d%010.7lf,%c,%.3lf,%.1lf,%02d%02d%02d,,,*",
// speed (knots) and track empty while no velocity is known.
template <class S> int rmc_text(const S& s, outbuf& out)
{
    fields f(line_at(out), 255);
    f.s(rmc_head).hms(s.hour, s.minute, s.second, s.hsec).s(valid);
    f.d(s.latdeg, 2);
    f.f<7, 10>(s.latmin).c(',').c(s.latns).c(',');
    f.d(s.londeg, 3);
    f.f<7, 10>(s.lonmin).c(',').c(s.lonew).c(',');
    if (s.hasvel) {
        f.f<3>(s.speed / 0.514444).c(',');
        f.f<1>(s.track);
    } else {
        f.c(',');
    }
    f.c(',').d(s.day, 2).d(s.month, 2).d(s.year % 100, 2).s(rmc_tail);
    return emit(f, out);
}

// "$GPZDA,%02d%02d%02d.%02d,%02d,%02d,%04d,,*"
template <class S> int zda_text(const S& s, outbuf& out)
{
    fields f(line_at(out), 256);
    f.s(zda_head).hms(s.zhour, s.zminute, s.zsecond, s.zhsec).c(',');
    f.d(s.zday, 2).c(',').d(s.zmonth, 2).c(',').d(s.zyear, 4).s(zda_tail);
    return emit(f, out);
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
        std::memcpy(keep(out, rec_text, n, static_cast<std::uint16_t>(n)), text, n);
        return 1;
    }
    std::memcpy(line_at(out), text, n);
    return end_line(out, false, n, digits::xor_of(text, n));
}

int put_gga(const nmeastate& s, outbuf& out)
{
    if (!out.deferred)
        return gga_text(s, out);
    copy_fix(*new (keep(out, rec_gga, sizeof(fixrec))) fixrec, s);
    return 1;
}

int put_rmc(const nmeastate& s, outbuf& out)
{
    if (!out.deferred)
        return rmc_text(s, out);
    copy_fix(*new (keep(out, rec_rmc, sizeof(fixrec))) fixrec, s);
    return 1;
}

int put_zda(const nmeastate& s, outbuf& out)
{
    if (!out.deferred)
        return zda_text(s, out);
    new (keep(out, rec_zda, sizeof(zdarec)))
        zdarec{s.zhour, s.zminute, s.zsecond, s.zhsec, s.zday, s.zmonth, s.zyear};
    return 1;
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
        const satinfo* slots = s.sats + 4 * (k - 1);
        if (out.deferred) {
            auto* r = new (keep(out, rec_gsv, sizeof(gsvrec))) gsvrec{total, k, s.nsats, {}};
            for (int j = 0; j < 4 && 4 * (k - 1) + j < s.nsats; ++j)
                r->sats[j] = slots[j];
            ++written;
        } else if (gsv_line(total, k, s.nsats, slots, out) != 0) {
            ++written;
        }
    }
    return written;
}

// A record's fields, copied out of the buffer it came in.
template <class R> R fields_of(const char* p)
{
    R r;
    std::memcpy(&r, p, sizeof r);
    return r;
}

std::int64_t format_records(const char* rec, std::size_t n, outbuf& out)
{
    std::int64_t refused = 0;
    const char* end = rec + n;
    while (rec < end) {
        auto head = fields_of<rechead>(rec);
        const char* p = rec + sizeof(rechead);
        int wrote = 1;
        switch (head.kind) {
        case rec_gga:
            wrote = gga_text(fields_of<fixrec>(p), out);
            rec = p + round8(sizeof(fixrec));
            break;
        case rec_rmc:
            wrote = rmc_text(fields_of<fixrec>(p), out);
            rec = p + round8(sizeof(fixrec));
            break;
        case rec_zda:
            wrote = zda_text(fields_of<zdarec>(p), out);
            rec = p + round8(sizeof(zdarec));
            break;
        case rec_gsv: {
            auto r = fields_of<gsvrec>(p);
            wrote = gsv_line(r.total, r.k, r.nsats, r.sats, out);
            rec = p + round8(sizeof(gsvrec));
            break;
        }
        default: { // rec_text
            char text[sentence_room];
            std::memcpy(text, p, head.len);
            text[head.len] = '\0';
            put_sentence(text, out);
            rec = p + round8(head.len);
            break;
        }
        }
        if (wrote == 0)
            ++refused;
    }
    return refused;
}
