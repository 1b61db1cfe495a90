// The program as a user runs it: console text, exit code, files afterwards.
#include "frames.h"
#include "support.h"
#include "survey.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <thread>

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#endif

namespace {

TEST(cli, no_arguments_prints_usage)
{
    scratch d;
    ran r = run_pellucid(d.path(), {});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, std::string(banner) + usage);
    EXPECT_EQ(r.out, "");
}

TEST(cli, banner_shows_the_project_version)
{
    // The version of project() in CMakeLists.txt, which the build hands to the
    // program and to these tests alike: the first line of every run shows it.
    const std::string version = PELLUCID_VERSION;
    ASSERT_FALSE(version.empty());
    EXPECT_EQ(version.find_first_not_of("0123456789."), std::string::npos) << version;
    scratch d;
    ran r = run_pellucid(d.path(), {"missing.log"});
    EXPECT_EQ(r.err.substr(0, r.err.find('\n') + 1), "Pellucid version " + version + "\n");
}

TEST(cli, empty_input_gives_empty_output_and_exit_1)
{
    scratch d;
    write_file(d.file("run1.log"), "");
    ran r = run_pellucid(d.path(), {"run1.log"});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, banner + echo() + summary(0));
    EXPECT_EQ(r.out, "");
    ASSERT_TRUE(exists(d.file("run1.nme")));
    EXPECT_EQ(read_file(d.file("run1.nme")), "");
}

TEST(cli, rejected_option_prints_fault_echo_and_usage)
{
    scratch d;
    write_file(d.file("run1.log"), "");
    ran r = run_pellucid(d.path(), {"run1.log", "/rmc", "/foo", "/gga"});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err,
              banner + std::string("/foo is invalid option\n") + echo("Enable", "Disable") + usage);
    EXPECT_FALSE(exists(d.file("run1.nme")));
}

TEST(cli, input_open_errors_name_the_argument_as_typed)
{
    scratch d;
    // The first argument is always the input, even when it looks like an option.
    ran r = run_pellucid(d.path(), {"/rmc"});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, banner + echo() + "Input file /rmc open error.\n");

    r = run_pellucid(d.path(), {"missing.log", "/utc", "18", "/ext", "txt"});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, banner + echo("Enable", "Enable", "Enable", "Enable", "-18", "txt") +
                         "Input file missing.log open error.\n");
    EXPECT_FALSE(exists(d.file("missing.txt")));
}

TEST(cli, output_named_like_input_is_refused_in_any_letter_case)
{
    for (const char* name : {"track.nme", "TRACK.NME", "Track.Nme"}) {
        scratch d;
        write_file(d.file(name), "keep me");
        ran r = run_pellucid(d.path(), {name});
        EXPECT_EQ(r.code, 1) << name;
        EXPECT_EQ(r.err, banner + echo() + "Input file and Output file are same.\n");
        EXPECT_EQ(read_file(d.file(name)), "keep me");
    }
    scratch d;
    write_file(d.file("RUN1.LOG"), "keep me");
    ran r = run_pellucid(d.path(), {"RUN1.LOG", "/ext", "log"});
    EXPECT_EQ(r.err, banner + echo("Enable", "Enable", "Enable", "Enable", "TIMEB", "log") +
                         "Input file and Output file are same.\n");
    EXPECT_EQ(read_file(d.file("RUN1.LOG")), "keep me");
}

TEST(cli, output_name_that_the_system_takes_for_the_input_is_refused)
{
    // Windows drops the trailing dots of a name, so run1.log. is the input
    // there; elsewhere it is a file of its own.
    scratch d;
    write_file(d.file("run1.log"), "keep me");
    ran r = run_pellucid(d.path(), {"run1.log", "/ext", "log."});
    std::string shown = banner + echo("Enable", "Enable", "Enable", "Enable", "TIMEB", "log.");
    EXPECT_EQ(r.code, 1);
    if (on_windows) {
        EXPECT_EQ(r.err, shown + "Input file and Output file are same.\n");
    } else {
        EXPECT_EQ(r.err, shown + summary(0));
        EXPECT_EQ(read_file(d.file("run1.log.")), "");
    }
    EXPECT_EQ(read_file(d.file("run1.log")), "keep me");
}

