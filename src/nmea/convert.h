// The conversion: takes the fresh logs of the store into the state and
// writes the sentences they complete.
#pragma once

#include <cstdint>

struct logstore;
struct nmeastate;
struct outbuf;

// Which sentences to write (non-zero: write it), and whether the UTC offset
// was set by hand, in which case TIME logs never change it.
struct nmeaopt {
    std::int32_t gga, rmc, gsv, zda;
    std::int32_t manualutc;
};

// Answers the number of sentences written for this call.
std::int32_t convert(logstore& store, nmeastate& state, outbuf& out, const nmeaopt& opt);
