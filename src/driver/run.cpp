// The program run, from start-up to exit code.
#include "../input/logstore.h"
#include "../input/oem4.h"
#include "../input/rfifo.h"
#include "../nmea/nmeastate.h"
#include "../nmea/whole.h"
#include "../platform/sys.h"
#include "console.h"
#include "options.h"
#include "outpath.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>

namespace {

void usage()
{
    say(L"USAGE: Pellucid NovatelBinaryFile.log [options]\n");
    say(L"options: /rmc       Disable $GPRMC\n");
    say(L"         /gga       Disable $GPGGA\n");
    say(L"         /gsv       Disable $GPGSV\n");
    say(L"         /zda       Disable $GPZDA\n");
    say(L"         /utc [n]   Set UTC offset manually -n[sec]\n");
    say(L"         /ext [x]   Set extension for output file\n");
    say(L"Required Novatel Packet:\n");
    say(L" $GPGGA: BESTPOSB, PSRDOPB(*3), TIMEB(*1)\n");
    say(L" $GPRMC: BESTPOSB, BESTVELB(*2), TIMEB(*1)\n");
    say(L" $GPGSV: SATVISB, TRACKSTATB\n");
    say(L" $GPZDA: TIMEB\n");
    say(L"(*1) if you use /utc option, TIMEB is unnecessary.\n");
    say(L"(*2) if no BESTVELB, speed and direction fields will be NULL.\n");
    say(L"(*3) if no PSRDOPB, DOP field will be NULL.\n");
}

constexpr std::size_t io_buffer = 256 * 1024;

struct file_closer {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using file_ptr = std::unique_ptr<std::FILE, file_closer>;

} // namespace

int run(int argc, wchar_t** argv)
{
    // Every fixed buffer and record of the run, obtained once, up front: a
    // run that cannot have them all stops before it touches any file.
    oem4 parser;
    rfifo ring;
    bool ring_ok = ring.setup();
    std::unique_ptr<std::uint8_t[]> chunk(sys::grab(chunk_size));
    std::unique_ptr<nmeastate> state(sys::grab_record<nmeastate>());
    std::unique_ptr<logstore> store(sys::grab_record<logstore>());

    say(L"Pellucid version 1.0\n");

    if (!parser.fbuf || !ring_ok || !chunk || !state || !store) {
        say(L"Not enough memory.\n");
        return 1;
    }
    std::memset(static_cast<void*>(state.get()), 0, sizeof *state);
    std::memset(static_cast<void*>(store.get()), 0, sizeof *store);

    if (argc <= 1) {
        usage();
        return 1;
    }

    convopt opt;
    if (!parse_options(opt, argc, argv)) {
        usage();
        return 1;
    }
    if (opt.utcsec > 0) {
        state->hasutcoffset = 1;
        state->utcoffset = -static_cast<double>(opt.utcsec);
    }

    const wchar_t* inname = argv[1];
    file_ptr in(sys::open_in(inname));
    if (!in) {
        say(L"Input file %s open error.\n", inname);
        return 1;
    }

    std::wstring outname = make_output_path(inname, opt.outext);
    // The names compare equal, or they are two names of one file: opening the
    // output would empty the input.
    if (same_text(inname, outname.c_str()) || sys::same_file(inname, outname)) {
        say(L"Input file and Output file are same.\n");
        return 1;
    }

    file_ptr out(sys::open_out(outname));
    if (!out) {
        say(L"Output file %s open error.\n", outname);
        return 1;
    }

    // Large stream buffers: the pump reads and the writer writes in small
    // pieces, the system is asked for big ones.
    std::setvbuf(in.get(), nullptr, _IOFBF, io_buffer);
    std::setvbuf(out.get(), nullptr, _IOFBF, io_buffer);

    pumped p = pump(in.get(), out.get(), ring, parser, *store, *state, opt, chunk.get());

    // The last buffered bytes are written here: flush and test the stream
    // before closing it, since some C runtimes answer 0 from fclose even when
    // its own final flush failed.
    bool write_failed = std::fflush(out.get()) != 0;
    write_failed = std::ferror(out.get()) != 0 || write_failed;
    write_failed = (std::fclose(out.release()) != 0) || write_failed;
    if (p.read_error) {
        say(L"Input file %s read error.\n", inname);
        return 1;
    }
    if (write_failed) {
        say(L"Output file %s write error.\n", outname);
        return 1;
    }

    say(L"OUTPUT:     %d lines\n", p.sentences);
    if (opt.utcsec <= 0 && state->hasutcoffset)
        say(L"UTC offset from TIMEB is %d sec\n", to_i32(state->utcoffset));
    say(L"BESTPOSB:   %d\n", store->nbestpos);
    say(L"BESTVELB:   %d\n", store->nbestvel);
    say(L"SATVISB:    %d\n", store->nsatvis);
    say(L"TRACKSTATB: %d\n", store->ntrackstat);
    say(L"TIMEB:      %d\n", store->ntime);
    say(L"PSRDOPB:    %d\n", store->npsrdop);

    return p.sentences > 0 ? 0 : 1;
}
