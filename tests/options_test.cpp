#include "driver/options.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

struct parsed {
    bool ok;
    convopt opt;
    std::string console;
    std::wstring ext;
};

// Parses "prog input <args...>" and returns the record and what was printed.
parsed parse(std::vector<std::wstring> args)
{
    args.insert(args.begin(), {L"pellucid", L"in.log"});
    std::vector<wchar_t*> argv;
    for (auto& a : args)
        argv.push_back(&a[0]);
    argv.push_back(nullptr);
    parsed p;
    testing::internal::CaptureStderr();
    p.ok = parse_options(p.opt, static_cast<int>(args.size()), argv.data());
    p.console = testing::internal::GetCapturedStderr();
    p.ext = p.opt.outext; // copy while the arguments still live
    return p;
}

const std::string defaults = "GPGGA : Enable\nGPRMC : Enable\nGPGSV : Enable\nGPZDA : Enable\n"
                             "UTC   : TIMEB\nExt   : nme\n";

TEST(options, defaults_without_options)
{
    parsed p = parse({});
    EXPECT_TRUE(p.ok);
    EXPECT_EQ(p.console, defaults);
    EXPECT_EQ(p.opt.gga + p.opt.rmc + p.opt.gsv + p.opt.zda, 4);
    EXPECT_EQ(p.opt.utcsec, 0);
    EXPECT_EQ(p.ext, L"nme");
}

TEST(options, switches_match_whole_and_fold_ascii_case_only)
{
    parsed p = parse({L"/RMC", L"/Gga", L"/ZDA"});
    EXPECT_TRUE(p.ok);
    EXPECT_EQ(p.console, "GPGGA : Disable\nGPRMC : Disable\nGPGSV : Enable\nGPZDA : Disable\n"
                         "UTC   : TIMEB\nExt   : nme\n");

    for (const wchar_t* bad : {L"/rmcx", L"-rmc", L"rmc", L"/rm", L"/\u0130MC", L""}) {
        parsed q = parse({bad});
        EXPECT_FALSE(q.ok);
        EXPECT_EQ(q.opt.rmc, 1);
    }
    EXPECT_EQ(parse({L"-rmc"}).console, "-rmc is invalid option\n" + defaults);
    EXPECT_EQ(parse({L""}).console, " is invalid option\n" + defaults);
}

TEST(options, utc_numbers)
{
    struct row {
        const wchar_t* arg;
        int want; // 0: rejected
    } rows[] = {
        {L"16", 16},
        {L"+16", 16},
        {L"16abc", 16},
        {L"  \t18", 18},
        {L"0", 0},
        {L"-5", 0},
        {L"abc", 0},
        {L"0x10", 0},
        {L"", 0},
        {L"+", 0},
        {L"2147483647", 2147483647},
        {L"2147483648", 2147483647},
        {L"99999999999999999999999", 2147483647},
        {L"-99999999999999999999", 0},
        {L"1 2", 1},
    };
    for (const row& r : rows) {
        parsed p = parse({L"/utc", r.arg});
        EXPECT_EQ(p.ok, r.want > 0) << std::string(r.arg, r.arg + wcslen(r.arg));
        EXPECT_EQ(p.opt.utcsec, r.want);
    }
    EXPECT_EQ(parse({L"/utc", L"0x10"}).console, "/utc 0x10 is invalid argument\n" + defaults);
    EXPECT_EQ(parse({L"/utc", L"99999999999"}).console,
              "GPGGA : Enable\nGPRMC : Enable\nGPGSV : Enable\nGPZDA : Enable\n"
              "UTC   : -2147483647 sec\nExt   : nme\n");
    EXPECT_EQ(parse({L"/UTC", L"5", L"/utc", L"7"}).opt.utcsec, 7);
}

