// The program as a user runs it: console text, exit code, files afterwards.
#include "support.h"

#include <gtest/gtest.h>

#include <unistd.h>

namespace {

TEST(cli, no_arguments_prints_usage)
{
    scratch d;
    ran r = run_pellucid(d.path(), {});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, std::string(banner) + usage);
    EXPECT_EQ(r.out, "");
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

TEST(cli, output_name_that_is_a_link_to_the_input_is_refused)
{
    scratch d;
    write_file(d.file("run1.log"), "keep me");
    ASSERT_EQ(symlink("run1.log", d.file("run1.nme").c_str()), 0);
    ran r = run_pellucid(d.path(), {"run1.log"});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, banner + echo() + "Input file and Output file are same.\n");
    EXPECT_EQ(read_file(d.file("run1.log")), "keep me");

    scratch h;
    write_file(h.file("run1.log"), "keep me");
    ASSERT_EQ(link(h.file("run1.log").c_str(), h.file("run1.txt").c_str()), 0);
    r = run_pellucid(h.path(), {"run1.log", "/ext", "txt"});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, banner + echo("Enable", "Enable", "Enable", "Enable", "TIMEB", "txt") +
                         "Input file and Output file are same.\n");
    EXPECT_EQ(read_file(h.file("run1.log")), "keep me");
}

TEST(cli, output_open_error_names_the_output)
{
    scratch d;
    write_file(d.file("run1.log"), "");
    ASSERT_EQ(mkdir(d.file("run1.nme").c_str(), 0755), 0);
    ran r = run_pellucid(d.path(), {"run1.log"});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, banner + echo() + "Output file run1.nme open error.\n");
}

TEST(cli, file_names_that_are_not_ascii_or_not_utf8)
{
    // A valid UTF-8 name and a name with bytes that are not UTF-8 at all:
    // both open, the output keeps the bytes, and messages print them back.
    for (std::string base :
         {std::string("m\xc3\xa9sure-\xe6\xb8\xac"), std::string("bad\xff\xc3(")}) {
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
}

} // namespace
