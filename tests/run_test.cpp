// The whole run: memory failures, counts in the summary, input faults.
#include "driver/session.h"
#include "frames.h"
#include "platform/sys.h"
#include "sample.h"
#include "support.h"
#include "survey.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>

namespace {

int run_in_process(std::vector<std::wstring> args, std::string& console)
{
    args.insert(args.begin(), L"pellucid");
    std::vector<wchar_t*> argv;
    for (auto& a : args)
        argv.push_back(&a[0]);
    argv.push_back(nullptr);
    testing::internal::CaptureStderr();
    int code = run(static_cast<int>(args.size()), argv.data());
    console = testing::internal::GetCapturedStderr();
    return code;
}

TEST(run, every_failed_allocation_is_reported_before_any_file_is_touched)
{
    scratch d;
    write_file(d.file("in.log"), frames::make(frames::bestpos{}));
    std::wstring in = sys::from_bytes(d.file("in.log"));
    // The input windows, the two records and the output buffers.
    for (int k = 0; k < 4; ++k) {
        sys::fail_grab_after(k);
        std::string console;
        EXPECT_EQ(run_in_process({in, L"/utc", L"18"}, console), 1) << k;
        EXPECT_EQ(console, std::string(banner) + "Not enough memory.\n") << k;
        EXPECT_FALSE(exists(d.file("in.nme"))) << k;
    }
    sys::fail_grab_after(-1);
    std::string console;
    run_in_process({}, console);
    EXPECT_EQ(console, std::string(banner) + usage);
}

// Writes that fail midway, as on a full disk, and on every platform: the run
// reports it, and the output name is left as it was before the run, with
// no new file beside it.
TEST(run, a_failed_write_leaves_the_earlier_output_as_it_was)
{
    scratch d;
    std::FILE* f = std::fopen(d.file("in.log").c_str(), "wb");
    ASSERT_TRUE(f && write_survey(f, 3000000));
    std::fclose(f);
    std::wstring in = sys::from_bytes(d.file("in.log"));
    const std::string earlier = "$GPZDA,000000.00,01,01,2026,,*48\r\n";
    for (std::int64_t after : {std::int64_t(0), std::int64_t(300000), std::int64_t(1000000)}) {
        for (bool before : {true, false}) {
            if (before)
                write_file(d.file("in.nme"), earlier);
            sys::fail_write_after(after);
            std::string console;
            int code = run_in_process({in, L"/utc", L"18"}, console);
            sys::fail_write_after(-1);
            EXPECT_EQ(code, 1) << after;
            EXPECT_EQ(console, banner + echo("Enable", "Enable", "Enable", "Enable", "-18") +
                                   "Output file " + d.file("in.nme") + " write error.\n")
                << after;
            if (before) {
                EXPECT_EQ(read_file(d.file("in.nme")), earlier) << after;
                EXPECT_EQ(names_in(d.path()), (std::vector<std::string>{"in.log", "in.nme"}));
                std::remove(d.file("in.nme").c_str());
            } else {
                EXPECT_EQ(names_in(d.path()), std::vector<std::string>{"in.log"}) << after;
            }
        }
    }
    // Without the failure the same run writes it all.
    std::string console;
    EXPECT_EQ(run_in_process({in, L"/utc", L"18"}, console), 0);
    EXPECT_GT(read_file(d.file("in.nme")).size(), 1000000u);
    EXPECT_EQ(names_in(d.path()), (std::vector<std::string>{"in.log", "in.nme"}));
}

// The output name held open by another program: POSIX gives the name to the
// new file all the same; Windows does not while the other program has not
// allowed it, and the run reports a write error, leaving the file as it was.
TEST(run, an_output_held_open_elsewhere)
{
    scratch d;
    write_file(d.file("in.log"), read_file(SOURCE_DIR "/examples/sample.log"));
    const std::string earlier = "$GPZDA,000000.00,01,01,2026,,*48\r\n";
    write_file(d.file("in.nme"), earlier);
    std::wstring in = sys::from_bytes(d.file("in.log"));
    std::string console;
    int code;
    {
        std::ifstream held(fs_path(d.file("in.nme")), std::ios::binary);
        ASSERT_TRUE(held.good());
        code = run_in_process({in}, console);
    }
    if (on_windows && code == 1) {
        EXPECT_EQ(console, banner + echo() + "Output file " + d.file("in.nme") + " write error.\n");
        EXPECT_EQ(read_file(d.file("in.nme")), earlier);
    } else {
        EXPECT_EQ(code, 0) << console;
        EXPECT_TRUE(read_file(d.file("in.nme")) ==
                    read_file(SOURCE_DIR "/tests/golden/sample.nme"));
    }
    EXPECT_EQ(names_in(d.path()), (std::vector<std::string>{"in.log", "in.nme"}));
}

// A file that already has the first name the run would give its new file
// is left as it was: the run writes under another name, which takes the
// output name, and leaves nothing else.
TEST(run, a_file_at_the_new_files_name_is_left_as_it_was)
{
    scratch d;
    write_file(d.file("in.log"), read_file(SOURCE_DIR "/examples/sample.log"));
    std::wstring in = sys::from_bytes(d.file("in.log"));
    std::wstring out = sys::from_bytes(d.file("in.nme")), theirs;
    sys::fix_temp_seed(7);
    std::FILE* f = sys::open_temp(out, theirs); // learns the first name
    ASSERT_TRUE(f);
    EXPECT_TRUE(sys::write(f, "theirs", 6));
    std::fclose(f);
    std::string console;
    int code = run_in_process({in}, console);
    sys::fix_temp_seed(-1);
    EXPECT_EQ(code, 0) << console;
    EXPECT_TRUE(read_file(d.file("in.nme")) == read_file(SOURCE_DIR "/tests/golden/sample.nme"));
    std::string name = utf8_name(fs_path(sys::to_bytes(theirs)).filename());
    EXPECT_EQ(read_file(d.file(name)), "theirs");
    EXPECT_EQ(names_in(d.path()), (std::vector<std::string>{name, "in.log", "in.nme"}));
}

TEST(run, summary_counts_the_good_frames_of_each_log)
{
    using frames::make;
    std::string s = "\r\n<OK\r\n[COM1]" + make(frames::bestpos{}) + make(frames::bestvel{}) +
                    frames::make_satvis({{3, 45, 123}}) +
                    frames::frame(42, std::string(72, 'x'), {}, false) + make(frames::bestpos{}) +
                    frames::make_trackstat({{3, 0, 40}}) + make(frames::time{}) +
                    frames::make_psrdop(1.25f) + frames::frame(43, "range") +
                    make(frames::bestvel{}) + make(frames::bestpos{}).substr(0, 90);
    scratch d;
    write_file(d.file("mix.gps"), s);
    ran r = run_pellucid(d.path(), {"mix.gps", "/gga", "/rmc", "/gsv", "/zda", "/utc", "18"});
    EXPECT_EQ(r.code, 1); // every sentence switched off
    EXPECT_EQ(r.err, banner + echo("Disable", "Disable", "Disable", "Disable", "-18") +
                         summary(0, 2, 2, 1, 1, 1, 1));
    EXPECT_EQ(read_file(d.file("mix.nme")), "");
}

TEST(run, read_error_is_reported_instead_of_a_summary)
{
    // A folder as the input: POSIX opens it and fails the first read;
    // Windows refuses to open it.
    scratch d;
    ASSERT_TRUE(std::filesystem::create_directory(fs_path(d.file("logs.d"))));
    ran r = run_pellucid(d.path(), {"logs.d"});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, banner + echo() + "Input file logs.d " + (on_windows ? "open" : "read") +
                         " error.\n");
}