TEST(cli, output_name_that_is_a_hard_link_to_the_input_is_refused)
{
    scratch d;
    write_file(d.file("run1.log"), "keep me");
    std::filesystem::create_hard_link(fs_path(d.file("run1.log")), fs_path(d.file("run1.txt")));
    ran r = run_pellucid(d.path(), {"run1.log", "/ext", "txt"});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, banner + echo("Enable", "Enable", "Enable", "Enable", "TIMEB", "txt") +
                         "Input file and Output file are same.\n");
    EXPECT_EQ(read_file(d.file("run1.log")), "keep me");
}

TEST(cli, output_name_that_is_a_symbolic_link_to_the_input_is_refused)
{
    scratch d;
    write_file(d.file("run1.log"), "keep me");
    std::string why = make_symlink("run1.log", d.file("run1.nme"));
    if (!why.empty())
        GTEST_SKIP() << "no symbolic link can be made here: " << why;
    ran r = run_pellucid(d.path(), {"run1.log"});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, banner + echo() + "Input file and Output file are same.\n");
    EXPECT_EQ(read_file(d.file("run1.log")), "keep me");
}

TEST(cli, output_open_error_names_the_output)
{
    scratch d;
    write_file(d.file("run1.log"), "");
    ASSERT_TRUE(std::filesystem::create_directory(fs_path(d.file("run1.nme"))));
    ran r = run_pellucid(d.path(), {"run1.log"});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, banner + echo() + "Output file run1.nme open error.\n");
}

// A file name opens, the output keeps its characters, and messages print
// them back.
void name_round_trips(const std::string& base)
{
    scratch d;
    write_file(d.file(base + ".log"), "");
    ran r = run_pellucid(d.path(), {base + ".log"});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, banner + echo() + summary(0));
    EXPECT_TRUE(exists(d.file(base + ".nme")));

    r = run_pellucid(d.path(), {base + "-missing.log", "/ext", base});
    EXPECT_EQ(r.err, banner + echo("Enable", "Enable", "Enable", "Enable", "TIMEB", base) +
                         "Input file " + base + "-missing.log open error.\n");
}

TEST(cli, file_names_that_are_not_ascii)
{
    name_round_trips("m\xc3\xa9sure-\xe6\xb8\xac");
}

TEST(cli, file_names_that_are_not_utf8)
{
    if (on_windows)
        GTEST_SKIP() << "Windows names are UTF-16 text: no name holds bytes that are not UTF-8";
    name_round_trips("bad\xff\xc3(");
}

TEST(cli, arguments_with_blanks_quotes_and_backslashes_arrive_exactly)
{
    scratch d;
    write_file(d.file("run 1.log"), "");
    ran r = run_pellucid(d.path(), {"run 1.log", "/ext", "n m"});
    EXPECT_EQ(r.err,
              banner + echo("Enable", "Enable", "Enable", "Enable", "TIMEB", "n m") + summary(0));
    EXPECT_TRUE(exists(d.file("run 1.n m")));

    const std::string odd = "say \"hi\" \\\" a\\b\\";
    r = run_pellucid(d.path(), {odd, "/ext", ""});
    EXPECT_EQ(r.err, banner + echo("Enable", "Enable", "Enable", "Enable", "TIMEB", "") +
                         "Input file " + odd + " open error.\n");
}

// A recording of today's receivers without a TIME log: two BESTPOS fixes
// of 2014 (16 s), an INSPVAS at 20 Hz in short frames, and one frame of each
// other log only /all reads.
std::string todays_log()
{
    std::string s;
    frames::header h;
    h.week = 1815;
    h.msec = 413059500;
    s += frames::make(frames::bestpos{}, h);
    frames::inspva v;
    for (int k = 0; k < 4; ++k) {
        h.msec += 50;
        s += frames::make_short(v, h);
    }
    h.msec += 50;
    s += frames::make(frames::bestpos{}, h) + frames::make(v, h) +
         frames::make(frames::inspvax{}, h);
    h.msec += 50;
    s += frames::make(frames::bestxyz{}, h) + frames::make_psrdop2(1.5f, 0.8f, 1.2f, h);
    for (std::uint16_t id : {1043, 971, 1335})
        s += frames::frame(id, std::string(48, '\0'), h);
    return s;
}

