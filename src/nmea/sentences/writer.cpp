#include "writer.h"

#include "../state.h"
#include "fields.h"
#include "outbuf.h"

#include <cstring>
#include <new>
#include <type_traits>

namespace {

// Each print is compiled whole where the compiler allows (GCC and Clang):
// the fields it calls are inlined into it, however many prints call them.
#if defined(__GNUC__)
#define PRINT_FLAT __attribute__((flatten))
#else
#define PRINT_FLAT
#endif

// Removes the blanks from the n characters at p; answers how many are left.
std::size_t strip_blanks(char* p, std::size_t n)
{
    std::size_t k = 0;
    for (std::size_t i = 0; i < n; ++i)
        if (p[i] != ' ')
            p[k++] = p[i];
    return k;
}

// Ends the line whose text (n characters) stands
// at the end of the output buffer: removes blanks when there may be any,
// appends the checksum of all but the first and last characters and CR LF,
// and keeps it; answers 1. Inline: it ends every sentence.
inline int end_line(outbuf& out, bool blanks, std::size_t n)
{
    char* p = out.buf + out.len;
    if (blanks)
        n = strip_blanks(p, n);
    unsigned sum = 0;
    if (n > 2)
        sum = digits::xor_of(p + 1, n - 2);
    static const char hex[] = "0123456789ABCDEF";
    p[n] = hex[sum >> 4];
    p[n + 1] = hex[sum & 0xF];
    p[n + 2] = '\r';
    p[n + 3] = '\n';
    out.len += n + 4;
    return 1;
}

// A sentence printed at the end of the output buffer, held to the bound of
// a print of `bound` characters, the terminating NUL included.
template <std::size_t bound> fields sentence(outbuf& out)
{
    static_assert(bound <= sentence_room && bound - 1 + 4 <= line_room,
                  "a sentence with its checksum and line end fits the room of a line");
    return fields(line_at(out), bound);
}

// Ends a printed sentence, or refuses it whole (answers 0) when its text
// would not fit its bound, rather than write a cut one whose checksum would
// be that of the wrong text.
int emit(fields& f, outbuf& out)
{
    return f.fits() ? end_line(out, f.blanks(), f.size()) : 0;
}

constexpr literal gga_head = lit("$GPGGA,"), rmc_head = lit("$GPRMC,"), zda_head = lit("$GPZDA,"),
                  gsv_head = lit("GSV,"), metres = lit(",M,"), gga_tail = lit(",M,,*"),
                  valid = lit(",A,"), rmc_tail = lit(",,,*"), zda_tail = lit(",,*"),
                  gsa_head = lit("$GPGSA,A,"), gst_head = lit("$GPGST,"), vtg_head = lit("$GPVTG,"),
                  vtg_true = lit(",T,,M,"), vtg_knots = lit(",N,"), vtg_tail = lit(",K*"),
                  hdt_head = lit("$GPHDT,"), hdt_tail = lit(",T*");

// Every sentence is one definition: a record of exactly the values it
// prints, made by its constructor from the conversion state (and a default
// constructor, to copy it out of a buffer), and a print of the record over
// the field engine, under the print's bound, that answers 1, or 0 when it
// refuses the sentence. `put` keeps the record in a record buffer and
// `format_records` prints it. A new sentence is its record, its print, its
// entry in `records` below and the function of writer.h that puts it.

// The four characters of a station id as one value, the first in the
// lowest byte: a record carries them in a register.
std::uint32_t four_bytes(const char (&b)[4])
{
    auto at = [&](int k) { return std::uint32_t{static_cast<unsigned char>(b[k])} << (8 * k); };
    return at(0) | at(1) | at(2) | at(3);
}

// "$GPGGA,%02d%02d%02d.%02d,%02d%07.4lf,%c,%03d%07.4lf,%c,%d,%02d,%.1lf,%.2lf,M,%.2lf,M,"
// "%02d,%.4s*", the HDOP field ("%.1lf") empty while no HDOP is known, the
// age of the corrections ("%02d") and the base station empty when the fix
// gives none. With RTK precision (rtk), the minutes are "%010.7lf" (as RMC
// prints them) and the height "%.3lf".
struct ggarec {
    double latmin, lonmin, hdop, height, undulation;
    std::int32_t hour, minute, second, hsec, latdeg, londeg, quality, svused, age;
    std::uint32_t station; // four_bytes of the id, printed up to the first NUL
    bool hashdop, hasage, rtk;
    char latns, lonew;

