// ASCII logs, the receiver's logs as text, in three forms, each a row of
// `ascii_forms`:
//   long         #NAMEA,port,sequence,idle,time status,week,seconds,receiver
//                status,reserved,version;fields*xxxxxxxx
//   short        %NAMEA,week,seconds;fields*xxxxxxxx
//   abbreviated  <NAME port ... version (or <NAME week seconds), then body
//                lines "<" and spaces and fields; no CRC.
// The long and short forms end in the CRC-32 of the binary frames, of every
// byte after the first up to the "*", in 8 hex digits. A name is the log's
// (logs.h), with "A" in the long and short forms, and may carry the
// measurement source, "_" and one or two digits. Every byte of a long or
// short log is 0x20-0x7E; an abbreviated log also holds its CR and LF. No
// log is longer than ascii_longest bytes.
//
// The forms are judged on the bytes of the input that are not part of a
// good binary frame (text.h); a log judged complete is decoded into the
// binary frame of its log, with the long header (long and abbreviated long
// forms) or the short one, and from there it is read as a binary frame is.
#pragma once

#include "form.h"
#include "logs.h"

#include <cstdint>

constexpr int ascii_longest = 65536;

enum asciiform { form_hash, form_percent, form_angle, nasciiforms };
extern const form ascii_forms[nasciiforms];

// The first start of an ASCII log in p[0..n): "#", "%", or "<" at the start
// of a line (after an LF, or at p[0] when linestart says a line starts
// there).
start find_text(const std::uint8_t* p, int n, bool linestart);

judged judge_hash(const std::uint8_t* p, int n, bool end);
judged judge_percent(const std::uint8_t* p, int n, bool end);
judged judge_angle(const std::uint8_t* p, int n, bool end);

// What judging a complete log finds that decoding it needs: the row of its
// log in logs[], the week and milliseconds of its header, whether that
// header is the short one, and where its body lies, from body up to bodyend
// (in lines when the log is abbreviated).
struct logtext {
    int row = -1;
    std::uint16_t week = 0;
    std::uint32_t ms = 0;
    bool shortf = false;
    bool lines = false;
    int body = 0;
    int bodyend = 0;
};

// Judges the candidate of form f at p as the form's judge does; when it is
// complete, what was found goes to t.
judged judge_log(asciiform f, const std::uint8_t* p, int n, bool end, logtext& t);

// The binary frame of the log that judge_log found complete at p, with what
// it found, CRC included, at out (frame_capacity bytes); answers its length,
// or -1 when the log is rejected: a field does not parse, or its frame would
// be refused as a binary one would (a short body over 255 bytes, a long
// frame over its log's longest).
int decode_log(const std::uint8_t* p, const logtext& t, std::uint8_t* out);