std::string table_of_all(int inspva, int inspvas, int inspvax, int bestxyz, int psrdop2,
                         int satvis2, int heading, int heading2, int ascii = 0)
{
    auto n = [](int v) { return std::to_string(v) + "\n"; };
    return "INSPVAB:    " + n(inspva) + "INSPVASB:   " + n(inspvas) + "INSPVAXB:   " + n(inspvax) +
           "BESTXYZB:   " + n(bestxyz) + "PSRDOP2B:   " + n(psrdop2) + "SATVIS2B:   " + n(satvis2) +
           "HEADINGB:   " + n(heading) + "HEADING2B:  " + n(heading2) + "ASCII logs: " + n(ascii);
}

TEST(cli, all_reads_every_log_of_todays_receivers_and_dates_by_the_table)
{
    scratch d;
    write_file(d.file("span.gps"), todays_log());
    ran r = run_pellucid(d.path(), {"span.gps", "/all", "/gsa"});
    EXPECT_EQ(r.code, 0);
    std::string head = banner + echo("Enable", "Enable", "Enable", "Enable", "auto") +
                       "GPGSA : Disable\nGPGST : Enable\nGPVTG : Enable\nGPHDT : Enable\n";
    // Fixes at seven epochs: the INSPVA and INSPVAX of the second BESTPOS's
    // epoch are not written again. Each has a GGA and an RMC; the two
    // BESTPOS a GST; the INSPVAS a VTG and an HDT, and so has the HEADING
    // (HEADING2 of its epoch is not written again).
    std::string tail = summary(27, 2);
    tail.insert(tail.find("BESTPOSB"), "UTC offset from leap-second table is -16 sec\n");
    EXPECT_EQ(r.err, head + tail + table_of_all(1, 4, 1, 1, 1, 1, 1, 1));
    std::string out = read_file(d.file("span.nme"));
    EXPECT_EQ(out.substr(0, 17), "$GPGGA,184403.50,"); // 18:44:19.5 GPS
}

TEST(cli, hints_name_what_a_plain_run_left_out)
{
    scratch d;
    write_file(d.file("span.gps"), todays_log());
    const std::string undated =
        "Fixes not written for want of a UTC offset (no TIMEB): 2. Use /utc auto or /utc n.\n";
    const std::string unread = "Frames of logs that only /all reads (INS, BESTXYZ, PSRDOP2, "
                               "SATVIS2, HEADING): 11. Use /all.\n";
    ran r = run_pellucid(d.path(), {"span.gps"});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, banner + echo() + summary(0, 2) + undated + unread);
    EXPECT_EQ(read_file(d.file("span.nme")), "");

    // The first only while GGA or RMC is to be written and nothing dates.
    r = run_pellucid(d.path(), {"span.gps", "/gga"});
    EXPECT_EQ(r.err, banner + echo("Disable") + summary(0, 2) + undated + unread);
    r = run_pellucid(d.path(), {"span.gps", "/gga", "/rmc"});
    EXPECT_EQ(r.err, banner + echo("Disable", "Disable") + summary(0, 2) + unread);
    r = run_pellucid(d.path(), {"span.gps", "/utc", "16"});
    EXPECT_EQ(r.err, banner + echo("Enable", "Enable", "Enable", "Enable", "-16") + summary(4, 2) +
                         unread);
    r = run_pellucid(d.path(), {"span.gps", "/utc", "auto"});
    std::string tail = summary(4, 2);
    tail.insert(tail.find("BESTPOSB"), "UTC offset from leap-second table is -16 sec\n");
    EXPECT_EQ(r.err, banner + echo("Enable", "Enable", "Enable", "Enable", "auto") + tail + unread);
    EXPECT_EQ(r.code, 0);
}

