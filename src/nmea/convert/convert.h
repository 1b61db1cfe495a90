// The conversion: takes the fresh logs of the store into the state and
// writes the sentences they complete.
#pragma once

#include <cstdint>

struct logstore;
struct nmeastate;
struct recbuf;

// The switches of a run, with their defaults: which sentences to write,
// and /all, which reads the logs of today's receivers too, each epoch giving
// one fix, and writes the sentences those give ($GPGSA, $GPGST, $GPVTG,
// $GPHDT); and /ggartk, which prints every GGA with RTK precision. The
// command line sets them (driver/options.cpp: one row each).
struct switches {
    bool gga = true, rmc = true, gsv = true, zda = true;
    bool all = false;
    bool gsa = true, gst = true, vtg = true, hdt = true;
    bool ggartk = false;
};

// The conversion's options: the switches; whether the UTC offset was set by
// hand, in which case TIME logs never change it; and with autoutc, fixes are
// dated by the leap-second table while no TIME log has given the offset.
struct nmeaopt : switches {
    bool manualutc = false;
    bool autoutc = false;
};

// Takes the fresh logs of the store into the state and keeps the sentences
// they complete as records in out; answers how many.
std::int32_t convert(logstore& store, nmeastate& state, recbuf& out, const nmeaopt& opt);
