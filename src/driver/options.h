// Command-line options: which sentences to write, the manual UTC offset and
// the extension of the output file.
#pragma once

#include <cstdint>

struct convopt {
    std::int32_t gga;      // non-zero: write $GPGGA
    std::int32_t rmc;      // non-zero: write $GPRMC
    std::int32_t gsv;      // non-zero: write $GPGSV
    std::int32_t zda;      // non-zero: write $GPZDA
    std::int32_t utcsec;   // manual offset n > 0 (UTC = GPS - n), 0 = take it from TIME
    const wchar_t* outext; // output extension without the dot; points at "nme" or an argument
    std::int32_t all;      // non-zero: /all, read the logs of today's receivers too
    std::int32_t utcauto;  // non-zero: /utc auto was the last /utc given
    std::int32_t gsa, gst, vtg, hdt; // non-zero: write the sentence when /all adds it
};

// Fills the options from arguments 2 and later, prints the first fault and
// then always the settings echo (six lines, ten with /all). True when all
// were accepted.
bool parse_options(convopt& opt, int argc, wchar_t** argv);

// True when fixes are dated by the leap-second table until a TIME log gives
// the offset: /utc auto or /all, and no manual offset.
bool auto_utc(const convopt& opt);

// Whole-string comparison that folds only the ASCII letters A to Z.
bool same_text(const wchar_t* a, const wchar_t* b);

// Reads a decimal number: leading white space, an optional sign, digits up to
// the first non-digit; no digits give 0, values beyond 32 bits saturate.
std::int32_t read_i32(const wchar_t* s);
