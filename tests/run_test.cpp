// The whole run: memory failures, counts in the summary, input faults.
#include "frames.h"
#include "platform/sys.h"
#include "support.h"

#include <gtest/gtest.h>

#include <filesystem>

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
    // The input windows, the three records and the output buffers.
    for (int k = 0; k < 5; ++k) {
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

} // namespace
