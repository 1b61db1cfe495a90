#include "options.h"

#include "console.h"

#include <cstdint>

namespace {
wchar_t fold(wchar_t c)
{
    return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c - L'A' + L'a') : c;
}

bool is_space(wchar_t c)
{
    return c == L' ' || c == L'\t' || c == L'\n' || c == L'\v' || c == L'\f' || c == L'\r';
}

const wchar_t* able(std::int32_t flag)
{
    return flag ? L"Enable" : L"Disable";
}

void echo(const convopt& opt)
{
    say(L"GPGGA : %s\n", able(opt.gga));
    say(L"GPRMC : %s\n", able(opt.rmc));
    say(L"GPGSV : %s\n", able(opt.gsv));
    say(L"GPZDA : %s\n", able(opt.zda));
    if (opt.utcsec > 0)
        say(L"UTC   : %d sec\n", -opt.utcsec);
    else if (auto_utc(opt))
        say(L"UTC   : auto\n");
    else
        say(L"UTC   : TIMEB\n");
    say(L"Ext   : %s\n", opt.outext);
    if (opt.all) {
        say(L"GPGSA : %s\n", able(opt.gsa));
        say(L"GPGST : %s\n", able(opt.gst));
        say(L"GPVTG : %s\n", able(opt.vtg));
        say(L"GPHDT : %s\n", able(opt.hdt));
    }
}

// The flag an option that takes no argument sets: /all on, the others a
// sentence off; null for any other argument.
std::int32_t* switch_of(convopt& opt, const wchar_t* a)
{
    const struct {
        const wchar_t* name;
        std::int32_t convopt::*flag;
    } switches[] = {{L"/rmc", &convopt::rmc}, {L"/gga", &convopt::gga}, {L"/gsv", &convopt::gsv},
                    {L"/zda", &convopt::zda}, {L"/all", &convopt::all}, {L"/gsa", &convopt::gsa},
                    {L"/gst", &convopt::gst}, {L"/vtg", &convopt::vtg}, {L"/hdt", &convopt::hdt}};
    for (const auto& sw : switches)
        if (same_text(a, sw.name))
            return &(opt.*sw.flag);
    return nullptr;
}

// Walks the options; answers false at the first one it cannot accept.
bool walk(convopt& opt, int argc, wchar_t** argv)
{
    int j = 2;
    while (j < argc) {
        const wchar_t* a = argv[j];
        if (std::int32_t* flag = switch_of(opt, a)) {
            *flag = same_text(a, L"/all") ? 1 : 0;
        } else if (same_text(a, L"/ext")) {
            if (j + 1 >= argc) {
                say(L"/ext needs argument\n");
                return false;
            }
            opt.outext = argv[++j];
        } else if (same_text(a, L"/utc")) {
            if (j + 1 >= argc) {
                say(L"/utc needs argument\n");
                return false;
            }
            const wchar_t* v = argv[++j];
            if (same_text(v, L"auto")) {
                opt.utcauto = 1;
                opt.utcsec = 0;
            } else {
                std::int32_t n = read_i32(v);
                if (n <= 0) {
                    say(L"/utc %s is invalid argument\n", v);
                    return false;
                }
                opt.utcsec = n;
                opt.utcauto = 0;
            }
        } else {
            say(L"%s is invalid option\n", a);
            return false;
        }
        ++j;
    }
    return true;
}
} // namespace

bool same_text(const wchar_t* a, const wchar_t* b)
{
    for (; *a && *b; ++a, ++b)
        if (fold(*a) != fold(*b))
            return false;
    return *a == *b;
}

std::int32_t read_i32(const wchar_t* s)
{
    while (is_space(*s))
        ++s;
    bool neg = false;
    if (*s == L'+' || *s == L'-')
        neg = (*s++ == L'-');
    std::int64_t v = 0;
    for (; *s >= L'0' && *s <= L'9'; ++s) {
        if (v <= INT32_MAX)
            v = v * 10 + (*s - L'0');
    }
    if (neg)
        v = -v;
    if (v > INT32_MAX)
        return INT32_MAX;
    if (v < INT32_MIN)
        return INT32_MIN;
    return static_cast<std::int32_t>(v);
}

bool auto_utc(const convopt& opt)
{
    return opt.utcsec <= 0 && (opt.utcauto || opt.all);
}

bool parse_options(convopt& opt, int argc, wchar_t** argv)
{
    opt.gga = opt.rmc = opt.gsv = opt.zda = 1;
    opt.utcsec = 0;
    opt.outext = L"nme";
    opt.all = opt.utcauto = 0;
    opt.gsa = opt.gst = opt.vtg = opt.hdt = 1;
    bool ok = walk(opt, argc, argv);
    echo(opt);
    return ok;
}
