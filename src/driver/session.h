// One conversion's working set, set up in one place for the program run, the
// tests and the benchmarks: the input windows, the log store, the conversion
// state and the output buffers, each obtained once.
#pragma once

#include "../input/store.h"
#include "../input/pump.h"
#include "../nmea/convert/convert.h"
#include "../nmea/state.h"
#include "../nmea/sentences/outbuf.h"

#include <cstdint>
#include <cstdio>
#include <memory>

struct session {
    rfifo ring;
    std::unique_ptr<logstore> store;
    std::unique_ptr<nmeastate> state;
    std::unique_ptr<std::uint8_t[]> outmem; // the text buffer, then the record buffers
    outbuf out;
    nmeaopt opt;
    std::int64_t sentences = 0; // what convert reported, summed
};

// Obtains every buffer and record (the records zero-filled); false when
// memory runs short, before any file is touched.
bool setup(session& s);

// Sets a manual UTC offset of n seconds (UTC = GPS time - n).
void manual_utc(session& s, std::int32_t n);

// Converts the whole input file into the output file, formatting and
// writing the sentences in a thread of their own when the system gives one
// (and threads is true). Answers false when reading the input failed; a
// write that failed shows in s.out.failed.
bool convert_file(session& s, std::FILE* in, std::FILE* out, bool threads = true);

// The same from any source of bytes.
void convert_to_file(session& s, const source& in, std::FILE* out, bool threads = true);

// Converts the whole input from any source of bytes; the sentences go
// wherever s.out sends them, and the last of them are written out too.
void convert_source(session& s, const source& in);
