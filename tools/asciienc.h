// Renders binary frames, as frames.h builds them, as NovAtel ASCII logs: the
// tests' own encoder, written apart from the reader (src/input/asciilog.*)
// with a description of the fourteen logs' fields of its own, and the
// source of ASCII logs for benchmarks.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace asciienc {

// long_ascii: #NAMEA,port,...,build;fields*crc
// short_ascii: %NAMEA,week,seconds;fields*crc
// abbreviated: <NAME port ... build (or <NAME week seconds for a short
//   header), then the fixed fields on a line after "<     " and each array
//   record on a line after "<          ".
// Every line ends in CR LF. A short-header frame in the long form gets the
// header fields it lacks from frames::header's defaults.
enum class form { long_ascii, short_ascii, abbreviated };

// exact: every number reads back to the same bits (reals with 9 or 17
// significant digits, hex without padding); receiver: the formats NovAtel's
// receivers print (latitude with 11 decimals, hex bytes as 2 digits, ...).
enum class style { exact, receiver };

// One field of a log's layout.
struct fieldtype {
    char type;         // e enum, u unsigned, i signed, x hex, f float, d double, b bool,
                       // s string, p satellite id (Ushort prn, Short channel)
    int size;          // bytes in the binary body
    std::string names; // of an enum: its table's name (sol, pos, datum, ...)
    std::string print; // of a real: the receiver's C format
};

struct layout {
    std::string name; // as the receiver names the log, without the form's letter
    std::vector<fieldtype> fixed;
    std::vector<fieldtype> record; // empty for a log without an array
};

// The layout of a message id; an empty name for a log it does not know.
layout layout_of(std::uint16_t id);

// The values of an enumeration table, in its order.
std::vector<std::uint32_t> enum_values(const std::string& table);

// One field of a frame's body as printed.
struct field {
    fieldtype t;
    int at; // offset in the body
    std::string text;
    bool record;
};

// The fields of a whole frame's body, in order: the fixed fields the body
// holds whole, then its whole records (however many the count says).
std::vector<field> fields(const std::string& frame, style s);

// The body text of a whole frame: comma-separated (the text between ';' and
// '*'), or the body lines of the abbreviated form.
std::string body(const std::string& frame, bool lines, style s);

// A whole frame as one ASCII log; empty for a log it does not know.
std::string render(const std::string& frame, form f, style s);

// Every frame of a stream of whole frames rendered in turn; frames of other
// logs are left out.
std::string render_all(const std::string& frames, form f, style s);

} // namespace asciienc