TEST(options, read_i32_saturates_in_both_directions)
{
    EXPECT_EQ(read_i32(L"-2147483648"), INT32_MIN);
    EXPECT_EQ(read_i32(L"-2147483649"), INT32_MIN);
    EXPECT_EQ(read_i32(L"2147483646"), 2147483646);
    EXPECT_EQ(read_i32(L"\v\f\r\n-0012x"), -12);
}

TEST(options, arguments_needed_and_taken_verbatim)
{
    EXPECT_EQ(parse({L"/ext"}).console, "/ext needs argument\n" + defaults);
    EXPECT_EQ(parse({L"/gga", L"/utc"}).console,
              "/utc needs argument\nGPGGA : Disable\nGPRMC : Enable\nGPGSV : Enable\n"
              "GPZDA : Enable\nUTC   : TIMEB\nExt   : nme\n");

    parsed p = parse({L"/ext", L"/rmc"});
    EXPECT_TRUE(p.ok);
    EXPECT_EQ(p.ext, L"/rmc");
    EXPECT_EQ(p.opt.rmc, 1);

    EXPECT_EQ(parse({L"/ext", L""}).ext, L"");
    EXPECT_EQ(parse({L"/ext", L"a", L"/EXT", L"b"}).ext, L"b");
}

TEST(options, stops_at_first_fault_keeping_earlier_changes)
{
    parsed p = parse({L"/rmc", L"/foo", L"/gga"});
    EXPECT_FALSE(p.ok);
    EXPECT_EQ(p.console, "/foo is invalid option\nGPGGA : Enable\nGPRMC : Disable\n"
                         "GPGSV : Enable\nGPZDA : Enable\nUTC   : TIMEB\nExt   : nme\n");
}

TEST(options, same_text_folds_only_a_to_z)
{
    EXPECT_TRUE(same_text(L"C:\\Logs\\RUN.nme", L"c:\\logs\\run.NME"));
    EXPECT_FALSE(same_text(L"\u00c9.nme", L"\u00e9.nme"));
    EXPECT_FALSE(same_text(L"run", L"run1"));
    EXPECT_FALSE(same_text(L"[", L"{")); // only letters fold, not the rest of 0x40-0x5F
    EXPECT_TRUE(same_text(L"", L""));
}

} // namespace