// Every counter of the summary counts its own log: each log the run reads
// comes a number of times of its own.
TEST(cli, each_counter_of_the_summary_counts_its_own_log)
{
    std::string s;
    frames::header h;
    auto next = [&] {
        h.msec += 100;
        return h;
    };
    auto times = [&](int n, const std::function<std::string()>& make) {
        for (int k = 0; k < n; ++k)
            s += make();
    };
    frames::inspva v;
    times(9, [&] { return frames::make(frames::bestpos{}, next()); });
    times(10, [&] { return frames::make(frames::bestvel{}, next()); });
    times(11, [&] { return frames::make_satvis({{5, 40, 100}}, next()); });
    times(12, [&] { return frames::make_trackstat({{5, 0, 40}}, next()); });
    times(13, [&] { return frames::make(frames::time{}, next()); });
    times(14, [&] { return frames::make_psrdop(1.25f, next()); });
    times(1, [&] { return frames::make(v, next()); });
    times(2, [&] { return frames::make_short(v, next()); });
    times(3, [&] { return frames::make(frames::inspvax{}, next()); });
    times(4, [&] { return frames::make(frames::bestxyz{}, next()); });
    times(5, [&] { return frames::make_psrdop2(1.5f, 0.8f, 1.2f, next()); });
    times(6, [&] { return frames::make_satvis2(0, {{5, 40, 100}}, next()); });
    times(7, [&] { return frames::make_heading(10.0f, next()); });
    times(8, [&] { return frames::make_heading(20.0f, next(), 1335); });
    scratch d;
    write_file(d.file("run1.log"), s);
    ran r = run_pellucid(d.path(), {"run1.log", "/all"});
    EXPECT_EQ(r.code, 0);
    std::string counts = summary(0, 9, 10, 11, 12, 13, 14);
    counts = counts.substr(counts.find("BESTPOSB"));
    std::size_t at = r.err.find("BESTPOSB");
    ASSERT_NE(at, std::string::npos) << r.err;
    EXPECT_EQ(r.err.substr(at), counts + table_of_all(1, 2, 3, 4, 5, 6, 7, 8));
}

// A recording from which /all writes every sentence it can: a TIME, a
// PSRDOP, a BESTVEL, a BESTPOS, a SATVIS with its TRACKSTAT, an INSPVAX and
// a HEADING, each in its own epoch.
std::string every_sentence_log()
{
    frames::header h;
    h.week = 2448;
    h.msec = 131714000;
    frames::bestvel vel;
    vel.speed = 2.5;
    std::string s = frames::make(frames::time{}, h) + frames::make_psrdop(0.9f, h) +
                    frames::make(vel, h) + frames::make(frames::bestpos{}, h) +
                    frames::make_satvis({{5, 40, 100}, {12, 20, 200}}, h) +
                    frames::make_trackstat({{5, 0, 40}, {12, 0, 35}}, h);
    h.msec += 1000;
    s += frames::make(frames::inspvax{}, h);
    h.msec += 500;
    return s + frames::make_heading(12.5f, h);
}

// Each switch drops exactly its own sentence from what /all writes, in the
// whole run, and given twice it still does; /all given twice is /all.
TEST(cli, each_switch_drops_its_own_sentence_given_once_or_twice)
{
    scratch d;
    write_file(d.file("run1.log"), every_sentence_log());
    auto lines_of = [&](std::vector<std::string> args) {
        args.insert(args.begin(), "run1.log");
        run_pellucid(d.path(), args);
        std::vector<std::string> v;
        std::string t = read_file(d.file("run1.nme"));
        for (std::size_t at = 0, end; (end = t.find("\r\n", at)) != std::string::npos; at = end + 2)
            v.push_back(t.substr(at, end - at));
        return v;
    };
    const std::vector<std::string> all = lines_of({"/all"});
    const std::string kinds[] = {"GGA", "RMC", "GSV", "ZDA", "GSA", "GST", "VTG", "HDT"};
    for (const std::string& k : kinds)
        ASSERT_TRUE(std::any_of(all.begin(), all.end(), [&](const std::string& l) {
            return l.substr(3, 3) == k;
        })) << k;
    EXPECT_EQ(lines_of({"/all", "/all"}), all);
    for (const std::string& k : kinds) {
        std::vector<std::string> want;
        for (const std::string& l : all)
            if (l.substr(3, 3) != k)
                want.push_back(l);
        std::string sw = "/" + k;
        std::transform(sw.begin(), sw.end(), sw.begin(),
                       [](char c) { return static_cast<char>(std::tolower(c)); });
        EXPECT_EQ(lines_of({"/all", sw}), want) << sw;
        EXPECT_EQ(lines_of({sw, "/all", sw}), want) << sw << " twice";
    }
}

