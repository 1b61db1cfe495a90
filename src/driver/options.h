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
};

// Fills the options from arguments 2 and later, prints the first fault and
// then always the six lines of the settings echo. True when all were accepted.
bool parse_options(convopt& opt, int argc, wchar_t** argv);

// Whole-string comparison that folds only the ASCII letters A to Z.
bool same_text(const wchar_t* a, const wchar_t* b);

// Reads a decimal number: leading white space, an optional sign, digits up to
// the first non-digit; no digits give 0, values beyond 32 bits saturate.
std::int32_t read_i32(const wchar_t* s);
