// The program run, from start-up to exit code.
#include "../platform/sys.h"
#include "console.h"
#include "options.h"
#include "outpath.h"

#include <cstdint>
#include <cstdio>
#include <memory>

namespace
{

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

struct file_closer {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using file_ptr = std::unique_ptr<std::FILE, file_closer>;

} // namespace

int run(int argc, wchar_t** argv)
{
    say(L"Pellucid version 1.0\n");

    if (argc <= 1) {
        usage();
        return 1;
    }

    convopt opt;
    if (!parse_options(opt, argc, argv)) {
        usage();
        return 1;
    }
    std::int32_t count = 0;

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

    // The input pump plugs in here.

    out.reset();

    say(L"OUTPUT:     %d lines\n", count);
    say(L"BESTPOSB:   %d\n", 0);
    say(L"BESTVELB:   %d\n", 0);
    say(L"SATVISB:    %d\n", 0);
    say(L"TRACKSTATB: %d\n", 0);
    say(L"TIMEB:      %d\n", 0);
    say(L"PSRDOPB:    %d\n", 0);

    return count > 0 ? 0 : 1;
}