namespace {

const std::string all_lines = "GPGSA : Enable\nGPGST : Enable\nGPVTG : Enable\nGPHDT : Enable\n";

std::string utc_line(const std::vector<std::wstring>& args)
{
    std::string c = parse(args).console;
    auto at = c.find("UTC   : ");
    return c.substr(at + 8, c.find('\n', at) - at - 8);
}

TEST(options, utc_auto_and_all)
{
    parsed p = parse({L"/utc", L"AuTo"});
    EXPECT_TRUE(p.ok);
    EXPECT_EQ(p.console, "GPGGA : Enable\nGPRMC : Enable\nGPGSV : Enable\nGPZDA : Enable\n"
                         "UTC   : auto\nExt   : nme\n");
    EXPECT_TRUE(auto_utc(p.opt));
    // The last /utc holds; /all implies auto unless a manual offset stands.
    EXPECT_EQ(utc_line({L"/utc", L"auto", L"/utc", L"5"}), "-5 sec");
    EXPECT_EQ(utc_line({L"/utc", L"5", L"/utc", L"auto"}), "auto");
    EXPECT_EQ(utc_line({L"/utc", L"5", L"/all"}), "-5 sec");
    EXPECT_EQ(utc_line({L"/all", L"/utc", L"5"}), "-5 sec");
    EXPECT_EQ(utc_line({L"/all"}), "auto");
    EXPECT_EQ(utc_line({L"/all", L"/utc", L"5", L"/utc", L"auto"}), "auto");
    // A manual offset dates every fix: no table, whatever came before it.
    for (const auto& args :
         std::vector<std::vector<std::wstring>>{{L"/all", L"/utc", L"5"},
                                                {L"/utc", L"5", L"/all"},
                                                {L"/utc", L"auto", L"/utc", L"5"},
                                                {L"/utc", L"5"},
                                                {}})
        EXPECT_FALSE(auto_utc(parse(args).opt)) << args.size();
    EXPECT_TRUE(auto_utc(parse({L"/all"}).opt));
    // Only the word itself.
    for (const wchar_t* bad : {L"autox", L" auto", L"aut", L"auto "}) {
        parsed q = parse({L"/utc", bad});
        EXPECT_FALSE(q.ok);
        EXPECT_EQ(q.console.substr(0, q.console.find('\n')),
                  "/utc " + std::string(bad, bad + wcslen(bad)) + " is invalid argument");
    }
}

TEST(options, all_adds_four_echo_lines_and_four_switches)
{
    parsed p = parse({L"/ALL", L"/gst", L"/Hdt"});
    EXPECT_TRUE(p.ok);
    EXPECT_EQ(p.console, "GPGGA : Enable\nGPRMC : Enable\nGPGSV : Enable\nGPZDA : Enable\n"
                         "UTC   : auto\nExt   : nme\n"
                         "GPGSA : Enable\nGPGST : Disable\nGPVTG : Enable\nGPHDT : Disable\n");
    // The switches are taken without /all, which alone shows its lines.
    parsed q = parse({L"/gsa", L"/vtg"});
    EXPECT_TRUE(q.ok);
    EXPECT_EQ(q.console, defaults);
    EXPECT_EQ(q.opt.gsa + q.opt.vtg + q.opt.gst + q.opt.hdt, 2);
    // After a fault, what was parsed before it.
    EXPECT_EQ(parse({L"/all", L"/x"}).console,
              "/x is invalid option\nGPGGA : Enable\nGPRMC : Enable\nGPGSV : Enable\n"
              "GPZDA : Enable\nUTC   : auto\nExt   : nme\n" +
                  all_lines);
    EXPECT_EQ(parse({L"/x", L"/all"}).console, "/x is invalid option\n" + defaults);
}

// /ggartk in any letter case, among other options in any order: one more
// echo line, the last; after a fault, only when it came before it.
TEST(options, ggartk_adds_the_last_echo_line_wherever_it_stands)
{
    const std::string rtk = "GPGGA : RTK\n";
    std::vector<std::vector<std::wstring>> units = {
        {L"/all"}, {L"/gst"}, {L"/utc", L"5"}, {L"/GGARTK"}};
    std::vector<int> order = {0, 1, 2, 3};
    int runs = 0;
    do {
        std::vector<std::wstring> args;
        for (int k : order)
            args.insert(args.end(), units[k].begin(), units[k].end());
        parsed p = parse(args);
        EXPECT_TRUE(p.ok && p.opt.ggartk && p.opt.all && !p.opt.gst);
        EXPECT_EQ(p.console, "GPGGA : Enable\nGPRMC : Enable\nGPGSV : Enable\nGPZDA : Enable\n"
                             "UTC   : -5 sec\nExt   : nme\nGPGSA : Enable\nGPGST : Disable\n"
                             "GPVTG : Enable\nGPHDT : Enable\n" +
                                 rtk);
        ++runs;
    } while (std::next_permutation(order.begin(), order.end()));
    EXPECT_EQ(runs, 24);
    parsed q = parse({L"/GgArTk"});
    EXPECT_TRUE(q.ok && q.opt.ggartk && q.opt.gga);
    EXPECT_EQ(q.console, defaults + rtk);
    EXPECT_FALSE(parse({}).opt.ggartk);
    EXPECT_EQ(parse({L"/ggartk", L"/x"}).console, "/x is invalid option\n" + defaults + rtk);
    EXPECT_EQ(parse({L"/x", L"/ggartk"}).console, "/x is invalid option\n" + defaults);
    for (const wchar_t* bad : {L"/ggartkx", L"/ggart", L"/gga-rtk", L"ggartk"})
        EXPECT_FALSE(parse({bad}).ok);
}

} // namespace