    ggarec() = default;
    explicit ggarec(const nmeastate& s)
        : latmin(s.latmin), lonmin(s.lonmin), hdop(s.hdop), height(s.height),
          undulation(s.undulation), hour(s.hour), minute(s.minute), second(s.second), hsec(s.hsec),
          latdeg(s.latdeg), londeg(s.londeg), quality(s.quality), svused(s.svused), age(s.age),
          station(four_bytes(s.station)), hashdop(s.hashdop != 0), hasage(s.hasage), rtk(s.ggartk),
          latns(s.latns), lonew(s.lonew)
    {
    }
};

// The print of a GGA record, compiled whole for each precision: a branch
// on the precision in each field would cost the common print more.
template <bool rtk> int print_gga(const ggarec& r, outbuf& out)
{
    fields f = sentence<255>(out);
    f.s(gga_head).hms(r.hour, r.minute, r.second, r.hsec).c(',');
    if constexpr (rtk) {
        f.d(r.latdeg, 2).f<7, 10>(r.latmin).c(',').c(r.latns).c(',');
        f.d(r.londeg, 3).f<7, 10>(r.lonmin).c(',').c(r.lonew).c(',');
    } else {
        f.d(r.latdeg, 2).f<4, 7>(r.latmin).c(',').c(r.latns).c(',');
        f.d(r.londeg, 3).f<4, 7>(r.lonmin).c(',').c(r.lonew).c(',');
    }
    f.d(r.quality).c(',').d(r.svused, 2).c(',');
    if (r.hashdop)
        f.f<1>(r.hdop);
    f.c(',');
    if constexpr (rtk)
        f.f<3>(r.height);
    else
        f.f<2>(r.height);
    f.s(metres).f<2>(r.undulation);
    if (!r.hasage && r.station == 0) {
        f.s(gga_tail); // the common GGA: no corrections
    } else {
        f.s(metres);
        if (r.hasage)
            f.d(r.age, 2);
        f.c(',');
        for (std::uint32_t id = r.station; (id & 0xFF) != 0; id >>= 8)
            f.c(static_cast<char>(id & 0xFF));
        f.c('*');
    }
    return emit(f, out);
}

PRINT_FLAT int print(const ggarec& r, outbuf& out)
{
    return r.rtk ? print_gga<true>(r, out) : print_gga<false>(r, out);
}

// Knots from metres per second, as every sentence that prints them computes
// them.
double to_knots(double speed)
{
    return speed / 0.514444;
}

// "$GPRMC,%02d%02d%02d.%02d,A,%02d%010.7lf,%c,%03d%010.7lf,%c,%.3lf,%.1lf,%02d%02d%02d,,,*",
// speed (knots) and track empty while no velocity is known.
struct rmcrec {
    double latmin, lonmin, knots, track;
    std::int32_t hour, minute, second, hsec, latdeg, londeg, day, month, yy;
    bool hasvel;
    char latns, lonew;

    rmcrec() = default;
    explicit rmcrec(const nmeastate& s)
        : latmin(s.latmin), lonmin(s.lonmin), knots(to_knots(s.speed)), track(s.track),
          hour(s.hour), minute(s.minute), second(s.second), hsec(s.hsec), latdeg(s.latdeg),
          londeg(s.londeg), day(s.day), month(s.month), yy(s.year % 100), hasvel(s.hasvel != 0),
          latns(s.latns), lonew(s.lonew)
    {
    }
};

PRINT_FLAT int print(const rmcrec& r, outbuf& out)
{
    fields f = sentence<255>(out);
    f.s(rmc_head).hms(r.hour, r.minute, r.second, r.hsec).s(valid);
    f.d(r.latdeg, 2).f<7, 10>(r.latmin).c(',').c(r.latns).c(',');
    f.d(r.londeg, 3).f<7, 10>(r.lonmin).c(',').c(r.lonew).c(',');
    if (r.hasvel)
        f.f<3>(r.knots).c(',').f<1>(r.track);
    else
        f.c(',');
    f.c(',').d(r.day, 2).d(r.month, 2).d(r.yy, 2).s(rmc_tail);
    return emit(f, out);
}

// "$GPZDA,%02d%02d%02d.%02d,%02d,%02d,%04d,,*", the date and time of the
// last TIME log.
struct zdarec {
    std::int32_t hour, minute, second, hsec, day, month, year;