// Formatting and writing in a second thread changes nothing: the output
// file, the count and the frames stored are those of one thread alone, for a
// long session (many buffers), the sample with its damage, and a run that
// writes nothing.
TEST(run, the_second_thread_changes_nothing)
{
    scratch d;
    std::FILE* f = std::fopen(d.file("survey.log").c_str(), "wb");
    ASSERT_TRUE(f && write_survey(f, 4000000));
    std::fclose(f);
    write_file(d.file("sample.log"), make_sample());
    write_file(d.file("none.log"), std::string(100000, '\xAA'));
    for (const char* name : {"survey.log", "sample.log", "none.log"}) {
        std::string outs[2];
        std::int64_t counts[2];
        for (int threads = 0; threads < 2; ++threads) {
            session job;
            ASSERT_TRUE(setup(job));
            manual_utc(job, 18);
            std::string out = d.file(std::string(name) + std::to_string(threads));
            std::FILE* in = std::fopen(d.file(name).c_str(), "rb");
            std::FILE* o = std::fopen(out.c_str(), "wb");
            EXPECT_TRUE(convert_file(job, in, o, threads == 1));
            EXPECT_FALSE(job.text.failed);
            std::fclose(in);
            std::fclose(o);
            outs[threads] = read_file(out);
            counts[threads] = job.sentences;
        }
        EXPECT_EQ(outs[0], outs[1]) << name;
        EXPECT_EQ(counts[0], counts[1]) << name;
        EXPECT_EQ(std::count(outs[1].begin(), outs[1].end(), '\n'), counts[1]) << name;
    }
}

} // namespace
