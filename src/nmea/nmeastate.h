// The conversion state: everything a sentence is formatted from.
#pragma once

#include <cstdint>

struct satinfo {
    std::int32_t prn;
    std::int32_t elevation; // whole degrees
    std::int32_t azimuth;   // whole degrees
    std::int32_t snr;       // C/No in whole dB-Hz, -1 when no channel gave one
};

constexpr int max_sats = 128;

struct daydate {
    std::int64_t dayno; // days since the GPS epoch
    std::int32_t year, month, day;
    std::int32_t known; // 0 while no date is kept
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
    satinfo sats[max_sats];
    std::int32_t nsats;
    double hdop;
    std::int32_t hasutcoffset;
    std::int32_t hashdop;
    std::int32_t hasvel;
    // The date of the day last converted to a calendar date, kept for the
    // fixes that follow on the same day.
    daydate lastday;

    // The latest values a fix without them takes (position type from
    // BESTPOS or INSPVAX, undulation from BESTPOS or INSPVAX, satellites in
    // the solution from BESTPOS or BESTXYZ), each with its flag.
    std::uint32_t lastpostype;
    double lastund;
    std::int32_t lastsv;
    std::int32_t haspostype, hasund, hassv;
    // GPS time (milliseconds since the epoch) of the last fix written, for
    // the rule that writes one fix an epoch with /all.
    std::int64_t lastfix;
    std::int32_t hasfix;
    // The offset (-n seconds) with which the leap-second table dated the
    // last fix it dated, and whether it dated any.
    std::int32_t tableoffset;
    std::int32_t hastable;
    // Fixes taken while no UTC offset was known, so not written.
    std::int32_t undated;
};