    zdarec() = default;
    explicit zdarec(const nmeastate& s)
        : hour(s.zhour), minute(s.zminute), second(s.zsecond), hsec(s.zhsec), day(s.zday),
          month(s.zmonth), year(s.zyear)
    {
    }
};

PRINT_FLAT int print(const zdarec& r, outbuf& out)
{
    fields f = sentence<256>(out);
    f.s(zda_head).hms(r.hour, r.minute, r.second, r.hsec).c(',');
    f.d(r.day, 2).c(',').d(r.month, 2).c(',').d(r.year, 4).s(zda_tail);
    return emit(f, out);
}

// "$<talker>GSV,%d,%d,%d%s%s%s%s*": sentence k of a group of `total`
// sentences for `count` satellites, with a slot ",%02d,%02d,%03d,%02d"
// (NMEA satellite number, elevation, azimuth, SNR) for each of its up to
// four satellites, the SNR empty when there is none.
struct gsvrec {
    char talker[2]; // "GP", "GL", ...
    std::int32_t total, k, count, n;
    satinfo sats[4]; // the first n are this sentence's

    gsvrec() = default;
    // Sentence `at` of the group of the satellites in group[0, nsats).
    gsvrec(const char* tk, std::int32_t sentences, std::int32_t at, const satinfo* group,
           std::int32_t nsats)
        : talker{tk[0], tk[1]}, total(sentences), k(at), count(nsats), n(0), sats{}
    {
        for (std::int32_t i = 4 * (k - 1); n < 4 && i < nsats; ++i)
            sats[n++] = group[i];
    }
};

PRINT_FLAT int print(const gsvrec& r, outbuf& out)
{
    fields f = sentence<256>(out);
    f.c('$').c(r.talker[0]).c(r.talker[1]).s(gsv_head);
    f.d(r.total).c(',').d(r.k).c(',').d(r.count);
    bool slots_fit = true;
    for (std::int32_t i = 0; i < r.n; ++i) {
        const satinfo& v = r.sats[i];
        char room[32];
        fields slot(room, sizeof room);
        slot.c(',').d(v.prn, 2).c(',');
        if (v.elevation == no_elevation) // known from a tracking channel alone
            slot.c(',').c(',');
        else
            slot.d(v.elevation, 2).c(',').d(v.azimuth, 3).c(',');
        if (v.snr > 0)
            slot.d(v.snr, 2);
        slots_fit = slots_fit && slot.fits();
        f.s(room, slot.size());
    }
    f.c('*');
    // A sentence with a slot that does not fit is left out; the rest of the
    // group still carries the group's full sentence count.
    return slots_fit ? emit(f, out) : 0;
}

// "$GPGSA,A,%d," fix type (3 with a fix of any quality but 0, else 1),
// twelve satellite fields "%02d" (NMEA numbers; empty past the last), then
// "%.1f,%.1f,%.1f*" PDOP, HDOP, VDOP.
struct gsarec {
    double pdop, hdop, vdop;
    std::int32_t type, n;
    std::int32_t sats[12];

