#include "asciienc.h"

#include "input/crc.h"

#include <cinttypes>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <map>
#include <sstream>

namespace asciienc {

namespace {

// Each enumeration as its names in order of value: one more than the name
// before, or the value given after '='.
struct enumtable {
    const char* name;
    const char* names;
};

const enumtable enums[] = {
    {"sol", "SOL_COMPUTED INSUFFICIENT_OBS NO_CONVERGENCE SINGULARITY COV_TRACE TEST_DIST "
            "COLD_START V_H_LIMIT VARIANCE RESIDUALS DELTA_POS NEGATIVE_VAR OLD_SOLUTION "
            "INTEGRITY_WARNING INS_INACTIVE INS_ALIGNING INS_BAD IMU_UNPLUGGED PENDING "
            "INVALID_FIX UNAUTHORIZED ANTENNA_WARNING INVALID_RATE INS_AIDED"},
    {"pos", "NONE FIXEDPOS FIXEDHEIGHT FIXEDVEL FLOATCONV WIDELANE NARROWLANE "
            "DOPPLER_VELOCITY=8 SINGLE=16 PSRDIFF WAAS PROPAGATED OMNISTAR L1_FLOAT=32 "
            "IONOFREE_FLOAT NARROW_FLOAT L1L2_FLOAT L1L2_INT=46 L1L2_INT_VERIFIED L1_INT "
            "WIDE_INT NARROW_INT RTK_DIRECT_INS INS_SBAS INS_PSRSP INS_PSRDIFF INS_RTKFLOAT "
            "INS_RTKFIXED INS_OMNISTAR INS_OMNISTAR_HP INS_OMNISTAR_XP OMNISTAR_HP=64 "
            "OMNISTAR_XP CDGPS EXT_CONSTRAINED PPP_CONVERGING PPP OPERATIONAL WARNING "
            "OUT_OF_BOUNDS INS_PPP_CONVERGING INS_PPP PPP_PLUS INS_PPP_PLUS PPP_BASIC_CONVERGING "
            "PPP_BASIC INS_PPP_BASIC_CONVERGING INS_PPP_BASIC"},
    {"datum", "ADIND=1 ARC50 ARC60 AGD66 AGD84 BUKIT ASTRO CHATM CARTH CAPE DJAKA EGYPT ED50 "
              "ED79 GUNSG GEO49 GRB36 GUAM HAWAII KAUAI MAUI OAHU HERAT HJORS HONGK HUTZU "
              "INDIA IRE65 KERTA KANDA LIBER LUZON MINDA MERCH NAHR NAD83 CANADA ALASKA NAD27 "
              "CARIBB MEXICO CAMER MINNA OMAN PUERTO QORNO ROME CHUA SAM56 SAM69 CAMPO SACOR "
              "YACAR TANAN TIMBA TOKYO TRIST VITI WAK60 WGS72 WGS84 ZANDE USER CSRS ADIM ARSM "
              "ENW HTN INDB INDI IRL LUZA LUZB NAHC NASP OGBM OHAA OHAB OHAC OHAD OHIA OHIB "
              "OHIC OHID TIL TOYM NAD83OMNI PE90"},
    {"clock", "VALID CONVERGING ITERATING INVALID ERROR"},
    {"utc", "INVALID VALID WARNING"},
    {"ins", "INS_INACTIVE INS_ALIGNING INS_HIGH_VARIANCE INS_SOLUTION_GOOD INS_TEST_ALIGNING "
            "INS_TEST_SOLUTION_GOOD INS_SOLUTION_FREE INS_ALIGNMENT_COMPLETE "
            "DETERMINING_ORIENTATION WAITING_INITIALPOS WAITING_AZIMUTH INITIALIZING_BIASES "
            "MOTION_DETECT TIMEOUT WAITING_ALIGNMENTORIENTATION"},
    {"satsys", "GPS GLONASS SBAS GALILEO=5 BEIDOU QZSS LBAND NAVIC UNKNOWN=30 NONE ALL"},
    {"dopsys", "GPS GLONASS GALILEO BEIDOU NAVIC EXTERNAL=98 AUTO NONE"},
    {"reject", "GOOD BADHEALTH OLDEPHEMERIS ECCENTRICANOMALY TRUEANOMALY SATCOORDINATEERROR "
               "ELEVATIONERROR MISCLOSURE NODIFFCORR NOEPHEMERIS INVALIDIODE LOCKEDOUT "
               "LOWPOWER OBSL2 UNKNOWN=15 NOIONOCORR NOTUSED OBSL1 OBSE1 OBSL5 OBSE5 OBSB2 "
               "OBSB1 OBSB3 NOSIGNALMATCH SUPPLEMENTARY OBSE6 OBSL6 NA=99 BAD_INTEGRITY "
               "LOSSOFLOCK NOAMBIGUITY"},
    {"time", "UNKNOWN=20 APPROXIMATE=60 COARSEADJUSTING=80 COARSE=100 COARSESTEERING=120 "
             "FREEWHEELING=130 FINEADJUSTING=140 FINE=160 FINEBACKUPSTEERING=170 "
             "FINESTEERING=180 SATTIME=200 EXTERN=220 EXACT=240"},
};

struct entry {
    std::string name;
    std::uint32_t value;
};

const std::vector<entry>& entries(const std::string& table)
{
    static std::map<std::string, std::vector<entry>> read; // each table read once
    auto at = read.find(table);
    if (at != read.end())
        return at->second;
    std::vector<entry>& v = read[table];
    for (const enumtable& t : enums)
        if (table == t.name) {
            std::istringstream in(t.names);
            std::uint32_t next = 0;
            for (std::string w; in >> w;) {
                std::size_t eq = w.find('=');
                if (eq != std::string::npos)
                    next = static_cast<std::uint32_t>(std::stoul(w.substr(eq + 1)));
                v.push_back({w.substr(0, eq), next++});
            }
        }
    return v;
}

// Each log's fields, in order, fixed part '|' record:
//   e:TABLE enum (4 bytes); uN, iN unsigned and signed, N bytes; xN hex;
//   f.P, d.P float and double, printed by the receiver with P decimals
//   (f.Pe, d.Pe: in exponent form); b bool; s4 char[4]; p satellite id.
struct logdesc {
    std::uint16_t id;
    const char* name;
    const char* fields;
};

const logdesc logs_described[] = {
    {42, "BESTPOS",
     "e:sol e:pos d.11 d.11 d.4 f.4 e:datum f.4 f.4 f.4 s4 f.3 f.3 u1 u1 u1 u1 x1 x1 x1 x1"},
    {99, "BESTVEL", "e:sol e:pos f.3 f.3 d.4 d.6 d.4 f.1"},
    {48, "SATVIS", "b b u4 | i2 i2 u4 d.1 d.1 d.3 d.3"},
    {83, "TRACKSTAT", "e:sol e:pos f.1 i4 | i2 i2 x4 d.3 f.3 f.3 f.3 f.3 e:reject f.3"},
    {101, "TIME", "e:clock d.9e d.9e d.11 u4 u1 u1 u1 u1 u4 e:utc"},
    {174, "PSRDOP", "f.4 f.4 f.4 f.4 f.4 f.1 i4 | u4"},
    {241, "BESTXYZ",
     "e:sol e:pos d.4 d.4 d.4 f.4 f.4 f.4 e:sol e:pos d.4 d.4 d.4 f.4 f.4 f.4 "
     "s4 f.3 f.3 f.3 u1 u1 u1 u1 u1 x1 x1 x1"},
    {507, "INSPVA", "u4 d.9 d.11 d.11 d.4 d.4 d.4 d.4 d.9 d.9 d.9 e:ins"},
    {508, "INSPVAS", "u4 d.9 d.11 d.11 d.4 d.4 d.4 d.4 d.9 d.9 d.9 e:ins"},
    {1465, "INSPVAX",
     "e:ins e:pos d.11 d.11 d.4 f.4 d.4 d.4 d.4 d.9 d.9 d.9 "
     "f.4 f.4 f.4 f.4 f.4 f.4 f.4 f.4 f.4 x4 u2"},
    {971, "HEADING", "e:sol e:pos f.9 f.9 f.9 f.1 f.9 f.9 s4 u1 u1 u1 u1 x1 x1 x1 x1"},
    {1043, "SATVIS2", "e:satsys b b u4 | p u4 d.1 d.1 d.3 d.3"},
    {1163, "PSRDOP2", "f.4 f.4 f.4 f.4 u4 | e:dopsys f.4"},
    {1335, "HEADING2", "e:sol e:pos f.9 f.9 f.9 f.1 f.9 f.9 s4 s4 u1 u1 u1 u1 x1 x1 x1 x1"},
};

fieldtype parse_type(const std::string& w)
{
    fieldtype t{w[0], 0, "", ""};
    switch (t.type) {
    case 'e': t.size = 4, t.names = w.substr(2); break;
    case 'f':
    case 'd': t.size = t.type == 'f' ? 4 : 8, t.print = "%" + w.substr(1); break;
    case 'b':
    case 'p': t.size = 4; break;
    default: t.size = w[1] - '0';
    }
    if (!t.print.empty() && t.print.back() != 'e')
        t.print += 'f';
    return t;
}

std::uint32_t ld(const std::string& s, std::size_t at, int size)
{
    std::uint32_t v = 0;
    for (int i = size - 1; i >= 0; --i)
        v = v << 8 | static_cast<unsigned char>(s[at + static_cast<std::size_t>(i)]);
    return v;
}

std::uint64_t ld64(const std::string& s, std::size_t at)
{
    return ld(s, at, 4) | std::uint64_t(ld(s, at + 4, 4)) << 32;
}

std::string print(const char* fmt, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;

std::string print(const char* fmt, ...)
{
    char buf[512];
    va_list ap;
    va_start(ap, fmt);
    int n = std::vsnprintf(buf, sizeof buf, fmt, ap);
    va_end(ap);
    return std::string(buf, n < 0 ? 0 : static_cast<std::size_t>(n));
}

std::string enum_text(const std::string& table, std::uint32_t v)
{
    for (const entry& e : entries(table))
        if (e.value == v)
            return e.name;
    return std::to_string(v);
}

std::string text_of(const fieldtype& t, const std::string& b, std::size_t at, style s)
{
    std::uint32_t u = t.size <= 4 ? ld(b, at, t.size) : 0;
    switch (t.type) {
    case 'e': return enum_text(t.names, u);
    case 'u': return std::to_string(u);
    case 'i': {
        std::int64_t v = t.size == 4   ? std::int64_t(std::int32_t(u))
                         : t.size == 2 ? std::int64_t(std::int16_t(u))
                                       : std::int64_t(std::int8_t(u));
        return std::to_string(v);
    }
    case 'x': return s == style::exact ? print("%" PRIx32, u) : print("%0*" PRIx32, 2 * t.size, u);
    case 'f': {
        float f;
        std::memcpy(&f, &u, sizeof f);
        return s == style::exact ? print("%.9g", double(f)) : print(t.print.c_str(), double(f));
    }
    case 'd': {
        std::uint64_t w = ld64(b, at);
        double d;
        std::memcpy(&d, &w, sizeof d);
        return s == style::exact ? print("%.17g", d) : print(t.print.c_str(), d);
    }
    case 'b': return u ? "TRUE" : "FALSE";
    case 's': {
        std::string v = b.substr(at, static_cast<std::size_t>(t.size));
        return "\"" + v.substr(0, v.find('\0')) + "\"";
    }
    case 'p': {
        auto k = std::int16_t(u >> 16);
        std::string prn = std::to_string(u & 0xFFFF);
        return k == 0 ? prn : prn + (k > 0 ? "+" : "") + std::to_string(k);
    }
    }
    return "";
}

struct frame_view {
    bool shorth; // the short header
    std::uint16_t id;
    std::string head, body;
};

frame_view view(const std::string& f)
{
    frame_view v;
    v.shorth = f[2] == '\x13';
    std::size_t h = v.shorth ? 12 : static_cast<unsigned char>(f[3]);
    v.id = static_cast<std::uint16_t>(ld(f, 4, 2));
    v.head = f.substr(0, h);
    v.body = f.substr(h, f.size() - h - 4);
    return v;
}

const logdesc* described(std::uint16_t id)
{
    for (const logdesc& d : logs_described)
        if (d.id == id)
            return &d;
    return nullptr;
}

std::string port_name(unsigned p)
{
    static const char* const names[] = {"SPECIAL", "COM1", "COM2", "COM3",
                                        "AUX",     "USB1", "USB2", "USB3"};
    std::string n = names[p >> 5];
    return p & 31 ? n + "_" + std::to_string(p & 31) : n;
}

} // namespace

layout layout_of(std::uint16_t id)
{
    static std::map<std::uint16_t, layout> read; // each description read once
    auto at = read.find(id);
    if (at != read.end())
        return at->second;
    layout& l = read[id];
    const logdesc* d = described(id);
    if (!d)
        return l;
    l.name = d->name;
    std::istringstream in(d->fields);
    bool rec = false;
    for (std::string w; in >> w;) {
        if (w == "|")
            rec = true;
        else
            (rec ? l.record : l.fixed).push_back(parse_type(w));
    }
    return l;
}

std::vector<std::uint32_t> enum_values(const std::string& table)
{
    std::vector<std::uint32_t> v;
    for (const entry& e : entries(table))
        v.push_back(e.value);
    return v;
}

std::vector<field> fields(const std::string& frame, style s)
{
    frame_view v = view(frame);
    layout l = layout_of(v.id);
    std::vector<field> out;
    std::size_t at = 0;
    for (const fieldtype& t : l.fixed) {
        if (at + static_cast<std::size_t>(t.size) > v.body.size())
            return out;
        out.push_back({t, static_cast<int>(at), text_of(t, v.body, at, s), false});
        at += static_cast<std::size_t>(t.size);
    }
    std::size_t recsize = 0;
    for (const fieldtype& t : l.record)
        recsize += static_cast<std::size_t>(t.size);
    while (recsize > 0 && at + recsize <= v.body.size())
        for (const fieldtype& t : l.record) {
            out.push_back({t, static_cast<int>(at), text_of(t, v.body, at, s), true});
            at += static_cast<std::size_t>(t.size);
        }
    return out;
}

std::string body(const std::string& frame, bool lines, style s)
{
    std::vector<field> fs = fields(frame, s);
    if (!lines) {
        std::string b;
        for (std::size_t i = 0; i < fs.size(); ++i)
            b += (i ? "," : "") + fs[i].text;
        return b;
    }
    std::string b = "<     ";
    std::size_t i = 0;
    for (bool first = true; i < fs.size() && !fs[i].record; ++i, first = false)
        b += (first ? "" : " ") + fs[i].text;
    b += "\r\n";
    std::size_t per = layout_of(view(frame).id).record.size();
    while (i < fs.size()) {
        b += "<         ";
        for (std::size_t j = 0; j < per; ++j, ++i)
            b += " " + fs[i].text;
        b += "\r\n";
    }
    return b;
}

std::string render(const std::string& frame, form f, style s)
{
    frame_view v = view(frame);
    const logdesc* d = described(v.id);
    if (!d)
        return "";
    std::uint16_t week = static_cast<std::uint16_t>(ld(v.head, v.shorth ? 6 : 14, 2));
    std::uint32_t ms = ld(v.head, v.shorth ? 8 : 16, 4);
    std::string secs = print("%" PRIu32 ".%03" PRIu32, ms / 1000, ms % 1000);
    std::string when = std::to_string(week) + "," + secs;
    // Port, sequence, idle time, time status before the time; receiver
    // status, reserved word and software build after it.
    std::string before = "COM1,0,0.0,FINESTEERING", after = "00000000,0000,0";
    if (!v.shorth) {
        before = port_name(static_cast<unsigned char>(v.head[7])) + "," +
                 std::to_string(ld(v.head, 10, 2)) + "," +
                 print("%.1f", static_cast<unsigned char>(v.head[12]) / 2.0) + "," +
                 enum_text("time", static_cast<unsigned char>(v.head[13]));
        after = print("%08" PRIx32 ",%04" PRIx32 ",%" PRIu32, ld(v.head, 20, 4), ld(v.head, 24, 2),
                      ld(v.head, 26, 2));
    }
    if (f == form::abbreviated) {
        std::string head = v.shorth ? when : before + "," + when + "," + after;
        for (char& c : head)
            c = c == ',' ? ' ' : c;
        return "<" + std::string(d->name) + " " + head + "\r\n" + body(frame, true, s);
    }
    std::string text = std::string(d->name) + "A," +
                       (f == form::short_ascii ? when : before + "," + when + "," + after) + ";" +
                       body(frame, false, s);
    std::uint32_t crc = crc32(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
    return (f == form::short_ascii ? "%" : "#") + text + print("*%08" PRIx32 "\r\n", crc);
}

std::string render_all(const std::string& frames, form f, style s)
{
    std::string out;
    for (std::size_t at = 0; at + 12 <= frames.size();) {
        std::size_t len = frames[at + 2] == '\x13'
                              ? 12 + static_cast<unsigned char>(frames[at + 3]) + 4
                              : 28 + ld(frames, at + 8, 2) + 4;
        out += render(frames.substr(at, len), f, s);
        at += len;
    }
    return out;
}

} // namespace asciienc
