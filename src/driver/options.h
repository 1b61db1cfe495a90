// Command-line options: the switches (which sentences to write, /all), the
// manual UTC offset and the extension of the output file. Every option is a
// row of one table in options.cpp, which drives the parsing, the settings
// echo and the usage text.
#pragma once

#include "../nmea/convert/convert.h"

#include <cstdint>

struct convopt : switches {
    std::int32_t utcsec = 0;        // manual offset n > 0 (UTC = GPS - n), 0 = take it from TIME
    const wchar_t* outext = L"nme"; // output extension without the dot; "nme" or an argument
    bool utcauto = false;           // /utc auto was the last /utc given
};

// Fills the options from arguments 2 and later, prints the first fault and
// then always the settings echo. True when all were accepted.
bool parse_options(convopt& opt, int argc, wchar_t** argv);

// Prints the usage text.
void usage();

// True when fixes are dated by the leap-second table until a TIME log gives
// the offset: /utc auto or /all, and no manual offset.
bool auto_utc(const convopt& opt);

// Whole-string comparison that folds only the ASCII letters A to Z.
bool same_text(const wchar_t* a, const wchar_t* b);

// Reads a decimal number: leading white space, an optional sign, digits up to
// the first non-digit; no digits give 0, values beyond 32 bits saturate.
std::int32_t read_i32(const wchar_t* s);