// A log six folders deep, its path over 300 characters long: longer than
// the plain form of a Windows name allows (MAX_PATH, 260).
TEST(cli, names_longer_than_max_path_convert)
{
    scratch d;
    std::string rel;
    for (char c = 'a'; c < 'g'; ++c)
        rel += std::string(50, c) + "/";
    ASSERT_TRUE(std::filesystem::create_directories(fs_path(d.file(rel))));
    const std::string sample = read_file(SOURCE_DIR "/examples/sample.log");
    const std::string golden = read_file(SOURCE_DIR "/tests/golden/sample.nme");
    write_file(d.file(rel + "run1.log"), sample);
    ASSERT_EQ(read_file(d.file(rel + "run1.log")), sample);

    // By a relative name, from the scratch folder.
    ran r = run_pellucid(d.path(), {rel + "run1.log"});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(read_file(d.file(rel + "run1.nme")), golden);

    // By the absolute name, with another extension.
    std::string whole = d.file(rel + "run1.log");
    ASSERT_GT(whole.size(), 300u);
    r = run_pellucid(d.path(), {whole, "/ext", "txt"});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(read_file(d.file(rel + "run1.txt")), golden);

    // Another name of the input there is still known as the input.
    std::filesystem::create_hard_link(fs_path(whole), fs_path(d.file(rel + "run1.dup")));
    r = run_pellucid(d.path(), {whole, "/ext", "dup"});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, banner + echo("Enable", "Enable", "Enable", "Enable", "TIMEB", "dup") +
                         "Input file and Output file are same.\n");
    EXPECT_EQ(read_file(d.file(rel + "run1.log")), sample);
}

#ifdef _WIN32
TEST(cli, program_declares_itself_aware_of_long_paths)
{
    // The application manifest, resource 1 of type RT_MANIFEST.
    std::wstring exe = std::filesystem::absolute(PELLUCID_BIN).wstring();
    HMODULE m = LoadLibraryExW(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(m, nullptr);
    HRSRC res = FindResourceW(m, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));
    ASSERT_NE(res, nullptr);
    HGLOBAL data = LoadResource(m, res);
    std::string manifest(static_cast<const char*>(LockResource(data)), SizeofResource(m, res));
    FreeLibrary(m);
    EXPECT_NE(manifest.find("longPathAware>true</"), std::string::npos) << manifest;
}
#endif

// --- The output name after a run: replaced whole by a run that succeeds,
// left as it was by one that fails, written through when it is not a file.

const std::string sample_log = SOURCE_DIR "/examples/sample.log";
const std::string sample_nme = SOURCE_DIR "/tests/golden/sample.nme";
const std::string earlier = "$GPZDA,000000.00,01,01,2026,,*48\r\n";

using names = std::vector<std::string>;

// A receiver session whose conversion writes about 2.5 MB.
void write_long_log(const std::string& path)
{
    std::FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_TRUE(f && write_survey(f, 6000000));
    std::fclose(f);
}

TEST(cli, a_write_error_leaves_the_earlier_output_as_it_was)
{
    if (on_windows)
        GTEST_SKIP() << "no file size limit for a Windows program (run.* makes the writes fail)";
    for (bool before : {true, false}) {
        scratch d;
        write_long_log(d.file("run1.log"));
        if (before)
            write_file(d.file("run1.nme"), earlier);
        launch limited;
        limited.file_size = 1000000; // the disk is full after 1 MB
        ran r = run_pellucid(d.path(), {"run1.log"}, limited);
        EXPECT_EQ(r.code, 1);
        EXPECT_EQ(r.err, banner + echo() + "Output file run1.nme write error.\n");
        if (before) {
            EXPECT_EQ(read_file(d.file("run1.nme")), earlier);
            EXPECT_EQ(names_in(d.path()), (names{"run1.log", "run1.nme"}));
        } else {
            EXPECT_EQ(names_in(d.path()), names{"run1.log"});
        }
    }
}

TEST(cli, a_read_error_leaves_the_earlier_output_as_it_was)
{
    if (on_windows)
        GTEST_SKIP() << "Windows refuses to open a folder as the input: no read error";
    for (bool before : {true, false}) {
        scratch d;
        std::filesystem::create_directory(fs_path(d.file("logs.d")));
        if (before)
            write_file(d.file("logs.nme"), earlier);
        ran r = run_pellucid(d.path(), {"logs.d"});
        EXPECT_EQ(r.code, 1);
        EXPECT_EQ(r.err, banner + echo() + "Input file logs.d read error.\n");
        if (before) {
            EXPECT_EQ(read_file(d.file("logs.nme")), earlier);
            EXPECT_EQ(names_in(d.path()), (names{"logs.d", "logs.nme"}));
        } else {
            EXPECT_EQ(names_in(d.path()), names{"logs.d"});
        }
    }
}

