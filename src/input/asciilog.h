// The body of one NovAtel ASCII log, turned into the binary body of the same
// log: the part of the ASCII reader after the framing, which has found the
// log, checked its CRC and header and handed over the body text alone.
//
// The body is read field by field in the order of the log's field table
// (asciilog.cpp); each field's text gives its bytes, little-endian, at its
// place in the binary body. A body that ends early gives the fields present;
// text after the last field the layout needs is never looked at.
#pragma once

#include "logs.h"

#include <cstdint>

// How the fields of a body are laid out:
//  commas: the text between ';' and '*' of a '#' or '%' log, fields split on
//          ','; a field that starts with '"' runs to the next '"' (it may hold
//          ',' and spaces) and must be followed by ',' or the end of the body.
//  lines:  the body lines of an abbreviated '<' log, each '<' and spaces, then
//          fields separated by runs of spaces, lines ending in LF (or CR LF);
//          a quoted field runs to the next '"' on its line and must be
//          followed by a space, the end of its line or the end of the body.
enum class bodyform { commas, lines };

// Decodes the body text body[0, n) of log k in form f into its binary body
// at out. Answers the body's length in bytes, or -1 when the log is rejected:
// a field that is read does not parse, or the body would exceed room bytes.
// Arrays keep the count as written and the whole records present, at most
// that many; a partial last record is parsed and dropped. Bytes of
// out[0, room) past the length answered, and all of them when the log is
// rejected, may have been written. Allocates nothing.
int decode_body(logname k, const char* body, int n, bodyform f, std::uint8_t* out, int room);
