// Options, output names and file names. The input is split at NUL bytes
// into arguments (the first is the input file name), decoded as the
// program decodes its command line. Checks: the options answer with every
// field in its range; the output name is the input's base, a dot and the
// extension; a split path gives back the path; and on POSIX systems any
// bytes survive the way from file-name bytes to wide text and back.
#include "driver/options.h"
#include "driver/outpath.h"
#include "platform/sys.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

void check(bool ok, const char* what)
{
    if (!ok) {
        std::fprintf(stderr, "%s\n", what);
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::string all(reinterpret_cast<const char*>(data), size);
#ifndef _WIN32
    check(sys::to_bytes(sys::from_bytes(all)) == all, "bytes of a name do not round-trip");
#endif
    std::vector<std::wstring> args{L"pellucid"};
    std::size_t at = 0;
    for (;;) {
        std::size_t end = all.find('\0', at);
        args.push_back(sys::from_bytes(all.substr(at, end - at)));
        if (end == std::string::npos)
            break;
        at = end + 1;
    }
    std::vector<wchar_t*> argv;
    for (auto& a : args)
        argv.push_back(&a[0]);
    argv.push_back(nullptr);

    convopt opt;
    parse_options(opt, static_cast<int>(args.size()), argv.data());
    for (std::int32_t flag : {opt.gga, opt.rmc, opt.gsv, opt.zda})
        check(flag == 0 || flag == 1, "a sentence flag");
    check(opt.utcsec >= 0, "a manual offset");
    bool ext_known = std::wstring(opt.outext) == L"nme";
    for (std::size_t i = 2; i < args.size(); ++i)
        ext_known = ext_known || opt.outext == argv[i];
    check(ext_known, "the extension is neither the default nor an argument");

    const wchar_t* input = argv[1];
    pathsplit p(input);
    check(p.drive + p.dir + p.fname + p.ext == p.path, "a split path");
    check(p.ext.empty() || p.ext[0] == L'.', "an extension");
    check(p.fname.find_first_of(L"\\\\/") == std::wstring::npos, "a separator in the file name");
    std::wstring out = make_output_path(input, opt.outext);
    check(out == p.basepath() + L"." + opt.outext, "the output name");
    return 0;
}
