// One conversion's working set, set up in one place for the program run, the
// tests and the benchmarks: the input windows, the log store, the conversion
// state, the record and text buffers, each obtained once; and the steps
// that convert an input with them.
#pragma once

#include "../input/pump.h"
#include "../input/store.h"
#include "../nmea/convert/convert.h"
#include "../nmea/sentences/outbuf.h"
#include "../nmea/sentences/writer.h"
#include "../nmea/state.h"

#include <cstdint>
#include <cstdio>
#include <memory>

class formatter;

struct session {
    rfifo ring;
    std::unique_ptr<logstore> store;
    std::unique_ptr<nmeastate> state;
    std::unique_ptr<std::uint8_t[]> outmem; // the text buffer, then the record buffers
    recbuf recs;                            // the sentences kept, not yet formatted
    outbuf text;                            // their text, on its way to the sink
    nmeaopt opt;
    std::int64_t sentences = 0;  // sentences kept, less those refused when formatted
    formatter* thread = nullptr; // formats the records while the conversion goes on
};

// Obtains every buffer and record (the records zero-filled); false when
// memory runs short, before any file is touched.
bool setup(session& s);

// Sets a manual UTC offset of n seconds (UTC = GPS time - n).
void manual_utc(session& s, std::int32_t n);

// Converts the whole input file into the output file, formatting and
// writing the sentences in a thread of their own when the system gives one
// (and threads is true). Answers false when reading the input failed; a
// write that failed shows in s.text.failed.
bool convert_file(session& s, std::FILE* in, std::FILE* out, bool threads = true);

// The same from any source of bytes.
void convert_to_file(session& s, const source& in, std::FILE* out, bool threads = true);

// Converts the whole input from any source of bytes; the text goes to
// s.text's sink, all of it written out by the end; with threads, formatted
// in a thread of its own when the system gives one.
void convert_source(session& s, const source& in, bool threads = false);