// An existing output that the user may not write is refused, as opening it
// would be, and left as it was. Permissions must hold for the program: run
// as root by the tests, it runs as nobody, in a folder anyone may write.
// Windows has no such change of user: where the tests' own user may write
// the read-only file (Wine run as root), the case cannot be made.
TEST(cli, a_read_only_output_is_refused)
{
    namespace fs = std::filesystem;
    scratch d;
    write_file(d.file("run1.log"), read_file(sample_log));
    write_file(d.file("run1.nme"), earlier);
    fs::permissions(fs_path(d.file("run1.nme")),
                    fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    fs::permissions(fs_path(d.path()), fs::perms::all);
    if (on_windows && std::ofstream(fs_path(d.file("run1.nme")), std::ios::app).is_open()) {
        fs::permissions(fs_path(d.file("run1.nme")), fs::perms::owner_write, fs::perm_options::add);
        GTEST_SKIP() << "this user may write a read-only file here, and no other user can be taken";
    }
    launch as_nobody;
    as_nobody.unprivileged = true;
    ran r = run_pellucid(d.path(), {"run1.log"}, as_nobody);
    fs::permissions(fs_path(d.file("run1.nme")), fs::perms::owner_write, fs::perm_options::add);
    if (r.code == 127 && r.err.empty())
        GTEST_SKIP() << "the program cannot be started as an unprivileged user here";
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, banner + echo() + "Output file run1.nme open error.\n");
    EXPECT_EQ(read_file(d.file("run1.nme")), earlier);
    EXPECT_EQ(names_in(d.path()), (names{"run1.log", "run1.nme"}));
}

// A new file that cannot take the output name at the end is a write error,
// and it is removed: the name becomes a folder while the run waits for its
// input from a named pipe.
TEST(cli, a_new_file_that_cannot_take_the_name_is_a_write_error_and_removed)
{
    scratch d;
    std::string why = make_fifo(d.file("run1.log"));
    if (!why.empty())
        GTEST_SKIP() << "no named pipe can be made here: " << why;
    ran r;
    std::thread program([&] { r = run_pellucid(d.path(), {"run1.log"}); });
    // The pipe opens for writing once the program has opened it to read.
    std::FILE* w = std::fopen(d.file("run1.log").c_str(), "wb");
    ASSERT_TRUE(w);
    auto new_file = [&] {
        for (const std::string& n : names_in(d.path()))
            if (n.rfind(".run1.nme.pellucid-", 0) == 0)
                return true;
        return false;
    };
    for (int waited = 0; !new_file() && waited < 20000; ++waited)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_TRUE(new_file());
    std::filesystem::create_directory(fs_path(d.file("run1.nme")));
    std::string log = read_file(sample_log);
    std::fwrite(log.data(), 1, log.size(), w);
    std::fclose(w);
    program.join();
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, banner + echo() + "Output file run1.nme write error.\n");
    EXPECT_EQ(names_in(d.path()), (names{"run1.log", "run1.nme"}));
    EXPECT_TRUE(names_in(d.file("run1.nme")).empty());
}

// A run that succeeds replaces the earlier output whole, also with nothing
// when it writes no sentence, and leaves nothing else in the folder; on
// POSIX the file keeps its permission bits, and a new one gets those any
// new file gets.
TEST(cli, a_run_replaces_the_earlier_output_whole)
{
    namespace fs = std::filesystem;
    scratch d;
    write_file(d.file("run1.log"), read_file(sample_log));
    write_file(d.file("run1.nme"), earlier + std::string(500000, 'x'));
    const auto mode = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read;
    if (!on_windows)
        fs::permissions(fs_path(d.file("run1.nme")), mode);
    ran r = run_pellucid(d.path(), {"run1.log"});
    EXPECT_EQ(r.code, 0);
    EXPECT_TRUE(read_file(d.file("run1.nme")) == read_file(sample_nme));
    EXPECT_EQ(names_in(d.path()), (names{"run1.log", "run1.nme"}));
    if (!on_windows) {
        EXPECT_EQ(fs::status(fs_path(d.file("run1.nme"))).permissions(), mode);
    }

    r = run_pellucid(d.path(), {"run1.log", "/gga", "/rmc", "/gsv", "/zda"});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(read_file(d.file("run1.nme")), "");
    EXPECT_EQ(names_in(d.path()), (names{"run1.log", "run1.nme"}));

    write_file(d.file("new.txt"), "");
    r = run_pellucid(d.path(), {"run1.log", "/ext", "out"});
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(fs::status(fs_path(d.file("run1.out"))).permissions(),
              fs::status(fs_path(d.file("new.txt"))).permissions());
}