    gsarec() = default;
    explicit gsarec(const nmeastate& s)
        : pdop(s.pdop), hdop(s.hdop), vdop(s.vdop), type(s.quality != 0 ? 3 : 1),
          n(s.ndopsats < 12 ? s.ndopsats : 12), sats{}
    {
        for (std::int32_t i = 0; i < n; ++i)
            sats[i] = s.dopsats[i];
    }
};

PRINT_FLAT int print(const gsarec& r, outbuf& out)
{
    fields f = sentence<256>(out);
    f.s(gsa_head).d(r.type).c(',');
    for (std::int32_t i = 0; i < 12; ++i) {
        if (i < r.n)
            f.d(r.sats[i], 2);
        f.c(',');
    }
    f.f<1>(r.pdop).c(',').f<1>(r.hdop).c(',').f<1>(r.vdop).c('*');
    return emit(f, out);
}

// "$GPGST,%02d%02d%02d.%02d,,%.3f,%.3f,%.1f,%.3f,%.3f,%.3f*": the fix's
// time, no RMS, the error ellipse's semi-major and semi-minor axes and the
// orientation of the major one (the receiver gives no correlation: the
// larger of the latitude's and the longitude's deviations, 0 or 90
// degrees), then the deviations of latitude, longitude and height.
struct gstrec {
    double major, minor, orientation, sdlat, sdlon, sdheight;
    std::int32_t hour, minute, second, hsec;

    gstrec() = default;
    explicit gstrec(const nmeastate& s)
        : sdlat(s.sdlat), sdlon(s.sdlon), sdheight(s.sdheight), hour(s.hour), minute(s.minute),
          second(s.second), hsec(s.hsec)
    {
        bool north = s.sdlat >= s.sdlon; // false with a NaN
        major = north ? s.sdlat : s.sdlon;
        minor = north ? s.sdlon : s.sdlat;
        orientation = north ? 0.0 : 90.0;
    }
};

PRINT_FLAT int print(const gstrec& r, outbuf& out)
{
    fields f = sentence<256>(out);
    f.s(gst_head).hms(r.hour, r.minute, r.second, r.hsec).c(',').c(',');
    f.f<3>(r.major).c(',').f<3>(r.minor).c(',').f<1>(r.orientation).c(',');
    f.f<3>(r.sdlat).c(',').f<3>(r.sdlon).c(',').f<3>(r.sdheight).c('*');
    return emit(f, out);
}

// "$GPVTG,%.1f,T,,M,%.3f,N,%.3f,K*": track, speed in knots (as RMC has it)
// and in km/h.
struct vtgrec {
    double track, knots, kmh;

    vtgrec() = default;
    explicit vtgrec(const nmeastate& s)
        : track(s.track), knots(to_knots(s.speed)), kmh(s.speed * 3.6)
    {
    }
};

PRINT_FLAT int print(const vtgrec& r, outbuf& out)
{
    fields f = sentence<256>(out);
    f.s(vtg_head).f<1>(r.track).s(vtg_true).f<3>(r.knots).s(vtg_knots).f<3>(r.kmh).s(vtg_tail);
    return emit(f, out);
}

// "$GPHDT,%.2f,T*": a true heading.
struct hdtrec {
    double heading;

