#include "convert.h"

#include "../input/logstore.h"
#include "ecef.h"
#include "gpstime.h"
#include "leaps.h"
#include "nmeastate.h"
#include "outbuf.h"
#include "whole.h"
#include "writer.h"

#include <cmath>

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
    const std::uint8_t* sv = store.satvis;
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
    const std::uint8_t* ts = store.trackstat;
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
    store.satvis[0] = 0;
    store.trackstat[0] = 0;
    return n > 0;
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
            s.hasutcoffset = 1;
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

// A fix from one of the position logs, as GGA and RMC print it.
struct fixin {
    std::uint16_t week;
    std::uint32_t msec;
    double lat, lon, height, undulation;
    std::int32_t svused, quality;
};

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
        s.hasfix = 1;
    }
    s.lat = f.lat;
    s.lon = f.lon;
    s.height = f.height;
    s.undulation = f.undulation;
    s.svused = f.svused;
    s.quality = f.quality;
    split_angle(s.lon, 'E', 'W', s.lonew, s.londeg, s.lonmin);
    split_angle(s.lat, 'N', 'S', s.latns, s.latdeg, s.latmin);
    s.week = f.week;
    s.tow = f.msec / 1000.0;
    bool dated = s.hasutcoffset != 0;
    if (!dated && opt.autoutc) {
        std::int32_t n = leap_seconds(t);
        s.utcoffset = -static_cast<double>(n);
        s.tableoffset = -n;
        s.hastable = 1;
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
    s.haspostype = s.hasund = s.hassv = 1;
    return take_fix(
        {p.week, p.msec, p.lat, p.lon, p.height, p.undulation, p.svused, quality_of(p.postype)}, s,
        opt);
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
    s.hasvel = 1;
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
    s.haspostype = s.hasund = 1;
    take_ins_velocity(x.vnorth, x.veast, x.vup, s);
    return take_fix({header_week(slot), header_msec(slot), x.lat, x.lon, x.height, x.undulation,
                     latest_sv(s), quality_of(x.postype)},
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
                     latest_sv(s), quality},
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
    s.hassv = 1;
    geodetic g = ecef_to_geodetic(x.x, x.y, x.z);
    double und = latest_und(s);
    return take_fix({header_week(slot), header_msec(slot), g.lat, g.lon, g.height - und, und,
                     x.svused, quality_of(x.postype)},
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
    s.hasvel = 1;
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

std::int32_t convert(logstore& store, nmeastate& s, outbuf& out, const nmeaopt& opt)
{
    bool gga = false, rmc = false, gsv = false, zda = false;

    // SATVIS and TRACKSTAT wait for each other; either is replaced by a newer
    // copy of itself meanwhile.
    if (store.satvis[0] == fresh && store.trackstat[0] == fresh)
        gsv = take_satellites(store, s);
    if (store.time[0] == fresh) {
        zda = take_time(store.time, s, opt);
        store.time[0] = 0;
    }
    if (store.psrdop[0] == fresh) {
        if (holds(store.psrdop, psrdop_needs)) {
            s.hdop = read_hdop(store.psrdop);
            s.hashdop = 1;
        }
        store.psrdop[0] = 0;
    }
    if (store.psrdop2[0] == fresh) { // the later of PSRDOP and PSRDOP2 holds
        if (holds(store.psrdop2, psrdop2_needs)) {
            s.hdop = read_psrdop2(store.psrdop2).hdop;
            s.hashdop = 1;
        }
        store.psrdop2[0] = 0;
    }
    if (store.bestpos[0] == fresh) {
        if (take_position(store.bestpos, s, opt))
            gga = rmc = true;
        store.bestpos[0] = 0;
    }
    if (opt.all) {
        auto fix = [&](bool due) { gga = rmc = gga || due; };
        fix(use(store.inspvax, [&](const std::uint8_t* f) { return take_inspvax(f, s, opt); }));
        fix(use(store.inspva, [&](const std::uint8_t* f) { return take_inspva(f, s, opt); }));
        fix(use(store.inspvas, [&](const std::uint8_t* f) { return take_inspva(f, s, opt); }));
        fix(use(store.bestxyz, [&](const std::uint8_t* f) { return take_xyz(f, s, opt); }));
        for (std::uint8_t* slot : {store.satvis2, store.heading, store.heading2})
            slot[0] = 0;
    }
    if (store.bestvel[0] == fresh) {
        take_velocity(store.bestvel, s);
        store.bestvel[0] = 0;
    }

    std::int32_t count = 0;
    if (gga && opt.gga && put_gga(s, out) != 0)
        ++count;
    if (rmc && opt.rmc && put_rmc(s, out) != 0)
        ++count;
    if (gsv && opt.gsv)
        count += put_gsv(s, out);
    if (zda && opt.zda && put_zda(s, out) != 0)
        ++count;
    return count;
}
