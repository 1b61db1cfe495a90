#include "convert.h"

#include "../../input/store.h"
#include "../sentences/writer.h"
#include "../state.h"
#include "ecef.h"
#include "gpstime.h"
#include "leaps.h"
#include "whole.h"

#include <cmath>
#include <cstring>
#include <initializer_list>

namespace {

// Records that a stored frame really holds: its count, bounded by what its
// message length has room for. Records beyond the frame are never read.
int records(std::int32_t count, int msglen, int fixed)
{
    if (count <= 0 || msglen < fixed)
        return 0;
    int room = (msglen - fixed) / 40;
    return count < room ? count : room;
}

// The GGA fix quality of a position type: 1 autonomous, 2 differential or
// converging PPP, 4 fixed RTK, 5 float RTK or converged PPP, 6 dead
// reckoning, 7 fixed position, 9 SBAS, 0 no fix. An INS type takes the
// quality of the GNSS solution that updates it.
std::int32_t quality_of(std::uint32_t type)
{
    switch (type) {
    case pos_fixedpos: return 7;
    case pos_single:
    case pos_fixedheight:
    case pos_ins_psrsp:
    case pos_operational:
    case pos_warning:
    case pos_ppp_basic_converging:
    case pos_ins_ppp_basic_converging: return 1;
    case pos_psrdiff:
    case pos_omnistar:
    case pos_cdgps:
    case pos_ins_psrdiff:
    case pos_ins_omnistar:
    case pos_ppp_converging:
    case pos_ins_ppp_converging:
    case pos_ppp_basic:
    case pos_ins_ppp_basic: return 2;
    case pos_l1_int:
    case pos_wide_int:
    case pos_narrow_int:
    case pos_l1l2_int:
    case pos_l1l2_int_verified:
    case pos_ins_rtkfixed: return 4;
    case pos_l1_float:
    case pos_ionofree_float:
    case pos_narrow_float:
    case pos_l1l2_float:
    case pos_omnistar_hp:
    case pos_omnistar_xp:
    case pos_rtk_direct_ins:
    case pos_ins_rtkfloat:
    case pos_ins_omnistar_hp:
    case pos_ins_omnistar_xp:
    case pos_ppp:
    case pos_ins_ppp:
    case pos_ppp_plus:
    case pos_ins_ppp_plus: return 5;
    case pos_propagated: return 6;
    case pos_waas:
    case pos_ins_sbas: return 9;
    default: return 0; // none, fixed velocity, out of bounds, unknown
    }
}

// Hemisphere letter, whole degrees and minutes of an angle; zero of either
// sign and NaN count as positive.
void split_angle(double v, char pos, char neg, char& hemi, std::int32_t& deg, double& min)
{
    double a = v;
    hemi = pos;
    if (v < 0.0) {
        hemi = neg;
        a = -v;
    }
    deg = to_i32(a);
    min = (a - deg) * 60.0;
}

// Pairs the latest SATVIS with the latest TRACKSTAT into the satellite list;
// answers whether the list has any satellite.
bool take_satellites(logstore& store, nmeastate& s)
{
    const std::uint8_t* sv = slot(store, log_satvis);
    int n = 0;
    int nsv = records(satvis_count(sv), msg_length(sv), satvis_fixed);
    for (int i = 0; i < nsv && n < max_sats; ++i) {
        satvis_rec r = read_satvis(sv, i);
        if (r.prn != 0 && r.elevation >= 0.0) {
            s.sats[n] = {r.prn, to_i32(r.elevation), to_i32(r.azimuth), -1};
            ++n;
        }
    }
    // Each channel sets the C/No of every listed satellite of its PRN; the
    // list is chained by the PRN's low bits to find them at once.
    std::int16_t head[64], next[max_sats];
    for (std::int16_t& h : head)
        h = -1;
    for (int k = 0; k < n; ++k) {
        std::int16_t& h = head[s.sats[k].prn & 63];
        next[k] = h;
        h = static_cast<std::int16_t>(k);
    }
    const std::uint8_t* ts = slot(store, log_trackstat);
    int nts = records(trackstat_count(ts), msg_length(ts), trackstat_fixed);
    for (int i = 0; i < nts; ++i) {
        trackstat_rec c = read_trackstat(ts, i);
        if ((c.status & 0x00600000u) != 0 || c.prn == 0)
            continue;
        for (int k = head[c.prn & 63]; k >= 0; k = next[k])
            if (s.sats[k].prn == c.prn)
                s.sats[k].snr = to_i32(c.cno);
    }
    s.nsats = n;
    slot(store, log_satvis)[0] = 0;
    slot(store, log_trackstat)[0] = 0;
    return n > 0;
}

// Records of a stored frame counted in 32 unsigned bits, bounded by what its
// message length has room for.
int records_u32(std::uint32_t count, int msglen, int fixed, int size)
{
    if (msglen < fixed)
        return 0;
    auto room = static_cast<std::uint32_t>((msglen - fixed) / size);
    return static_cast<int>(count < room ? count : room);
}

// The system of a SATVIS2 log, and of a TRACKSTAT channel (bits 16 to 18 of
// its tracking status); -1 for a system that is not written.
int satvis2_sys(std::uint32_t system)
{
    switch (system) {
    case 0: return sys_gps;
    case 1: return sys_glonass;
    case 2: return sys_sbas;
    case 5: return sys_galileo;
    case 6: return sys_beidou;
    case 7: return sys_qzss;
    case 9: return sys_navic;
    default: return -1;
    }
}

int trackstat_sys(std::uint32_t status)
{
    constexpr int by_bits[8] = {sys_gps,    sys_glonass, sys_sbas,  sys_galileo,
                                sys_beidou, sys_qzss,    sys_navic, -1};
    return by_bits[(status >> 16) & 7];
}

// The NMEA number of a satellite of a system, from the number a SATVIS2
// record gives it (a GLONASS slot) or a TRACKSTAT channel (a GLONASS slot
// plus 37); 0 when it lies outside the system's range.
constexpr std::int32_t most_number = 96; // GLONASS slot 32
std::int32_t sky_number(int sys, std::int32_t id, bool trackstat)
{
    auto within = [&](std::int32_t lo, std::int32_t hi) { return id >= lo && id <= hi; };
    switch (sys) {
    case sys_gps: return within(1, 32) ? id : 0;
    case sys_sbas: return within(120, 151) ? id - 87 : 0;
    case sys_glonass:
        if (trackstat)
            id -= 37;
        return within(1, 32) ? 64 + id : 0;
    case sys_galileo: return within(1, 36) ? id : 0;
    case sys_beidou: return within(1, 63) ? id : 0;
    case sys_qzss: return within(193, 202) ? id - 192 : 0;
    default: return within(1, 14) ? id : 0; // NavIC
    }
}

// Takes a SATVIS2 of a system that is written: its satellites above the
// horizon, in record order, become the system's list. The first starts the
// mode in which only a TRACKSTAT writes satellites, for good, and drops a
// SATVIS or TRACKSTAT waiting for its partner.
void take_satvis2(logstore& store, nmeastate& s)
{
    const std::uint8_t* f = slot(store, log_satvis2);
    if (!holds(f, satvis2_needs))
        return;
    int sys = satvis2_sys(satvis2_system(f));
    if (sys < 0)
        return;
    if (!s.skymode) {
        s.skymode = true;
        slot(store, log_satvis)[0] = slot(store, log_trackstat)[0] = 0;
    }
    int n = 0;
    int nrec = records_u32(satvis2_count(f), msg_length(f), satvis2_fixed, 40);
    for (int i = 0; i < nrec && n < group_max; ++i) {
        satvis2_rec r = read_satvis2(f, i);
        std::int32_t number = sky_number(sys, r.id, false);
        if (r.elevation >= 0.0 && number != 0)
            s.sky[sys][n++] = {number, to_i32(r.elevation), to_i32(r.azimuth), -1};
    }
    s.nsky[sys] = n;
}

// The satellites of each system to write, with their C/No.
struct skycycle {
    satinfo sats[nsys][group_max];
    std::int32_t n[nsys];
};

// A cycle of GSV groups from a TRACKSTAT: with the latest SATVIS2 lists, or
// (alone) from its own channels, each satellite once, at its first channel,
// with elevation and azimuth unknown. A satellite's C/No is that of the
// last primary L1 channel of its system and number.
void sky_cycle(const std::uint8_t* ts, const nmeastate& s, skycycle& c, bool alone)
{
    std::int32_t cno[nsys][most_number + 1];
    bool seen[nsys][most_number + 1] = {};
    for (auto& row : cno)
        for (std::int32_t& v : row)
            v = -1;
    for (int k = 0; k < nsys; ++k)
        c.n[k] = alone ? 0 : s.nsky[k];
    int nts = records(trackstat_count(ts), msg_length(ts), trackstat_fixed);
    for (int i = 0; i < nts; ++i) {
        trackstat_rec ch = read_trackstat(ts, i);
        if ((ch.status & 0x08000000u) == 0 || ch.prn == 0)
            continue;
        int sys = trackstat_sys(ch.status);
        std::int32_t number = sys < 0 ? 0 : sky_number(sys, ch.prn, true);
        if (number == 0)
            continue;
        cno[sys][number] = to_i32(ch.cno);
        if (alone && !seen[sys][number] && c.n[sys] < group_max) {
            seen[sys][number] = true;
            c.sats[sys][c.n[sys]++] = {number, no_elevation, 0, -1};
        }
    }
    for (int k = 0; k < nsys; ++k)
        for (std::int32_t i = 0; i < c.n[k]; ++i) {
            satinfo& v = c.sats[k][i];
            if (!alone)
                v = s.sky[k][i];
            v.snr = cno[k][v.prn];
        }
}

// Writes the cycle's groups in talker order (GPS and SBAS together under
// GP); answers the sentences written.
std::int32_t put_cycle(const skycycle& c, recbuf& out)
{
    satinfo gp[group_max];
    std::int32_t n = 0;
    for (int k : {sys_gps, sys_sbas})
        for (std::int32_t i = 0; i < c.n[k] && n < group_max; ++i)
            gp[n++] = c.sats[k][i];
    std::int32_t count = put_gsv_group("GP", gp, n, out);
    const char* talkers[nsys] = {"", "", "GL", "GA", "GB", "GQ", "GI"};
    for (int k = sys_glonass; k < nsys; ++k)
        count += put_gsv_group(talkers[k], c.sats[k], c.n[k], out);
    return count;
}

// Takes a PSRDOP with /all: PDOP, VDOP from PDOP and HDOP, and the NMEA
// numbers of its first twelve satellites.
void take_dops(const std::uint8_t* f, nmeastate& s)
{
    double p = read_pdop(f), h = s.hdop;
    double d = p * p - h * h;
    s.pdop = p;
    s.vdop = d < 0.0 ? 0.0 : std::sqrt(d);
    s.dopfrom = 1;
    int n = 0;
    int nrec = records_u32(psrdop_count(f), msg_length(f), psrdop_fixed, 4);
    for (int i = 0; i < nrec && i < psrdop_max && n < 12; ++i) {
        std::uint32_t prn = psrdop_prn(f, i);
        if (prn != 0)
            s.dopsats[n++] = nmea_prn(static_cast<std::int32_t>(prn));
    }
    s.ndopsats = n;
}

// Takes a HEADING or HEADING2 with a computed solution at a new epoch (by
// the rule fixes follow, kept apart from theirs); answers whether an HDT is
// due.
bool take_heading(const std::uint8_t* f, nmeastate& s)
{
    if (!holds(f, heading_needs))
        return false;
    heading_log h = read_heading(f);
    if (h.solstat != 0)
        return false;
    std::int64_t t = gps_ms(header_week(f), header_msec(f));
    if (s.hasheading && t <= s.lastheading && t > s.lastheading - 1000)
        return false;
    s.lastheading = t;
    s.hasheading = true;
    s.heading = h.heading;
    return true;
}

// Takes a valid TIME log; answers whether it calls for a ZDA.
bool take_time(const std::uint8_t* slot, nmeastate& s, const nmeaopt& opt)
{
    if (!holds(slot, time_needs))
        return false;
    time_log t = read_time(slot);
    if (t.status != 1)
        return false;
    if (!opt.manualutc) {
        // Only an offset a manual one could also be: finite and within
        // 32 bits of seconds; anything else leaves the offset as it was.
        double sum = t.utcoff + t.clockoff;
        if (std::isfinite(sum) && std::fabs(sum) <= 2147483647.0) {
            s.utcoffset = sum;
            s.hasutcoffset = true;
        }
    }
    s.zyear = static_cast<std::int32_t>(t.year);
    s.zmonth = t.month;
    s.zday = t.day;
    s.zhour = t.hour;
    s.zminute = t.minute;
    s.zsecond = static_cast<std::int32_t>(t.msec / 1000);
    s.zhsec = static_cast<std::int32_t>((t.msec % 1000) / 10);
    return true;
}

// The differential corrections a BESTPOS or BESTXYZ fix was made with: the
// base station's id (char[4]) and the age of the corrections (float,
// seconds), at these offsets of the log's body. A frame long enough to be
// read holds both.
struct corrections {
    const std::uint8_t* station;
    float age;
};
constexpr int bestpos_station = 52, bestpos_age = 56;
constexpr int bestxyz_station = 88, bestxyz_age = 96;
static_assert(bestpos_needs >= bestpos_age + 4 && bestxyz_needs >= bestxyz_age + 4,
              "a log that is read holds its corrections' fields");

corrections read_corrections(const std::uint8_t* f, int station, int age)
{
    return {f + frame_header + station, ld_f32(f + frame_header + age)};
}

// A fix from one of the position logs, as GGA and RMC print it.
struct fixin {
    std::uint16_t week;
    std::uint32_t msec;
    double lat, lon, height, undulation;
    std::int32_t svused, quality;
    const sigmas* sd = nullptr;        // BESTPOS and INSPVAX give them
    const double* azimuth = nullptr;   // an INS fix gives its own
    const corrections* diff = nullptr; // BESTPOS and BESTXYZ give them
};

// GGA qualities of a fix made with corrections: differential or converging
// PPP (2), RTK fixed (4), RTK float or converged PPP (5), SBAS (9).
bool corrected(std::int32_t quality)
{
    return quality == 2 || quality == 4 || quality == 5 || quality == 9;
}

bool letter_or_digit(std::uint8_t c)
{
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// The corrections as GGA prints them: the age in whole seconds, held to 0
// to 99 (none when it is NaN or negative); the station's id up to its first
// NUL, when that is 1 to 4 letters or digits (none otherwise).
void take_corrections(const corrections& c, nmeastate& s)
{
    if (c.age >= 0.0f) { // false for NaN
        s.age = c.age < 99.0f ? static_cast<std::int32_t>(c.age) : 99;
        s.hasage = true;
    }
    std::size_t n = 0;
    while (n < sizeof s.station && letter_or_digit(c.station[n]))
        ++n;
    if (n > 0 && (n == sizeof s.station || c.station[n] == 0))
        std::memcpy(s.station, c.station, n);
}

void count(std::int32_t& n)
{
    if (n < INT32_MAX)
        ++n;
}

// Takes a fix into the state and dates it; answers whether GGA and RMC are
// due for it, which they are once a UTC offset is known (by hand, from a
// TIME log, or with autoutc from the leap-second table).
bool take_fix(const fixin& f, nmeastate& s, const nmeaopt& opt)
{
    std::int64_t t = gps_ms(f.week, f.msec);
    if (opt.all) {
        // One fix an epoch, whichever logs carry it: a fix is taken only
        // when it is later than the last one taken, or earlier by a second
        // or more (a recording appended to another).
        if (s.hasfix && t <= s.lastfix && t > s.lastfix - 1000)
            return false;
        s.lastfix = t;
        s.hasfix = true;
        s.fixsd = f.sd != nullptr;
        if (f.sd) {
            s.sdlat = f.sd->lat;
            s.sdlon = f.sd->lon;
            s.sdheight = f.sd->height;
        }
        s.fixins = f.azimuth != nullptr;
        if (f.azimuth)
            s.azimuth = *f.azimuth;
    }
    s.lat = f.lat;
    s.lon = f.lon;
    s.height = f.height;
    s.undulation = f.undulation;
    s.svused = f.svused;
    s.quality = f.quality;
    // The corrections belong to the fix: with /all, a differential or RTK
    // fix of BESTPOS or BESTXYZ gives them; every other fix leaves them
    // empty.
    s.hasage = false;
    std::memset(s.station, 0, sizeof s.station);
    if (opt.all && f.diff && corrected(f.quality))
        take_corrections(*f.diff, s);
    split_angle(s.lon, 'E', 'W', s.lonew, s.londeg, s.lonmin);
    split_angle(s.lat, 'N', 'S', s.latns, s.latdeg, s.latmin);
    s.week = f.week;
    s.tow = f.msec / 1000.0;
    bool dated = s.hasutcoffset != 0;
    if (!dated && opt.autoutc) {
        std::int32_t n = leap_seconds(t);
        s.utcoffset = -static_cast<double>(n);
        s.tableoffset = -n;
        s.hastable = true;
        dated = true;
    }
    set_fix_time(s);
    if (!dated)
        count(s.undated);
    return dated;
}

// Takes a BESTPOS with a computed solution; answers whether GGA and RMC are
// due.
bool take_position(const std::uint8_t* slot, nmeastate& s, const nmeaopt& opt)
{
    if (!holds(slot, bestpos_needs))
        return false;
    bestpos_log p = read_bestpos(slot);
    if (p.solstat != 0)
        return false;
    s.lastpostype = p.postype;
    s.lastund = p.undulation;
    s.lastsv = p.svused;
    s.haspostype = s.hasund = s.hassv = true;
    sigmas sd = read_bestpos_sd(slot);
    corrections diff = read_corrections(slot, bestpos_station, bestpos_age);
    return take_fix({p.week, p.msec, p.lat, p.lon, p.height, p.undulation, p.svused,
                     quality_of(p.postype), &sd, nullptr, &diff},
                    s, opt);
}

// Speed, track and vertical speed from north, east and up velocities.
void take_ins_velocity(double vn, double ve, double vu, nmeastate& s)
{
    constexpr double degrees = 180.0 / 3.141592653589793;
    s.speed = std::sqrt(vn * vn + ve * ve);
    double track = std::atan2(ve, vn) * degrees;
    if (track < 0.0)
        track += 360.0;
    s.track = track;
    s.vspeed = vu;
    s.hasvel = true;
}

std::int32_t latest_sv(const nmeastate& s)
{
    return s.hassv ? s.lastsv : 0;
}

double latest_und(const nmeastate& s)
{
    return s.hasund ? s.lastund : 0.0;
}

// INSPVAX: position above sea level with its own undulation and type.
bool take_inspvax(const std::uint8_t* slot, nmeastate& s, const nmeaopt& opt)
{
    if (!holds(slot, inspvax_needs))
        return false;
    inspvax_log x = read_inspvax(slot);
    if (!ins_good(x.status))
        return false;
    s.lastpostype = x.postype;
    s.lastund = x.undulation;
    s.haspostype = s.hasund = true;
    take_ins_velocity(x.vnorth, x.veast, x.vup, s);
    sigmas sd{x.sdlat, x.sdlon, x.sdheight};
    return take_fix({header_week(slot), header_msec(slot), x.lat, x.lon, x.height, x.undulation,
                     latest_sv(s), quality_of(x.postype), &sd, &x.azimuth},
                    s, opt);
}

// INSPVA and INSPVAS: position above the ellipsoid; the undulation, the
// satellites and the GNSS solution's type come from the latest logs that
// gave them. Dead reckoning is quality 6 whatever the latest type.
bool take_inspva(const std::uint8_t* slot, nmeastate& s, const nmeaopt& opt)
{
    if (!holds(slot, inspva_needs))
        return false;
    inspva_log v = read_inspva(slot);
    if (!ins_good(v.status))
        return false;
    take_ins_velocity(v.vnorth, v.veast, v.vup, s);
    std::int32_t quality = 1;
    if (v.status == 6)
        quality = 6;
    else if (s.haspostype && quality_of(s.lastpostype) != 0)
        quality = quality_of(s.lastpostype);
    double und = latest_und(s);
    return take_fix({header_week(slot), header_msec(slot), v.lat, v.lon, v.height - und, und,
                     latest_sv(s), quality, nullptr, &v.azimuth},
                    s, opt);
}

// BESTXYZ: Earth-centred coordinates, on the WGS84 ellipsoid.
bool take_xyz(const std::uint8_t* slot, nmeastate& s, const nmeaopt& opt)
{
    if (!holds(slot, bestxyz_needs))
        return false;
    bestxyz_log x = read_bestxyz(slot);
    if (x.solstat != 0)
        return false;
    s.lastsv = x.svused;
    s.hassv = true;
    geodetic g = ecef_to_geodetic(x.x, x.y, x.z);
    double und = latest_und(s);
    corrections diff = read_corrections(slot, bestxyz_station, bestxyz_age);
    return take_fix({header_week(slot), header_msec(slot), g.lat, g.lon, g.height - und, und,
                     x.svused, quality_of(x.postype), nullptr, nullptr, &diff},
                    s, opt);
}

void take_velocity(const std::uint8_t* slot, nmeastate& s)
{
    if (!holds(slot, bestvel_needs))
        return;
    bestvel_log v = read_bestvel(slot);
    if (v.solstat != 0)
        return;
    s.speed = v.hspeed;
    s.track = v.track;
    s.vspeed = v.vspeed;
    s.hasvel = true;
}

// Takes the slot's frame with take when it is fresh, and marks it used;
// answers what take answered.
template <class F> bool use(std::uint8_t* slot, F take)
{
    if (slot[0] != fresh)
        return false;
    slot[0] = 0;
    return take(slot);
}

} // namespace

std::int32_t convert(logstore& store, nmeastate& s, recbuf& out, const nmeaopt& opt)
{
    std::uint8_t *bestpos = slot(store, log_bestpos), *bestvel = slot(store, log_bestvel),
                 *satvis = slot(store, log_satvis), *trackstat = slot(store, log_trackstat),
                 *time = slot(store, log_time), *psrdop = slot(store, log_psrdop),
                 *psrdop2 = slot(store, log_psrdop2), *satvis2 = slot(store, log_satvis2);
    bool gga = false, rmc = false, gsv = false, zda = false;
    bool cycle = false, heading = false;
    skycycle sky;

    if (opt.all) {
        // Satellites of every system: once a SATVIS2 has been read, each
        // TRACKSTAT writes a cycle of groups from the latest lists; before
        // any SATVIS, a TRACKSTAT writes one from its own channels.
        if (satvis2[0] == fresh) {
            take_satvis2(store, s);
            satvis2[0] = 0;
        }
        if (satvis[0] == fresh)
            s.satvisread = true;
        if (s.skymode)
            satvis[0] = 0; // counted, no longer paired
        if ((s.skymode || !s.satvisread) && trackstat[0] == fresh) {
            sky_cycle(trackstat, s, sky, !s.skymode);
            cycle = true;
            trackstat[0] = 0;
        }
    }
    // SATVIS and TRACKSTAT wait for each other; either is replaced by a newer
    // copy of itself meanwhile.
    if (satvis[0] == fresh && trackstat[0] == fresh)
        gsv = take_satellites(store, s);
    if (time[0] == fresh) {
        zda = take_time(time, s, opt);
        time[0] = 0;
    }
    if (psrdop[0] == fresh) {
        if (holds(psrdop, psrdop_needs)) {
            s.hdop = read_hdop(psrdop);
            s.hashdop = true;
            if (opt.all)
                take_dops(psrdop, s);
        }
        psrdop[0] = 0;
    }
    if (psrdop2[0] == fresh) { // the later of PSRDOP and PSRDOP2 holds
        if (holds(psrdop2, psrdop2_needs)) {
            psrdop2_log d = read_psrdop2(psrdop2);
            s.hdop = d.hdop;
            s.hashdop = true;
            s.pdop = d.pdop;
            s.vdop = d.vdop;
            s.dopfrom = 2;
            s.ndopsats = 0;
        }
        psrdop2[0] = 0;
    }
    if (bestpos[0] == fresh) {
        if (take_position(bestpos, s, opt))
            gga = rmc = true;
        bestpos[0] = 0;
    }
    if (opt.all) {
        auto fix = [&](bool due) { gga = rmc = gga || due; };
        auto ins = [&](const std::uint8_t* f) { return take_inspva(f, s, opt); };
        fix(use(slot(store, log_inspvax),
                [&](const std::uint8_t* f) { return take_inspvax(f, s, opt); }));
        fix(use(slot(store, log_inspva), ins));
        fix(use(slot(store, log_inspvas), ins));
        fix(use(slot(store, log_bestxyz),
                [&](const std::uint8_t* f) { return take_xyz(f, s, opt); }));
        for (logname k : {log_heading, log_heading2})
            heading =
                use(slot(store, k), [&](const std::uint8_t* f) { return take_heading(f, s); }) ||
                heading;
    }
    if (bestvel[0] == fresh) {
        take_velocity(bestvel, s);
        bestvel[0] = 0;
    }

    // The sentences of a fix, in order: GGA, GSA, GST, RMC, VTG, HDT; then
    // a heading's HDT, the satellites, the date. The sentences /all adds
    // are written for every fix, whether or not GGA and RMC are.
    std::int32_t count = 0;
    auto put = [&](bool want, int wrote) { count += want && wrote != 0 ? 1 : 0; };
    bool extra = gga && opt.all;
    if (gga && opt.gga) {
        s.ggartk = opt.ggartk;
        put(true, put_gga(s, out));
    }
    if (extra && opt.gsa && s.dopfrom)
        put(true, put_gsa(s, out));
    if (extra && opt.gst && s.fixsd)
        put(true, put_gst(s, out));
    if (rmc && opt.rmc)
        put(true, put_rmc(s, out));
    if (extra && opt.vtg && s.hasvel)
        put(true, put_vtg(s, out));
    if (extra && opt.hdt && s.fixins)
        put(true, put_hdt(s.azimuth, out));
    if (heading && opt.hdt)
        put(true, put_hdt(s.heading, out));
    if (gsv && opt.gsv)
        count += put_gsv(s, out);
    if (cycle && opt.gsv)
        count += put_cycle(sky, out);
    if (zda && opt.zda)
        put(true, put_zda(s, out));
    return count;
}
