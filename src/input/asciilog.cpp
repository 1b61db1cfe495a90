#include "asciilog.h"

#include "le.h"
#include "scan.h"

#include <cfloat>
#include <charconv>
#include <cstring>
#include <iterator>
#include <system_error>

// The rarer field readers stay out of line, so that the common ones inline
// into a small dispatch; other compilers choose for themselves.
#if defined(__GNUC__) || defined(__clang__)
#define PELLUCID_NOINLINE __attribute__((noinline))
#else
#define PELLUCID_NOINLINE
#endif

namespace {

// ---------------------------------------------------------------------------
// The enumerations of the logs' fields, name = value. A name outside its
// table, or in another table, reads as 4294967295.

struct ename {
    const char* name;
    std::uint32_t value;
};

// clang-format off
constexpr ename solstat[] = {
    {"SOL_COMPUTED", 0}, {"INSUFFICIENT_OBS", 1}, {"NO_CONVERGENCE", 2}, {"SINGULARITY", 3},
    {"COV_TRACE", 4}, {"TEST_DIST", 5}, {"COLD_START", 6}, {"V_H_LIMIT", 7}, {"VARIANCE", 8},
    {"RESIDUALS", 9}, {"DELTA_POS", 10}, {"NEGATIVE_VAR", 11}, {"OLD_SOLUTION", 12},
    {"INTEGRITY_WARNING", 13}, {"INS_INACTIVE", 14}, {"INS_ALIGNING", 15}, {"INS_BAD", 16},
    {"IMU_UNPLUGGED", 17}, {"PENDING", 18}, {"INVALID_FIX", 19}, {"UNAUTHORIZED", 20},
    {"ANTENNA_WARNING", 21}, {"INVALID_RATE", 22}, {"INS_AIDED", 23},
};

constexpr ename postype[] = {
    {"NONE", 0}, {"FIXEDPOS", 1}, {"FIXEDHEIGHT", 2}, {"FIXEDVEL", 3}, {"FLOATCONV", 4},
    {"WIDELANE", 5}, {"NARROWLANE", 6}, {"DOPPLER_VELOCITY", 8}, {"SINGLE", 16},
    {"PSRDIFF", 17}, {"WAAS", 18}, {"PROPAGATED", 19}, {"OMNISTAR", 20}, {"L1_FLOAT", 32},
    {"IONOFREE_FLOAT", 33}, {"NARROW_FLOAT", 34}, {"L1L2_FLOAT", 35}, {"L1L2_INT", 46},
    {"L1L2_INT_VERIFIED", 47}, {"L1_INT", 48}, {"WIDE_INT", 49}, {"NARROW_INT", 50},
    {"RTK_DIRECT_INS", 51}, {"INS_SBAS", 52}, {"INS_PSRSP", 53}, {"INS_PSRDIFF", 54},
    {"INS_RTKFLOAT", 55}, {"INS_RTKFIXED", 56}, {"INS_OMNISTAR", 57}, {"INS_OMNISTAR_HP", 58},
    {"INS_OMNISTAR_XP", 59}, {"OMNISTAR_HP", 64}, {"OMNISTAR_XP", 65}, {"CDGPS", 66},
    {"EXT_CONSTRAINED", 67}, {"PPP_CONVERGING", 68}, {"PPP", 69}, {"OPERATIONAL", 70},
    {"WARNING", 71}, {"OUT_OF_BOUNDS", 72}, {"INS_PPP_CONVERGING", 73}, {"INS_PPP", 74},
    {"PPP_PLUS", 75}, {"INS_PPP_PLUS", 76}, {"PPP_BASIC_CONVERGING", 77}, {"PPP_BASIC", 78},
    {"INS_PPP_BASIC_CONVERGING", 79}, {"INS_PPP_BASIC", 80},
};

constexpr ename datum[] = {
    {"ADIND", 1}, {"ARC50", 2}, {"ARC60", 3}, {"AGD66", 4}, {"AGD84", 5}, {"BUKIT", 6},
    {"ASTRO", 7}, {"CHATM", 8}, {"CARTH", 9}, {"CAPE", 10}, {"DJAKA", 11}, {"EGYPT", 12},
    {"ED50", 13}, {"ED79", 14}, {"GUNSG", 15}, {"GEO49", 16}, {"GRB36", 17}, {"GUAM", 18},
    {"HAWAII", 19}, {"KAUAI", 20}, {"MAUI", 21}, {"OAHU", 22}, {"HERAT", 23}, {"HJORS", 24},
    {"HONGK", 25}, {"HUTZU", 26}, {"INDIA", 27}, {"IRE65", 28}, {"KERTA", 29}, {"KANDA", 30},
    {"LIBER", 31}, {"LUZON", 32}, {"MINDA", 33}, {"MERCH", 34}, {"NAHR", 35}, {"NAD83", 36},
    {"CANADA", 37}, {"ALASKA", 38}, {"NAD27", 39}, {"CARIBB", 40}, {"MEXICO", 41},
    {"CAMER", 42}, {"MINNA", 43}, {"OMAN", 44}, {"PUERTO", 45}, {"QORNO", 46}, {"ROME", 47},
    {"CHUA", 48}, {"SAM56", 49}, {"SAM69", 50}, {"CAMPO", 51}, {"SACOR", 52}, {"YACAR", 53},
    {"TANAN", 54}, {"TIMBA", 55}, {"TOKYO", 56}, {"TRIST", 57}, {"VITI", 58}, {"WAK60", 59},
    {"WGS72", 60}, {"WGS84", 61}, {"ZANDE", 62}, {"USER", 63}, {"CSRS", 64}, {"ADIM", 65},
    {"ARSM", 66}, {"ENW", 67}, {"HTN", 68}, {"INDB", 69}, {"INDI", 70}, {"IRL", 71},
    {"LUZA", 72}, {"LUZB", 73}, {"NAHC", 74}, {"NASP", 75}, {"OGBM", 76}, {"OHAA", 77},
    {"OHAB", 78}, {"OHAC", 79}, {"OHAD", 80}, {"OHIA", 81}, {"OHIB", 82}, {"OHIC", 83},
    {"OHID", 84}, {"TIL", 85}, {"TOYM", 86}, {"NAD83OMNI", 87}, {"PE90", 88},
};

constexpr ename clockstat[] = {
    {"VALID", 0}, {"CONVERGING", 1}, {"ITERATING", 2}, {"INVALID", 3}, {"ERROR", 4},
};

constexpr ename utcstat[] = {
    {"INVALID", 0}, {"VALID", 1}, {"WARNING", 2},
};

constexpr ename insstat[] = {
    {"INS_INACTIVE", 0}, {"INS_ALIGNING", 1}, {"INS_HIGH_VARIANCE", 2},
    {"INS_SOLUTION_GOOD", 3}, {"INS_TEST_ALIGNING", 4}, {"INS_TEST_SOLUTION_GOOD", 5},
    {"INS_SOLUTION_FREE", 6}, {"INS_ALIGNMENT_COMPLETE", 7}, {"DETERMINING_ORIENTATION", 8},
    {"WAITING_INITIALPOS", 9}, {"WAITING_AZIMUTH", 10}, {"INITIALIZING_BIASES", 11},
    {"MOTION_DETECT", 12}, {"TIMEOUT", 13}, {"WAITING_ALIGNMENTORIENTATION", 14},
};

constexpr ename satsys[] = {
    {"GPS", 0}, {"GLONASS", 1}, {"SBAS", 2}, {"GALILEO", 5}, {"BEIDOU", 6}, {"QZSS", 7},
    {"LBAND", 8}, {"NAVIC", 9}, {"UNKNOWN", 30}, {"NONE", 31}, {"ALL", 32},
};

constexpr ename dopsys[] = {
    {"GPS", 0}, {"GLONASS", 1}, {"GALILEO", 2}, {"BEIDOU", 3}, {"NAVIC", 4},
    {"EXTERNAL", 98}, {"AUTO", 99}, {"NONE", 100},
};

constexpr ename reject[] = {
    {"GOOD", 0}, {"BADHEALTH", 1}, {"OLDEPHEMERIS", 2}, {"ECCENTRICANOMALY", 3},
    {"TRUEANOMALY", 4}, {"SATCOORDINATEERROR", 5}, {"ELEVATIONERROR", 6}, {"MISCLOSURE", 7},
    {"NODIFFCORR", 8}, {"NOEPHEMERIS", 9}, {"INVALIDIODE", 10}, {"LOCKEDOUT", 11},
    {"LOWPOWER", 12}, {"OBSL2", 13}, {"UNKNOWN", 15}, {"NOIONOCORR", 16}, {"NOTUSED", 17},
    {"OBSL1", 18}, {"OBSE1", 19}, {"OBSL5", 20}, {"OBSE5", 21}, {"OBSB2", 22}, {"OBSB1", 23},
    {"OBSB3", 24}, {"NOSIGNALMATCH", 25}, {"SUPPLEMENTARY", 26}, {"OBSE6", 27}, {"OBSL6", 28},
    {"NA", 99}, {"BAD_INTEGRITY", 100}, {"LOSSOFLOCK", 101}, {"NOAMBIGUITY", 102},
};
// clang-format on

enum etable : std::uint8_t {
    t_solstat,
    t_postype,
    t_datum,
    t_clockstat,
    t_utcstat,
    t_insstat,
    t_satsys,
    t_dopsys,
    t_reject,
    ntables
};

struct enames {
    const ename* names;
    int n;
};

constexpr enames etables[ntables] = {
    {solstat, int(std::size(solstat))}, {postype, int(std::size(postype))},
    {datum, int(std::size(datum))},     {clockstat, int(std::size(clockstat))},
    {utcstat, int(std::size(utcstat))}, {insstat, int(std::size(insstat))},
    {satsys, int(std::size(satsys))},   {dopsys, int(std::size(dopsys))},
    {reject, int(std::size(reject))},
};

// ---------------------------------------------------------------------------
// The fields of the fourteen logs, in order: each field's ASCII form and its
// bytes in the binary body. An array log's fixed fields end with the record
// count; its records follow, one field table per record.

enum kind : std::uint8_t {
    k_enum,   // a name of the field's enumeration, or a decimal value
    k_ulong,  // decimal, unsigned
    k_long,   // decimal, signed
    k_hex,    // 1 to 2 x size hex digits
    k_float,  // decimal real, nearest single
    k_double, // decimal real, nearest double
    k_bool,   // TRUE or FALSE
    k_string, // quoted, cut to size and padded with NUL
    k_satid,  // prn, prn+k or prn-k: Ushort prn, Short k
};

struct field {
    kind k;
    std::uint8_t size; // bytes in the binary body
    etable table;      // of an enum field
};

// The field types, by the names NovAtel's log tables give them.
constexpr field en(etable t)
{
    return {k_enum, 4, t};
}
constexpr field u32{k_ulong, 4, ntables}; // Ulong
constexpr field i32{k_long, 4, ntables};  // Long
constexpr field u16{k_ulong, 2, ntables}; // Ushort
constexpr field i16{k_long, 2, ntables};  // Short
constexpr field u8{k_ulong, 1, ntables};  // Uchar
constexpr field hex1{k_hex, 1, ntables};  // Hex, 1 byte
constexpr field hex4{k_hex, 4, ntables};  // Hex, 4 bytes (Ulong printed in hex)
constexpr field f32{k_float, 4, ntables};
constexpr field f64{k_double, 8, ntables};
constexpr field bool4{k_bool, 4, ntables};
constexpr field char4{k_string, 4, ntables}; // Char[4]
constexpr field satid{k_satid, 4, ntables};

// clang-format off
constexpr field bestpos[] = {                 // 42, body 72 bytes
    en(t_solstat), en(t_postype),             // 2-3   sol status, pos type
    f64, f64, f64, f32,                       // 4-7   lat, lon, hgt, undulation
    en(t_datum), f32, f32, f32,               // 8-11  datum id, lat/lon/hgt std dev
    char4, f32, f32,                          // 12-14 stn id, diff_age, sol_age
    u8, u8, u8, u8,                           // 15-18 #SVs, #solnSVs, #solnL1SVs, #solnMultiSVs
    hex1, hex1, hex1, hex1,                   // 19-22 reserved, ext sol stat, two sig masks
};
constexpr field bestvel[] = {                 // 99, body 44 bytes
    en(t_solstat), en(t_postype),             // 2-3   sol status, vel type
    f32, f32, f64, f64, f64, f32,             // 4-9   latency, age, hor spd, trk gnd, vert spd,
                                              //       reserved
};
constexpr field satvis[] = {                  // 48, fixed part 12 bytes
    bool4, bool4, u32,                        // 2-4   sat vis, comp alm, #sat
};
constexpr field satvis_rec[] = {              // 40 bytes
    i16, i16, u32,                            // 5-7   PRN/slot, glofreq, health
    f64, f64, f64, f64,                       // 8-11  elev, az, true dop, app dop
};
constexpr field trackstat[] = {               // 83, fixed part 16 bytes
    en(t_solstat), en(t_postype), f32, i32,   // 2-5   sol status, pos type, cutoff, #chans
};
constexpr field trackstat_rec[] = {           // 40 bytes
    i16, i16, hex4, f64,                      // 6-9   PRN/slot, glofreq, ch-tr-status, psr
    f32, f32, f32, f32,                       // 10-13 Doppler, C/No, locktime, psr res
    en(t_reject), f32,                        // 14-15 reject, psr weight
};
constexpr field timelog[] = {                 // 101, body 44 bytes
    en(t_clockstat), f64, f64, f64,           // 2-5   clock status, offset, offset std, utc offset
    u32, u8, u8, u8, u8, u32,                 // 6-11  utc year, month, day, hour, min, ms
    en(t_utcstat),                            // 12    utc status
};
constexpr field psrdop[] = {                  // 174, fixed part 28 bytes
    f32, f32, f32, f32, f32, f32, i32,        // 2-8   gdop, pdop, hdop, htdop, tdop, cutoff, #PRN
};
constexpr field psrdop_rec[] = {              // 4 bytes
    u32,                                      // 9     PRN
};
constexpr field bestxyz[] = {                 // 241, body 112 bytes
    en(t_solstat), en(t_postype),             // 2-3   P-sol status, pos type
    f64, f64, f64, f32, f32, f32,             // 4-9   P-X, P-Y, P-Z and their std devs
    en(t_solstat), en(t_postype),             // 10-11 V-sol status, vel type
    f64, f64, f64, f32, f32, f32,             // 12-17 V-X, V-Y, V-Z and their std devs
    char4, f32, f32, f32,                     // 18-21 stn id, V-latency, diff_age, sol_age
    u8, u8, u8, u8,                           // 22-25 #SVs, #solnSVs, #ggL1, #solnMultiSVs
    u8,                                       // 26    reserved
    hex1, hex1, hex1,                         // 27-29 ext sol stat, two sig masks
};
constexpr field inspva[] = {                  // 507 and INSPVAS 508, body 88 bytes
    u32, f64, f64, f64, f64,                  // 2-6   week, seconds, lat, lon, height
    f64, f64, f64, f64, f64, f64,             // 7-12  north, east, up vel, roll, pitch, azimuth
    en(t_insstat),                            // 13    status
};
constexpr field inspvax[] = {                 // 1465, body 126 bytes
    en(t_insstat), en(t_postype),             // 2-3   INS status, pos type
    f64, f64, f64, f32,                       // 4-7   lat, lon, height, undulation
    f64, f64, f64, f64, f64, f64,             // 8-13  north, east, up vel, roll, pitch, azimuth
    f32, f32, f32, f32, f32, f32,             // 14-19 lat, lon, height, north, east, up vel std dev
    f32, f32, f32,                            // 20-22 roll, pitch, azimuth std dev
    hex4, u16,                                // 23-24 ext sol stat, time since update
};
constexpr field heading[] = {                 // 971, body 44 bytes
    en(t_solstat), en(t_postype),             // 2-3   sol status, pos type
    f32, f32, f32, f32, f32, f32,             // 4-9   length, heading, pitch, reserved,
                                              //       hdg std dev, ptch std dev
    char4, u8, u8, u8, u8,                    // 10-14 stn id, #SVs, #solnSVs, #obs, #multi
    hex1, hex1, hex1, hex1,                   // 15-18 sol source, ext sol stat, two sig masks
};
constexpr field satvis2[] = {                 // 1043, fixed part 16 bytes
    en(t_satsys), bool4, bool4, u32,          // 2-5   system, sat vis, comp alm, #sat
};
constexpr field satvis2_rec[] = {             // 40 bytes
    satid, u32,                               // 6-7   satellite id, health
    f64, f64, f64, f64,                       // 8-11  elev, az, true dop, app dop
};
constexpr field psrdop2[] = {                 // 1163, fixed part 20 bytes
    f32, f32, f32, f32, u32,                  // 2-6   gdop, pdop, hdop, vdop, #systems
};
constexpr field psrdop2_rec[] = {             // 8 bytes
    en(t_dopsys), f32,                        // 7-8   system, tdop
};
constexpr field heading2[] = {                // 1335, body 48 bytes
    en(t_solstat), en(t_postype),             // 2-3   sol status, pos type
    f32, f32, f32, f32, f32, f32,             // 4-9   length, heading, pitch, reserved,
                                              //       hdg std dev, ptch std dev
    char4, char4,                             // 10-11 rover stn id, master stn id
    u8, u8, u8, u8,                           // 12-15 #SVs, #solnSVs, #obs, #multi
    hex1, hex1, hex1, hex1,                   // 16-19 sol source, ext sol stat, two sig masks
};
// clang-format on

struct layout {
    std::uint16_t id;
    const field* fixed; // the count of an array log last
    int nfixed;
    const field* rec; // null for a log without records
    int nrec;
};

template <int N> constexpr layout plain(std::uint16_t id, const field (&f)[N])
{
    return {id, f, N, nullptr, 0};
}
template <int N, int R>
constexpr layout array(std::uint16_t id, const field (&f)[N], const field (&r)[R])
{
    return {id, f, N, r, R};
}

// By logname.
constexpr layout layouts[nlogs] = {
    plain(id_bestpos, bestpos),
    plain(id_bestvel, bestvel),
    array(id_satvis, satvis, satvis_rec),
    array(id_trackstat, trackstat, trackstat_rec),
    plain(id_time, timelog),
    array(id_psrdop, psrdop, psrdop_rec),
    plain(id_inspva, inspva),
    plain(id_inspvas, inspva),
    plain(id_inspvax, inspvax),
    plain(id_bestxyz, bestxyz),
    array(id_psrdop2, psrdop2, psrdop2_rec),
    array(id_satvis2, satvis2, satvis2_rec),
    plain(id_heading, heading),
    plain(id_heading2, heading2),
};

constexpr int bytes(const field* f, int n)
{
    int s = 0;
    for (int i = 0; i < n; ++i)
        s += f[i].size;
    return s;
}

constexpr bool in_log_order()
{
    for (int k = 0; k < nlogs; ++k)
        if (layouts[k].id != logs[k].id)
            return false;
    return true;
}
static_assert(in_log_order(), "layouts[] follows logname");

// The body sizes NovAtel documents: the fixed part, then a record.
constexpr bool sized(logname k, int fixed, int rec)
{
    const layout& l = layouts[k];
    return bytes(l.fixed, l.nfixed) == fixed && bytes(l.rec, l.nrec) == rec;
}
static_assert(sized(log_bestpos, 72, 0) && sized(log_bestvel, 44, 0) && sized(log_satvis, 12, 40) &&
                  sized(log_trackstat, 16, 40) && sized(log_time, 44, 0) &&
                  sized(log_psrdop, 28, 4) && sized(log_inspva, 88, 0) &&
                  sized(log_inspvas, 88, 0) && sized(log_inspvax, 126, 0) &&
                  sized(log_bestxyz, 112, 0) && sized(log_psrdop2, 20, 8) &&
                  sized(log_satvis2, 16, 40) && sized(log_heading, 44, 0) &&
                  sized(log_heading2, 48, 0),
              "the documented body sizes");

// An array log's count is its last fixed field, 4 bytes.
constexpr bool counts_last()
{
    for (const layout& l : layouts)
        if (l.rec && (l.fixed[l.nfixed - 1].size != 4 ||
                      (l.fixed[l.nfixed - 1].k != k_ulong && l.fixed[l.nfixed - 1].k != k_long)))
            return false;
    return true;
}
static_assert(counts_last(), "an array's count ends its fixed fields");

// ---------------------------------------------------------------------------
// Characters.

enum : std::uint8_t { c_digit = 1, c_name = 2, c_hex = 4, c_sep = 8 }; // c_sep: " \r\n"

struct chartable {
    std::uint8_t cls[256];
    std::uint8_t val[256]; // of a hex digit
};

constexpr chartable make_chars()
{
    chartable t{};
    for (int c = '0'; c <= '9'; ++c)
        t.cls[c] = c_digit | c_name | c_hex, t.val[c] = std::uint8_t(c - '0');
    for (int c = 'A'; c <= 'Z'; ++c)
        t.cls[c] = c_name;
    for (int c = 'a'; c <= 'z'; ++c)
        t.cls[c] = c_name;
    for (int c = 0; c < 6; ++c) {
        t.cls['A' + c] = c_name | c_hex, t.val['A' + c] = std::uint8_t(10 + c);
        t.cls['a' + c] = c_name | c_hex, t.val['a' + c] = std::uint8_t(10 + c);
    }
    t.cls[int('_')] = c_name;
    t.cls[int(' ')] = t.cls[int('\r')] = t.cls[int('\n')] = c_sep;
    return t;
}
constexpr chartable chars = make_chars();

inline std::uint8_t cls(char c)
{
    return chars.cls[static_cast<unsigned char>(c)];
}

// ---------------------------------------------------------------------------
// Enum names by hash: open addressing over all tables at once, built when
// the program is compiled. A name is looked up by its length and two words
// of it, its first eight bytes and its last eight (the same word when it is
// shorter), each read at once; the words hold the whole of a name of up to
// 16 bytes, and a longer one is compared in full.

constexpr int hash_slots = 512; // a power of two, twice the names or more

struct namekey {
    std::uint64_t first, last; // first byte lowest
    int len;
};

constexpr std::uint64_t word_of(const char* s, int n) // n <= 8
{
    std::uint64_t w = 0;
    for (int i = 0; i < n; ++i)
        w |= std::uint64_t(static_cast<unsigned char>(s[i])) << (8 * i);
    return w;
}

constexpr namekey key_of(const char* s, int len)
{
    int k = len < 8 ? len : 8;
    return {word_of(s, k), word_of(s + len - k, k), len};
}

constexpr std::uint32_t slot_of(const namekey& k, int table)
{
    std::uint64_t h = k.first * 0x9E3779B97F4A7C15u ^ k.last * 0xC2B2AE3D27D4EB4Fu ^
                      std::uint64_t(k.len * ntables + table) * 0x165667B19E3779F9u;
    return std::uint32_t(h >> 55) & (hash_slots - 1);
}

struct slot {
    const char* name; // null: empty
    namekey key;
    std::uint8_t table;
    std::uint32_t value;
};

struct namehash {
    slot at[hash_slots];
};

constexpr namehash make_names()
{
    namehash h{};
    for (int t = 0; t < ntables; ++t)
        for (int i = 0; i < etables[t].n; ++i) {
            const ename& en = etables[t].names[i];
            int len = 0;
            while (en.name[len])
                ++len;
            namekey k = key_of(en.name, len);
            std::uint32_t s = slot_of(k, t);
            while (h.at[s].name)
                s = (s + 1) & (hash_slots - 1);
            h.at[s] = {en.name, k, std::uint8_t(t), en.value};
        }
    return h;
}
constexpr namehash names = make_names();

constexpr int all_names()
{
    int n = 0;
    for (const enames& t : etables)
        n += t.n;
    return n;
}
static_assert(2 * all_names() <= hash_slots, "the name hash stays sparse");

// ---------------------------------------------------------------------------
// Field texts. Each parser reads the whole text [b, e) or fails.

void st16(std::uint8_t* o, std::uint32_t v)
{
    o[0] = std::uint8_t(v);
    o[1] = std::uint8_t(v >> 8);
}
void st32(std::uint8_t* o, std::uint32_t v)
{
    st16(o, v);
    st16(o + 2, v >> 16);
}
void st64(std::uint8_t* o, std::uint64_t v)
{
    st32(o, std::uint32_t(v));
    st32(o + 4, std::uint32_t(v >> 32));
}
void store_real(std::uint8_t* o, float x)
{
    std::uint32_t u;
    std::memcpy(&u, &x, sizeof u);
    st32(o, u);
}
void store_real(std::uint8_t* o, double x)
{
    std::uint64_t u;
    std::memcpy(&u, &x, sizeof u);
    st64(o, u);
}
void store(std::uint8_t* o, std::uint32_t v, int size)
{
    if (size == 4)
        st32(o, v);
    else if (size == 2)
        st16(o, v);
    else
        o[0] = std::uint8_t(v);
}

// One or more decimal digits of value at most max: the value, or -1.
std::int64_t decimal(const char* b, const char* e, std::uint32_t max)
{
    if (b == e)
        return -1;
    std::int64_t x = 0;
    for (; b < e; ++b) {
        if (!(cls(*b) & c_digit))
            return -1;
        x = x * 10 + (*b - '0');
        if (x > max)
            return -1;
    }
    return x;
}

// An integer of `size` bytes: optional sign, digits, within the type's range
// (no minus sign at all on an unsigned type).
PELLUCID_NOINLINE bool integer(const char* b, const char* e, int size, bool sign, std::uint8_t* o)
{
    bool neg = false;
    if (b < e && (*b == '+' || *b == '-')) {
        neg = *b == '-';
        ++b;
    }
    if (neg && !sign)
        return false;
    std::uint32_t top = size == 4 ? 0xFFFFFFFFu : size == 2 ? 0xFFFFu : 0xFFu;
    if (sign)
        top = top / 2 + neg; // 2^31 - 1, or 2^31 below zero
    std::int64_t v = decimal(b, e, top);
    if (v < 0)
        return false;
    store(o, neg ? 0u - std::uint32_t(v) : std::uint32_t(v), size);
    return true;
}

PELLUCID_NOINLINE bool hex(const char* b, const char* e, int size, std::uint8_t* o)
{
    if (b == e || e - b > 2 * size)
        return false;
    std::uint32_t v = 0;
    for (; b < e; ++b) {
        if (!(cls(*b) & c_hex))
            return false;
        v = v << 4 | chars.val[static_cast<unsigned char>(*b)];
    }
    store(o, v, size);
    return true;
}

// A name of the field's enumeration, or a decimal value. The text may be
// read back to begin.
PELLUCID_NOINLINE bool enumerated(const char* b, const char* e, const char* begin, etable t,
                                  std::uint8_t* o)
{
    int len = int(e - b);
    auto* u = reinterpret_cast<const std::uint8_t*>(b);
    namekey k{};
    if (len >= 8)
        k = {ld_u64(u), ld_u64(u + len - 8), len};
    else if (e - begin >= 8 && len > 0) // the 8 bytes that end the name, those before it left out
        k.first = k.last = ld_u64(u + len - 8) >> (8 * (8 - len)), k.len = len;
    else
        k = key_of(b, len);
    for (std::uint32_t s = slot_of(k, t); names.at[s].name; s = (s + 1) & (hash_slots - 1)) {
        const slot& x = names.at[s];
        if (x.table == t && x.key.len == len && x.key.first == k.first && x.key.last == k.last &&
            (len <= 16 || std::memcmp(x.name, b, std::size_t(len)) == 0)) {
            st32(o, x.value);
            return true;
        }
    }
    // Not a name of the table: another name reads as 4294967295, digits as
    // their value.
    if (b == e)
        return false;
    bool all = true; // digits
    for (const char* p = b; p < e; ++p) {
        std::uint8_t c = cls(*p);
        if (!(c & c_name))
            return false;
        all = all && (c & c_digit);
    }
    std::int64_t v = all ? decimal(b, e, 0xFFFFFFFFu) : 0xFFFFFFFFu;
    if (v < 0)
        return false;
    st32(o, std::uint32_t(v));
    return true;
}

// prn, prn+k or prn-k: prn at most 65535, k a Short.
PELLUCID_NOINLINE bool satellite(const char* b, const char* e, std::uint8_t* o)
{
    const char* s = b;
    while (s < e && *s != '+' && *s != '-')
        ++s;
    std::int64_t prn = decimal(b, s, 0xFFFFu), k = 0;
    if (s < e)
        k = decimal(s + 1, e, *s == '-' ? 0x8000u : 0x7FFFu);
    if (prn < 0 || k < 0)
        return false;
    st16(o, std::uint32_t(prn));
    st16(o + 2, s < e && *s == '-' ? 0u - std::uint32_t(k) : std::uint32_t(k));
    return true;
}

// Powers of ten that the two types hold exactly.
constexpr double p10[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                          1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
constexpr float p10f[] = {1e0f, 1e1f, 1e2f, 1e3f, 1e4f, 1e5f, 1e6f, 1e7f, 1e8f, 1e9f, 1e10f};

template <class T> struct real_traits;
template <> struct real_traits<double> {
    static constexpr std::uint64_t exact = std::uint64_t(1) << 53;
    static constexpr int pow_max = 22;
    static double pow(int i) { return p10[i]; }
};
template <> struct real_traits<float> {
    static constexpr std::uint64_t exact = std::uint64_t(1) << 24;
    static constexpr int pow_max = 10;
    static float pow(int i) { return p10f[i]; }
};

inline unsigned digit(char c)
{
    return static_cast<unsigned>(static_cast<unsigned char>(c) - '0'); // above 9: none
}

// Whether a decimal [digits][.digits] times 10^exp is 1 or more (when it is
// not zero): the power of ten of its first nonzero digit is 0 or more.
bool one_or_more(const char* p, const char* e, long long exp)
{
    long long lead = -1;
    for (; p < e && digit(*p) <= 9; ++p)
        if (lead >= 0 || *p != '0')
            ++lead;
    if (lead < 0 && p < e && *p == '.')
        for (++p; p < e && *p == '0'; ++p)
            --lead;
    return lead + exp >= 0;
}

// [+-]? (digits [. digits*] | . digits) ([eE] [+-]? digits)?, to the nearest
// value of T (half to even). Overflow fails; underflow gives 0 or a
// subnormal. Most receiver numbers have at most 19 digits and a small power
// of ten: when both the digits and the power are exact in T one
// multiplication or division rounds correctly, while T's arithmetic is T's
// own (FLT_EVAL_METHOD 0, or MSVC's 64-bit targets). Everything else goes to
// std::from_chars, which rounds exactly, after the grammar above has been
// checked here (it would take "inf" and "nan", and not a leading '+').
template <class T> PELLUCID_NOINLINE bool real_text(const char* b, const char* e, std::uint8_t* o)
{
    using tr = real_traits<T>;
    const char* p = b;
    bool neg = false;
    if (p < e && (*p == '+' || *p == '-')) {
        neg = *p == '-';
        ++p;
    }
    const char* num = p;
    std::uint64_t m = 0; // the digits, exact when there are 19 or fewer
    unsigned d;
    for (; p < e && (d = digit(*p)) <= 9; ++p)
        m = m * 10 + d;
    long long n = p - num, frac = 0; // digits, and those after the point
    if (p < e && *p == '.') {
        const char* f = ++p;
        for (; p < e && (d = digit(*p)) <= 9; ++p)
            m = m * 10 + d;
        frac = p - f;
        n += frac;
    }
    if (n == 0)
        return false;
    const char* mant_end = p;
    long long exp = 0;
    if (p < e && (*p == 'e' || *p == 'E')) {
        ++p;
        bool eneg = false;
        if (p < e && (*p == '+' || *p == '-')) {
            eneg = *p == '-';
            ++p;
        }
        if (p == e)
            return false;
        for (; p < e && (d = digit(*p)) <= 9; ++p)
            if (exp < 100000000)
                exp = exp * 10 + d;
        if (eneg)
            exp = -exp;
    }
    if (p != e)
        return false;
    long long e10 = exp - frac;
#if (defined(FLT_EVAL_METHOD) && FLT_EVAL_METHOD == 0) || defined(_M_X64) || defined(_M_ARM64)
    if (n <= 19 && m <= tr::exact && e10 >= -tr::pow_max && e10 <= tr::pow_max) {
        T x = static_cast<T>(m);
        x = e10 < 0 ? x / tr::pow(int(-e10)) : x * tr::pow(int(e10));
        store_real(o, neg ? -x : x);
        return true;
    }
#endif
    T x{};
    std::from_chars_result r = std::from_chars(num, e, x);
    if (r.ec == std::errc::result_out_of_range) {
        if (one_or_more(num, mant_end, exp))
            return false; // overflow
        x = 0;            // underflow: below half the least subnormal
    } else if (r.ec != std::errc() || r.ptr != e || !(x - x == 0)) {
        return false;
    }
    store_real(o, neg ? -x : x);
    return true;
}

// The arithmetic of float and double their own (FLT_EVAL_METHOD 0, or
// MSVC's 64-bit targets), as the fast paths of the reals need it.
#if (defined(FLT_EVAL_METHOD) && FLT_EVAL_METHOD == 0) || defined(_M_X64) || defined(_M_ARM64)
#define PELLUCID_OWN_ARITHMETIC 1
#endif

#if defined(PELLUCID_SSE2) && defined(PELLUCID_OWN_ARITHMETIC)
// A real of the form receivers print, [+-]? digits [. digits] in at most 16
// bytes, whose digits and power of ten are exact in T, read from the 16
// bytes that end at its end e, and its bytes stored at o. false for any
// other text (an exponent, a second point or sign, no digit, too many
// digits), which real_text reads.
template <class T> bool plain_real(const char* b, const char* e, std::uint8_t* o)
{
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(e - 16));
    const __m128i at = _mm_setr_epi8(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
    auto mask = [](__m128i x) { return static_cast<std::uint32_t>(_mm_movemask_epi8(x)); };
    int first = 16 - int(e - b); // the text's first byte
    std::uint32_t text = 0xFFFFu >> first << first;
    std::uint32_t figures = mask(_mm_and_si128(_mm_cmpgt_epi8(v, _mm_set1_epi8('0' - 1)),
                                               _mm_cmplt_epi8(v, _mm_set1_epi8('9' + 1)))) &
                            text;
    std::uint32_t point = mask(_mm_cmpeq_epi8(v, _mm_set1_epi8('.'))) & text;
    std::uint32_t sign = (*b == '+' || *b == '-') ? 1u << first : 0;
    if ((figures | point | sign) != text || figures == 0 || (point & (point - 1)) != 0)
        return false;
    // The point taken out: the bytes before it move one place on, and the
    // digits end the 16 bytes; those before the first digit become zeros.
    int lead = first + (sign != 0);
    int frac = 0;
    __m128i d = v;
    if (point != 0) {
        int j = low_bit(point);
        __m128i moved = _mm_cmplt_epi8(at, _mm_set1_epi8(static_cast<char>(j + 1)));
        d = _mm_or_si128(_mm_and_si128(moved, _mm_slli_si128(v, 1)), _mm_andnot_si128(moved, v));
        frac = 15 - j;
        ++lead;
    }
    d = _mm_andnot_si128(_mm_cmplt_epi8(at, _mm_set1_epi8(static_cast<char>(lead))),
                         _mm_sub_epi8(d, _mm_set1_epi8('0')));
    // Neighbours pair up into numbers of 2, 4 and 8 digits, the first of a
    // pair times 10, 100 and 10000.
    const __m128i zero = _mm_setzero_si128();
    const __m128i by10 = _mm_set1_epi32(0x0001000A), by100 = _mm_set1_epi32(0x00010064);
    const __m128i by10000 = _mm_set1_epi32(0x00012710);
    __m128i two = _mm_packs_epi32(_mm_madd_epi16(_mm_unpacklo_epi8(d, zero), by10),
                                  _mm_madd_epi16(_mm_unpackhi_epi8(d, zero), by10));
    __m128i four = _mm_madd_epi16(two, by100);
    __m128i eight = _mm_madd_epi16(_mm_packs_epi32(four, four), by10000);
    auto high = static_cast<std::uint32_t>(_mm_cvtsi128_si32(eight));
    auto low = static_cast<std::uint32_t>(_mm_cvtsi128_si32(_mm_srli_si128(eight, 4)));
    std::uint64_t m = std::uint64_t(high) * 100000000u + low;
    using tr = real_traits<T>;
    if (m > tr::exact || frac > tr::pow_max)
        return false;
    T x = static_cast<T>(m) / tr::pow(frac);
    store_real(o, *b == '-' ? -x : x);
    return true;
}
#endif

// A real field: the form receivers print by plain_real where it can be,
// every other text by real_text. plain_real rounds as real_text does: one
// division of exact values, where T's arithmetic is T's own.
template <class T> bool real(const char* b, const char* e, const char* begin, std::uint8_t* o)
{
#if defined(PELLUCID_SSE2) && defined(PELLUCID_OWN_ARITHMETIC)
    if (e > b && e - b <= 16 && e - begin >= 16 && plain_real<T>(b, e, o))
        return true;
#else
    (void)begin;
#endif
    return real_text<T>(b, e, o);
}

// The bytes of one field from its text [b, e), which may be read back to
// begin; quoted is true when the text came from between quotes.
bool put(const field& f, const char* b, const char* e, const char* begin, bool quoted,
         std::uint8_t* o)
{
    switch (f.k) {
    case k_enum: return enumerated(b, e, begin, f.table, o);
    case k_ulong: return integer(b, e, f.size, false, o);
    case k_long: return integer(b, e, f.size, true, o);
    case k_hex: return hex(b, e, f.size, o);
    case k_float: return real<float>(b, e, begin, o);
    case k_double: return real<double>(b, e, begin, o);
    case k_bool:
        if (e - b == 4 && std::memcmp(b, "TRUE", 4) == 0)
            st32(o, 1);
        else if (e - b == 5 && std::memcmp(b, "FALSE", 5) == 0)
            st32(o, 0);
        else
            return false;
        return true;
    case k_string: {
        if (!quoted)
            return false;
        std::size_t n = std::size_t(e - b) < f.size ? std::size_t(e - b) : f.size;
        std::memcpy(o, b, n);
        std::memset(o + n, 0, f.size - n);
        return true;
    }
    case k_satid: return satellite(b, e, o);
    }
    return false;
}

// ---------------------------------------------------------------------------
// Splitting a body into fields: next() gives the next field's text, or tells
// that the body has no more fields or that the next one is malformed.

enum step { got, none, bad };

struct text {
    const char* b;
    const char* e;
    bool quoted;
};

struct commas {
    const char* begin;
    const char* p;
    const char* end;
    bool more; // a field follows: after a ',' there always is one, if empty

    commas(const char* body, int n) : begin(body), p(body), end(body + n), more(n > 0) {}

    step next(text& t)
    {
        if (!more)
            return none;
        if (p < end && *p == '"') {
            auto* q = static_cast<const char*>(std::memchr(p + 1, '"', std::size_t(end - p - 1)));
            if (!q)
                return bad;
            t = {p + 1, q, true};
            p = q + 1;
            if (p == end)
                more = false;
            else if (*p == ',')
                ++p;
            else
                return bad;
            return got;
        }
        const char* q = comma_at(p, begin, end);
        t = {p, q, false};
        more = q < end;
        p = q + more;
        return got;
    }
};

struct lines {
    const char* begin;
    const char* p;
    const char* end;

    // The '<' that starts the first line is no field.
    lines(const char* body, int n) : begin(body), p(body), end(body + n)
    {
        p += n > 0 && *p == '<';
    }

    bool lf_next(const char* q) const { return q + 1 < end && q[1] == '\n'; }

    step next(text& t)
    {
        // Separators: spaces, line ends (LF or CR LF) and the '<' after them.
        for (; p < end; ++p) {
            if (*p == '\n')
                p += p + 1 < end && p[1] == '<';
            else if (*p != ' ' && !(*p == '\r' && lf_next(p)))
                break;
        }
        if (p == end)
            return none;
        if (*p == '"') {
            const char* q = p + 1;
            while (q < end && *q != '"' && *q != '\n')
                ++q;
            if (q == end || *q != '"')
                return bad;
            t = {p + 1, q, true};
            p = q + 1;
            bool ends = p == end || *p == ' ' || *p == '\n' || (*p == '\r' && lf_next(p));
            return ends ? got : bad;
        }
        const char* b = p;
        for (;; ++p) { // to a space or a line end; a CR alone is part of the field
            while (p < end && !(cls(*p) & c_sep))
                ++p;
            if (p == end || *p != '\r' || lf_next(p))
                break;
        }
        t = {b, p, false};
        return got;
    }
};

template <class S> int decode(const layout& l, S in, std::uint8_t* out, int room)
{
    text t{};
    int at = 0;
    for (int i = 0; i < l.nfixed; ++i) {
        step s = in.next(t);
        if (s != got)
            return s == none ? at : -1;
        const field& f = l.fixed[i];
        if (f.size > room - at || !put(f, t.b, t.e, in.begin, t.quoted, out + at))
            return -1;
        at += f.size;
    }
    if (!l.rec)
        return at;
    // The count as written: a Long below zero gives no records.
    const field& c = l.fixed[l.nfixed - 1];
    std::uint32_t count = ld_u32(out + at - 4);
    if (c.k == k_long && count >> 31)
        count = 0;
    std::uint8_t spare[64]; // a record past room: parsed, then dropped or rejected
    int size = bytes(l.rec, l.nrec);
    for (std::uint32_t r = 0; r < count; ++r) {
        std::uint8_t* o = size <= room - at ? out + at : spare;
        for (int i = 0; i < l.nrec; ++i) {
            step s = in.next(t);
            if (s != got)
                return s == none ? at : -1; // a partial record is dropped
            const field& f = l.rec[i];
            if (!put(f, t.b, t.e, in.begin, t.quoted, o))
                return -1;
            o += f.size;
        }
        if (size > room - at)
            return -1;
        at += size;
    }
    return at;
}

constexpr bool records_fit()
{
    for (const layout& l : layouts)
        if (bytes(l.rec, l.nrec) > 64)
            return false;
    return true;
}
static_assert(records_fit(), "a record fits decode's spare bytes");

} // namespace

int decode_body(logname k, const char* body, int n, bodyform f, std::uint8_t* out, int room)
{
    if (k < 0 || k >= nlogs || n < 0 || (n > 0 && !body))
        return -1;
    if (room < 0 || !out)
        room = 0;
    const layout& l = layouts[k];
    return f == bodyform::commas ? decode(l, commas(body, n), out, room)
                                 : decode(l, lines(body, n), out, room);
}
