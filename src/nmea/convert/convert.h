// The conversion: takes the fresh logs of the store into the state and
// writes the sentences they complete.
#pragma once

#include <cstdint>

struct logstore;
struct nmeastate;
struct outbuf;

// Which sentences to write (non-zero: write it), and whether the UTC offset
// was set by hand, in which case TIME logs never change it. With all, the
// logs of today's receivers are read too and each epoch gives one fix; with
// autoutc, fixes are dated by the leap-second table while no TIME log has
// given the offset.
struct nmeaopt {
    std::int32_t gga, rmc, gsv, zda;
    std::int32_t manualutc;
    std::int32_t all = 0;
    std::int32_t autoutc = 0;
    // Written with all only: $GPGSA, $GPGST, $GPVTG, $GPHDT.
    std::int32_t gsa = 1, gst = 1, vtg = 1, hdt = 1;
};

// Answers the number of sentences written for this call.
std::int32_t convert(logstore& store, nmeastate& state, outbuf& out, const nmeaopt& opt);