// Runs that stop before converting leave no file of their own behind.
TEST(cli, refused_runs_leave_nothing_behind)
{
    scratch d;
    write_file(d.file("run1.nme"), earlier);
    run_pellucid(d.path(), {"run1.nme"}); // the output would be the input
    std::filesystem::create_directory(fs_path(d.file("run1.txt")));
    write_file(d.file("run1.log"), read_file(sample_log));
    ran r = run_pellucid(d.path(), {"run1.log", "/ext", "txt"}); // a folder of the output name
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(read_file(d.file("run1.nme")), earlier);
    EXPECT_EQ(names_in(d.path()), (names{"run1.log", "run1.nme", "run1.txt"}));
    EXPECT_TRUE(names_in(d.file("run1.txt")).empty());
}

// "pellucid run1.log /ext txt 2> run1.txt": the console text goes to the
// file the shell made, the sentences to a file of their own, which then
// takes the name; the two never mix. Windows does not give a file's name to
// another while the file is open: there the run reports a write error and
// the file keeps the console text.
TEST(cli, console_text_sent_into_the_output_file_does_not_mix_with_the_sentences)
{
    scratch d;
    write_file(d.file("run1.log"), read_file(sample_log));
    launch to_output;
    to_output.err_file = "run1.txt";
    ran r = run_pellucid(d.path(), {"run1.log", "/ext", "txt"}, to_output);
    std::string console = banner + echo("Enable", "Enable", "Enable", "Enable", "TIMEB", "txt");
    std::string got = read_file(d.file("run1.txt"));
    if (on_windows && r.code == 1) {
        EXPECT_EQ(got.substr(0, 6), console.substr(0, 6));
        EXPECT_NE(got.find("Output file run1.txt write error."), std::string::npos) << got;
    } else {
        EXPECT_EQ(r.code, 0);
        EXPECT_TRUE(got == read_file(sample_nme)) << got.substr(0, 200);
    }
    EXPECT_EQ(names_in(d.path()), (names{"run1.log", "run1.txt"}));
}

// A symbolic link as the output name is written through: the file it points
// to gets the sentences (a missing one is made), and the link stays.
TEST(cli, output_name_that_is_a_symbolic_link_is_written_through)
{
    namespace fs = std::filesystem;
    scratch d;
    write_file(d.file("run1.log"), read_file(sample_log));
    write_file(d.file("target.nme"), earlier);
    std::string why = make_symlink("target.nme", d.file("run1.nme"));
    if (!why.empty())
        GTEST_SKIP() << "no symbolic link can be made here: " << why;
    ran r = run_pellucid(d.path(), {"run1.log"});
    EXPECT_EQ(r.code, 0);
    EXPECT_TRUE(fs::is_symlink(fs_path(d.file("run1.nme"))));
    EXPECT_TRUE(read_file(d.file("target.nme")) == read_file(sample_nme));
    fs::remove(fs_path(d.file("target.nme")));
    r = run_pellucid(d.path(), {"run1.log"});
    EXPECT_EQ(r.code, 0);
    EXPECT_TRUE(read_file(d.file("target.nme")) == read_file(sample_nme));
    EXPECT_EQ(names_in(d.path()), (names{"run1.log", "run1.nme", "target.nme"}));
}

// A named pipe as the output name streams the sentences to its reader.
TEST(cli, output_name_that_is_a_named_pipe_streams_to_its_reader)
{
    scratch d;
    write_file(d.file("run1.log"), read_file(sample_log));
    std::string why = make_fifo(d.file("run1.nme"));
    if (!why.empty())
        GTEST_SKIP() << "no named pipe can be made here: " << why;
    std::string got;
    std::thread reader([&] { got = read_file(d.file("run1.nme")); });
    ran r = run_pellucid(d.path(), {"run1.log"});
    reader.join();
    EXPECT_EQ(r.code, 0);
    EXPECT_TRUE(got == read_file(sample_nme));
    EXPECT_EQ(std::filesystem::status(fs_path(d.file("run1.nme"))).type(),
              std::filesystem::file_type::fifo);
    EXPECT_EQ(names_in(d.path()), (names{"run1.log", "run1.nme"}));
}

} // namespace