    hdtrec() = default;
    explicit hdtrec(double h) : heading(h) {}
};

PRINT_FLAT int print(const hdtrec& r, outbuf& out)
{
    fields f = sentence<256>(out);
    f.s(hdt_head).f<2>(r.heading).s(hdt_tail);
    return emit(f, out);
}

// Every kind of record a record buffer holds: a record's kind is its place
// in this list, from 1.
template <class... R> struct recordlist {
};
using records = recordlist<ggarec, rmcrec, gsvrec, zdarec, gsarec, gstrec, vtgrec, hdtrec>;

// Records in a record buffer: a head of eight bytes (the kind), then the
// record in a multiple of eight bytes; so each one is built in place,
// aligned, where it lies in the buffer (records never leave the process).
struct rechead {
    std::uint8_t kind;
    std::uint8_t unused[7];
};

constexpr std::size_t round8(std::size_t n)
{
    return (n + 7) & ~std::size_t(7);
}

static_assert(sizeof(rechead) == 8 && line_room % 8 == 0, "records stay aligned");

// What every record kind must be, checked as the program is built.
template <class R> struct record_rules {
    static_assert(std::is_trivially_copyable<R>::value, "a record is copied as bytes");
    static_assert(alignof(R) <= 8, "records stay 8-byte aligned in the buffer");
    static_assert(sizeof(rechead) + round8(sizeof(R)) <= line_room,
                  "a record fits the room of a line");
    static constexpr bool ok = true;
};

template <class... R> constexpr bool follow_rules(recordlist<R...>)
{
    return (record_rules<R>::ok && ...);
}
static_assert(follow_rules(records{}), "every record follows the rules");

template <class R, class... L> constexpr std::uint8_t kind_in(recordlist<L...>)
{
    std::uint8_t kind = 0, at = 0;
    ((++at, kind = std::is_same<R, L>::value ? at : kind), ...);
    return kind;
}
template <class R> constexpr std::uint8_t kind_of = kind_in<R>(records{});

// Keeps the sentence of a record R made from `from`, built in place at the
// end of the buffer with its head; answers 1, or 0 when there is no room.
template <class R, class... A> int put(recbuf& out, const A&... from)
{
    static_assert(kind_of<R> != 0, "every record is listed in records");
    constexpr std::size_t size = sizeof(rechead) + round8(sizeof(R));
    if (out.room - out.len < size) {
        out.full = true;
        return 0;
    }
    char* p = out.buf + out.len;
    new (p) rechead{kind_of<R>, {}};
    new (p + sizeof(rechead)) R(from...);
    out.len += size;
    return 1;
}

// A record's fields, copied out of the buffer it came in.
template <class R> R fields_of(const char* p)
{
    R r;
    std::memcpy(static_cast<void*>(&r), p, sizeof r);
    return r;
}

// Formats the record of the given kind at p; answers where the next record
// begins (null for a kind that is not listed) and sets wrote to what its print
// answered.
template <class... R>
const char* replay(std::uint8_t kind, const char* p, outbuf& out, int& wrote, recordlist<R...>)
{
    const char* next = nullptr;
    (void)((kind == kind_of<R> &&
            (wrote = print(fields_of<R>(p), out), next = p + round8(sizeof(R)), true)) ||
           ...);
    return next;
}

} // namespace

std::int32_t nmea_prn(std::int32_t prn)
{
    if (prn >= 38 && prn <= 61)
        return prn + 27;
    if (prn >= 120 && prn <= 151)
        return prn - 87;
    return prn;
}

int put_gga(const nmeastate& s, recbuf& out)
{
    return put<ggarec>(out, s);
}

int put_rmc(const nmeastate& s, recbuf& out)
{
    return put<rmcrec>(out, s);
}

int put_zda(const nmeastate& s, recbuf& out)
{
    return put<zdarec>(out, s);
}

int put_gsa(const nmeastate& s, recbuf& out)
{
    return put<gsarec>(out, s);
}

int put_gst(const nmeastate& s, recbuf& out)
{
    return put<gstrec>(out, s);
}

int put_vtg(const nmeastate& s, recbuf& out)
{
    return put<vtgrec>(out, s);
}

int put_hdt(double heading, recbuf& out)
{
    return put<hdtrec>(out, heading);
}

int put_gsv_group(const char* talker, const satinfo* sats, std::int32_t nsats, recbuf& out)
{
    if (nsats > 36)
        nsats = 36;
    std::int32_t total = (nsats + 3) / 4;
    int written = 0;
    for (std::int32_t k = 1; k <= total; ++k)
        if (put<gsvrec>(out, talker, total, k, sats, nsats) != 0)
            ++written;
    return written;
}

int put_gsv(nmeastate& s, recbuf& out)
{
    if (s.nsats > 36)
        s.nsats = 36;
    satinfo group[36];
    for (std::int32_t i = 0; i < s.nsats; ++i) {
        group[i] = s.sats[i];
        group[i].prn = nmea_prn(s.sats[i].prn);
    }
    return put_gsv_group("GP", group, s.nsats, out);
}

std::int64_t format_records(const char* rec, std::size_t n, outbuf& out)
{
    std::int64_t refused = 0;
    const char* end = rec + n;
    while (rec < end) {
        auto head = fields_of<rechead>(rec);
        int wrote = 1;
        rec = replay(head.kind, rec + sizeof(rechead), out, wrote, records{});
        if (wrote == 0)
            ++refused;
        if (!rec)
            break; // not a record of this writer's
    }
    return refused;
}
