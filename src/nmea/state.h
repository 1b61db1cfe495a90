// The conversion state: everything a sentence is formatted from.
#pragma once

#include <cstdint>

struct satinfo {
    std::int32_t prn;
    std::int32_t elevation; // whole degrees
    std::int32_t azimuth;   // whole degrees
    std::int32_t snr;       // C/No in whole dB-Hz, -1 when no channel gave one
};

// elevation of a satellite known only from a tracking channel: its
// elevation and azimuth are written empty.
constexpr std::int32_t no_elevation = -1;

constexpr int max_sats = 128;

// The satellite systems, in the order their GSV groups are written: GPS and
// SBAS under $GP, GLONASS $GL, Galileo $GA, BeiDou $GB, QZSS $GQ, NavIC $GI.
enum satsys { sys_gps, sys_sbas, sys_glonass, sys_galileo, sys_beidou, sys_qzss, sys_navic, nsys };

// The most satellites a GSV group writes.
constexpr int group_max = 36;

struct daydate {
    std::int64_t dayno; // days since the GPS epoch
    std::int32_t year, month, day;
    bool known; // false while no date is kept
};

struct nmeastate {
    std::int32_t week; // GPS week of the last good BESTPOS
    double tow;        // its GPS seconds of the week
    double utcoffset;  // seconds to add to GPS time to get UTC (e.g. -18)
    double lat, lon, height, undulation;
    double speed, track, vspeed; // m/s, degrees, m/s
    char latns;                  // 'N' or 'S'
    std::int32_t latdeg;
    double latmin;
    char lonew; // 'E' or 'W'
    std::int32_t londeg;
    double lonmin;
    // UTC time of the fix
    std::int32_t year, month, day, hour, minute, second, hsec;
    // UTC date and time of the last valid TIME log
    std::int32_t zyear, zmonth, zday, zhour, zminute, zsecond, zhsec;
    std::int32_t svused;
    std::int32_t quality;
    // The fix's differential corrections, with /all: their age in whole
    // seconds (0 to 99, when hasage) and the base station's id (1 to 4
    // letters or digits, padded with NULs; all NULs when none). Both are
    // set for each fix taken, and empty for a fix that does not give them.
    std::int32_t age;
    bool hasage;
    char station[4];
    // GGA printed with RTK precision (/ggartk): minutes to 7 decimals,
    // height to 3.
    bool ggartk;
    satinfo sats[max_sats];
    std::int32_t nsats;
    double hdop;
    bool hasutcoffset;
    bool hashdop;
    bool hasvel;
    // The date of the day last converted to a calendar date, kept for the
    // fixes that follow on the same day.
    daydate lastday;

    // The latest values a fix without them takes (position type from
    // BESTPOS or INSPVAX, undulation from BESTPOS or INSPVAX, satellites in
    // the solution from BESTPOS or BESTXYZ), each with its flag.
    std::uint32_t lastpostype;
    double lastund;
    std::int32_t lastsv;
    bool haspostype, hasund, hassv;
    // GPS time (milliseconds since the epoch) of the last fix written, for
    // the rule that writes one fix an epoch with /all.
    std::int64_t lastfix;
    bool hasfix;
    // The offset (-n seconds) with which the leap-second table dated the
    // last fix it dated, and whether it dated any.
    std::int32_t tableoffset;
    bool hastable;
    // Fixes taken while no UTC offset was known, so not written.
    std::int32_t undated;

    // Read with /all:
    // The dilution of precision of the latest PSRDOP (1) or PSRDOP2 (2),
    // or none (0); with PSRDOP, the NMEA numbers of its first twelve
    // satellites.
    std::int32_t dopfrom;
    double pdop, vdop;
    std::int32_t dopsats[12];
    std::int32_t ndopsats;
    // Of the fix taken last: its standard deviations (BESTPOS and INSPVAX
    // give them), and the azimuth of an INS fix.
    bool fixsd;
    double sdlat, sdlon, sdheight;
    bool fixins;
    double azimuth;
    // The heading of the last HEADING or HEADING2 written, and its GPS time
    // (milliseconds since the epoch).
    double heading;
    std::int64_t lastheading;
    bool hasheading;
    // Satellites in view by system, from the latest SATVIS2 of each, once
    // one has been read (skymode); and whether a SATVIS has been read.
    bool skymode;
    bool satvisread;
    satinfo sky[nsys][group_max];
    std::int32_t nsky[nsys];
};
