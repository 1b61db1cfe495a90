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
    else
        say(L"UTC   : TIMEB\n");
    say(L"Ext   : %s\n", opt.outext);
}

// Walks the options; answers false at the first one it cannot accept.
bool walk(convopt& opt, int argc, wchar_t** argv)
{
    int j = 2;
    while (j < argc) {
        const wchar_t* a = argv[j];
        if (same_text(a, L"/rmc")) {
            opt.rmc = 0;
        } else if (same_text(a, L"/gga")) {
            opt.gga = 0;
        } else if (same_text(a, L"/gsv")) {
            opt.gsv = 0;
        } else if (same_text(a, L"/zda")) {
            opt.zda = 0;
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
            std::int32_t n = read_i32(argv[++j]);
            if (n <= 0) {
                say(L"/utc %s is invalid argument\n", argv[j]);
                return false;
            }
            opt.utcsec = n;
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

bool parse_options(convopt& opt, int argc, wchar_t** argv)
{
    opt.gga = opt.rmc = opt.gsv = opt.zda = 1;
    opt.utcsec = 0;
    opt.outext = L"nme";
    bool ok = walk(opt, argc, argv);
    echo(opt);
    return ok;
}
