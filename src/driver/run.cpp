// The program run, from start-up to exit code.
#include "../nmea/convert/whole.h"
#include "../platform/sys.h"
#include "console.h"
#include "options.h"
#include "outpath.h"
#include "session.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>

#ifndef PELLUCID_VERSION
#error "PELLUCID_VERSION is the project version, which CMakeLists.txt gives"
#endif

namespace {

// The summary after a run without a read or write error.
void summary(const convopt& opt, const session& job)
{
    const nmeastate& s = *job.state;
    const logstore& st = *job.store;
    say(L"OUTPUT:     %d lines\n", job.sentences);
    if (opt.utcsec <= 0 && s.hasutcoffset)
        say(L"UTC offset from TIMEB is %d sec\n", to_i32(s.utcoffset));
    if (s.hastable)
        say(L"UTC offset from leap-second table is %d sec\n", s.tableoffset);
    // The good frames of each log read, and with /all of those it adds, each
    // on a line of its name (as the binary log is named) and its count.
    for (int k = 0; k < nlogs; ++k) {
        if (logs[k].allonly && !opt.all)
            continue;
        std::wstring line(logs[k].name, logs[k].name + std::strlen(logs[k].name));
        line += L"B:";
        line.resize(12, L' ');
        say((line + L"%d\n").c_str(), st.count[k]);
    }
    if (opt.all)
        say(L"ASCII logs: %d\n", st.nascii);
    // What a user without the new options may be missing.
    if (!opt.all && !opt.utcauto && (opt.gga || opt.rmc) && s.undated > 0)
        say(L"Fixes not written for want of a UTC offset (no TIMEB): %d. Use /utc auto or /utc "
            L"n.\n",
            s.undated);
    if (!opt.all && st.nallonly > 0)
        say(L"Frames of logs that only /all reads (INS, BESTXYZ, PSRDOP2, SATVIS2, HEADING): %d. "
            L"Use /all.\n",
            st.nallonly);
    if (!opt.all && st.nascii > 0)
        say(L"ASCII logs that only /all reads: %d. Use /all.\n", st.nascii);
}

struct file_closer {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using file_ptr = std::unique_ptr<std::FILE, file_closer>;

// Where the sentences go. When the output name is free or names a regular
// file, they are written to a new file beside it, which takes the name only
// at the end of a run without a read or write error: a run that fails
// leaves the name as it was before, and the new file is removed whenever
// the run ends without it having taken the name. Any other name (a symbolic
// link, a named pipe, a device) is written through as it is.
struct output {
    file_ptr file;
    std::wstring temp; // the new file, while it has not taken the name

    output() = default;
    output(const output&) = delete;
    output& operator=(const output&) = delete;
    ~output()
    {
        file.reset();
        if (!temp.empty())
            sys::remove_file(temp);
    }
};

bool open_output(output& o, const std::wstring& name)
{
    sys::kind k = sys::kind_of(name);
    // A file that cannot be written is refused, as opening it would be.
    if (k == sys::kind::regular && !sys::can_write(name))
        return false;
    if (k != sys::kind::other)
        o.file.reset(sys::open_temp(name, o.temp));
    // Where no new file can be made beside it, the name is written through.
    if (!o.file)
        o.file.reset(sys::open_out(name));
    return o.file != nullptr;
}

} // namespace

int run(int argc, wchar_t** argv)
{
    // Every buffer and record of the run, obtained once, up front: a run
    // that cannot have them all stops before it touches any file.
    session job;
    bool ready = setup(job);

    // The version is the project's, given by the build (CMakeLists.txt).
    say(L"Pellucid version " PELLUCID_VERSION "\n");

    if (!ready) {
        say(L"Not enough memory.\n");
        return 1;
    }

    if (argc <= 1) {
        usage();
        return 1;
    }

    convopt opt;
    if (!parse_options(opt, argc, argv)) {
        usage();
        return 1;
    }
    static_cast<switches&>(job.opt) = opt;
    job.opt.autoutc = auto_utc(opt);
    if (opt.utcsec > 0)
        manual_utc(job, opt.utcsec);

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

    output out;
    if (!open_output(out, outname)) {
        say(L"Output file %s open error.\n", outname);
        return 1;
    }

    // The input is read and the output written in large blocks of the run's
    // own buffers: the streams need none of theirs.
    std::setvbuf(in.get(), nullptr, _IONBF, 0);
    std::setvbuf(out.file.get(), nullptr, _IONBF, 0);

    bool read_ok = convert_file(job, in.get(), out.file.get());

    // Flush and test the stream before closing it, since some C runtimes
    // answer 0 from fclose even when its own final flush failed.
    bool write_failed = job.text.failed;
    write_failed = std::fflush(out.file.get()) != 0 || write_failed;
    write_failed = std::ferror(out.file.get()) != 0 || write_failed;
    write_failed = (std::fclose(out.file.release()) != 0) || write_failed;
    if (!read_ok) {
        say(L"Input file %s read error.\n", inname);
        return 1;
    }
    // The new file takes the output name, replacing what had it.
    if (!write_failed && !out.temp.empty()) {
        write_failed = !sys::replace(out.temp, outname);
        if (!write_failed)
            out.temp.clear();
    }
    if (write_failed) {
        say(L"Output file %s write error.\n", outname);
        return 1;
    }

    summary(opt, job);

    return job.sentences > 0 ? 0 : 1;
}
