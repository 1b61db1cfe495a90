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

const wchar_t* able(bool flag)
{
    return flag ? L"Enable" : L"Disable";
}

// When an option's line shows among the settings printed at the start.
enum class shown { always, with_all, when_set };

// Every option, one row each, in the order of the usage text: its name
// (matched without regard to case); the switch it sets and to what (none for
// /utc and /ext, which take a value that walk() reads); its settings line
// ("%s" says Enable or Disable), that line's place among the settings of its
// kind and when it shows; and its usage line, in the first block or under
// "Extensions:" (none when another row's line covers it).
struct optrow {
    const wchar_t* name;
    bool switches::*member;
    bool sets;
    const wchar_t* echo;
    int place;
    shown when;
    bool extension;
    const wchar_t* usage;
};

const optrow rows[] = {
    {L"/rmc", &switches::rmc, false, L"GPRMC : %s\n", 2, shown::always, false,
     L"/rmc       Disable $GPRMC"},
    {L"/gga", &switches::gga, false, L"GPGGA : %s\n", 1, shown::always, false,
     L"/gga       Disable $GPGGA"},
    {L"/gsv", &switches::gsv, false, L"GPGSV : %s\n", 3, shown::always, false,
     L"/gsv       Disable $GPGSV"},
    {L"/zda", &switches::zda, false, L"GPZDA : %s\n", 4, shown::always, false,
     L"/zda       Disable $GPZDA"},
    {L"/utc", nullptr, false, nullptr, 0, shown::always, false,
     L"/utc [n]   Set UTC offset manually -n[sec]"},
    {L"/ext", nullptr, false, nullptr, 0, shown::always, false,
     L"/ext [x]   Set extension for output file"},
    {L"/all", &switches::all, true, nullptr, 0, shown::always, true,
     L"/all       Also read INSPVA(S/X), BESTXYZ, PSRDOP2, SATVIS2, HEADING(2), ASCII logs\n"
     L"                    and write $GPGSA, $GPGST, $GPVTG, $GPHDT"},
    {L"/utc", nullptr, false, nullptr, 0, shown::always, true,
     L"/utc auto  UTC offset from the leap-second table until TIMEB gives it"},
    {L"/gsa", &switches::gsa, false, L"GPGSA : %s\n", 1, shown::with_all, true,
     L"/gsa /gst /vtg /hdt  Disable a sentence that /all adds"},
    {L"/gst", &switches::gst, false, L"GPGST : %s\n", 2, shown::with_all, true, nullptr},
    {L"/vtg", &switches::vtg, false, L"GPVTG : %s\n", 3, shown::with_all, true, nullptr},
    {L"/hdt", &switches::hdt, false, L"GPHDT : %s\n", 4, shown::with_all, true, nullptr},
    {L"/ggartk", &switches::ggartk, true, L"GPGGA : RTK\n", 1, shown::when_set, true,
     L"/ggartk    $GPGGA with RTK precision (as GPGGARTK)"},
};

// The settings lines of the rows shown `when`, in the order of their places.
void echo_rows(const convopt& opt, shown when)
{
    for (int place = 1; place <= static_cast<int>(sizeof rows / sizeof rows[0]); ++place)
        for (const optrow& r : rows)
            if (r.echo && r.when == when && r.place == place &&
                (when != shown::when_set || opt.*r.member))
                say(r.echo, able(opt.*r.member));
}

void echo(const convopt& opt)
{
    echo_rows(opt, shown::always);
    if (opt.utcsec > 0)
        say(L"UTC   : %d sec\n", -opt.utcsec);
    else if (auto_utc(opt))
        say(L"UTC   : auto\n");
    else
        say(L"UTC   : TIMEB\n");
    say(L"Ext   : %s\n", opt.outext);
    if (opt.all)
        echo_rows(opt, shown::with_all);
    echo_rows(opt, shown::when_set);
}

void usage_rows(bool extension, const wchar_t* first)
{
    for (const optrow& r : rows)
        if (r.usage && r.extension == extension) {
            say(L"%s%s\n", first, r.usage);
            first = L"         ";
        }
}

// The switch row of an argument, or null.
const optrow* switch_of(const wchar_t* a)
{
    for (const optrow& r : rows)
        if (r.member && same_text(a, r.name))
            return &r;
    return nullptr;
}

// Walks the options; answers false at the first one it cannot accept.
bool walk(convopt& opt, int argc, wchar_t** argv)
{
    int j = 2;
    while (j < argc) {
        const wchar_t* a = argv[j];
        if (const optrow* r = switch_of(a)) {
            opt.*r->member = r->sets;
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
                opt.utcauto = true;
                opt.utcsec = 0;
            } else {
                std::int32_t n = read_i32(v);
                if (n <= 0) {
                    say(L"/utc %s is invalid argument\n", v);
                    return false;
                }
                opt.utcsec = n;
                opt.utcauto = false;
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
    opt = convopt();
    bool ok = walk(opt, argc, argv);
    echo(opt);
    return ok;
}

void usage()
{
    say(L"USAGE: Pellucid NovatelBinaryFile.log [options]\n");
    usage_rows(false, L"options: ");
    say(L"Required Novatel Packet:\n");
    say(L" $GPGGA: BESTPOSB, PSRDOPB(*3), TIMEB(*1)\n");
    say(L" $GPRMC: BESTPOSB, BESTVELB(*2), TIMEB(*1)\n");
    say(L" $GPGSV: SATVISB, TRACKSTATB\n");
    say(L" $GPZDA: TIMEB\n");
    say(L"(*1) if you use /utc option, TIMEB is unnecessary.\n");
    say(L"(*2) if no BESTVELB, speed and direction fields will be NULL.\n");
    say(L"(*3) if no PSRDOPB, DOP field will be NULL.\n");
    say(L"Extensions:\n");
    usage_rows(true, L"         ");
}
