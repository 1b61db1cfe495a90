#include "convert.h"

#include "../input/logstore.h"
#include "gpstime.h"
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

// Takes a BESTPOS with a computed solution; answers whether it did.
bool take_position(const std::uint8_t* slot, nmeastate& s)
{
    if (!holds(slot, bestpos_needs))
        return false;
    bestpos_log p = read_bestpos(slot);
    if (p.solstat != 0)
        return false;
    s.lat = p.lat;
    s.lon = p.lon;
    s.height = p.height;
    s.undulation = p.undulation;
    s.svused = p.svused;
    s.quality = quality_of(p.postype);
    split_angle(s.lon, 'E', 'W', s.lonew, s.londeg, s.lonmin);
    split_angle(s.lat, 'N', 'S', s.latns, s.latdeg, s.latmin);
    s.week = p.week;
    s.tow = p.msec / 1000.0;
    set_fix_time(s);
    return true;
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
    if (store.bestpos[0] == fresh) {
        if (take_position(store.bestpos, s) && s.hasutcoffset)
            gga = rmc = true;
        store.bestpos[0] = 0;
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
