// The bundled sample log end to end, against reviewed expected outputs.
#include "asciienc.h"
#include "pumping.h"
#include "sample.h"
#include "support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

const std::string examples = SOURCE_DIR "/examples";
const std::string golden = SOURCE_DIR "/tests/golden";

// The expected lines without the sentences an option switches off.
std::string without(const std::string& text, std::vector<std::string> gone)
{
    std::istringstream in(text);
    std::string kept;
    for (std::string line; std::getline(in, line);) {
        bool drop = false;
        for (const std::string& g : gone)
            drop |= line.compare(0, 6, "$GP" + g) == 0;
        if (!drop)
            kept += line + "\n";
    }
    return kept;
}

std::string summary_with_offset(int lines)
{
    std::string s = summary(lines, 719, 719, 179, 180, 180, 180);
    std::string at = "BESTPOSB";
    return s.insert(s.find(at), "UTC offset from TIMEB is -18 sec\n");
}

int count_lines(const std::string& s)
{
    return static_cast<int>(std::count(s.begin(), s.end(), '\n'));
}

TEST(sample, the_bundled_log_is_what_the_generator_makes)
{
    EXPECT_TRUE(read_file(examples + "/sample.log") == make_sample())
        << "regenerate it with: build/mksample examples/sample.log";
}

TEST(sample, converts_to_the_expected_output)
{
    scratch d;
    write_file(d.file("sample.log"), read_file(examples + "/sample.log"));
    const std::string want = read_file(golden + "/sample.nme");
    ran r = run_pellucid(d.path(), {"sample.log"});
    EXPECT_EQ(r.code, 0);
    // The twelve fixes before the first TIME log are not written, and the
    // summary says so.
    EXPECT_EQ(r.err, banner + echo() + summary_with_offset(2112) +
                         "Fixes not written for want of a UTC offset (no TIMEB): 12. Use /utc "
                         "auto or /utc n.\n");
    EXPECT_TRUE(read_file(d.file("sample.nme")) == want);
    EXPECT_EQ(count_lines(want), 2112);
}

// The sample's logs as ASCII text, in each form and mixed with the binary
// frames (every third log binary, the others in turn in the three forms):
// with /all exactly the output of the binary log with /all, and the same
// summary but for the count of ASCII logs; without it, no sentence and a
// hint.
TEST(sample, its_ascii_forms_convert_as_it_does)
{
    using asciienc::form;
    const std::string log = read_file(examples + "/sample.log");
    scratch d;
    write_file(d.file("bin.log"), log);
    ran bin = run_pellucid(d.path(), {"bin.log", "/all"});
    ASSERT_EQ(bin.code, 0);
    const std::string want = read_file(d.file("bin.nme"));
    // Each form alone, then the mix. A short header holds at most 255 body
    // bytes: longer logs are given in the long form there.
    auto as = [](const std::string& f, int g) {
        if (g == 1 && f.size() - 32 > 255)
            g = 0;
        return asciienc::render(f, static_cast<form>(g), asciienc::style::exact);
    };
    std::string text[4];
    int logs[4] = {};
    int k = 0;
    for (const std::string& f : scan_frames(log)) {
        for (int g = 0; g < 3; ++g) {
            std::string a = as(f, g);
            text[g] += a;
            logs[g] += a.empty() ? 0 : 1;
        }
        std::string a = as(f, k % 3);
        bool ascii = k++ % 4 != 3 && !a.empty();
        text[3] += ascii ? a : f;
        logs[3] += ascii ? 1 : 0;
    }
    const std::string line = "HEADING2B:  0\n";
    for (int f = 0; f <= 3; ++f) {
        SCOPED_TRACE(f);
        int n = logs[f];
        write_file(d.file("text.log"), text[f]);
        ran r = run_pellucid(d.path(), {"text.log", "/all"});
        EXPECT_EQ(r.code, 0);
        EXPECT_TRUE(read_file(d.file("text.nme")) == want);
        std::string sum = bin.err;
        sum.insert(sum.find(line) + line.size(), "ASCII logs: " + std::to_string(n) + "\n");
        EXPECT_EQ(r.err, sum.replace(sum.find("ASCII logs: 0\n"), 14, ""));
        if (f < 3) {
            ran plain = run_pellucid(d.path(), {"text.log"});
            EXPECT_EQ(plain.code, 1);
            EXPECT_EQ(read_file(d.file("text.nme")), "");
            EXPECT_EQ(plain.err, banner + echo() + summary(0) +
                                     "ASCII logs that only /all reads: " + std::to_string(n) +
                                     ". Use /all.\n");
        }
    }
}

TEST(sample, options_drop_exactly_their_sentences)
{
    scratch d;
    write_file(d.file("sample.log"), read_file(examples + "/sample.log"));
    const std::string all = read_file(golden + "/sample.nme");
    struct row {
        std::vector<std::string> args, gone;
    } rows[] = {
        {{"/gga"}, {"GGA"}},
        {{"/RMC"}, {"RMC"}},
        {{"/gsv"}, {"GSV"}},
        {{"/zda"}, {"ZDA"}},
        {{"/gga", "/rmc"}, {"GGA", "RMC"}},
        {{"/gsv", "/zda", "/gga"}, {"GSV", "ZDA", "GGA"}},
    };
    for (const row& r : rows) {
        std::vector<std::string> args = {"sample.log"};
        args.insert(args.end(), r.args.begin(), r.args.end());
        ran run = run_pellucid(d.path(), args);
        std::string want = without(all, r.gone);
        EXPECT_EQ(run.code, 0);
        EXPECT_TRUE(read_file(d.file("sample.nme")) == want) << r.args[0];
        EXPECT_NE(run.err.find(summary_with_offset(count_lines(want))), std::string::npos);
    }
    ran none = run_pellucid(d.path(), {"sample.log", "/gga", "/rmc", "/gsv", "/zda"});
    EXPECT_EQ(none.code, 1);
    EXPECT_EQ(read_file(d.file("sample.nme")), "");
}

TEST(sample, manual_offset_and_other_extension)
{
    scratch d;
    write_file(d.file("sample.log"), read_file(examples + "/sample.log"));
    ran r = run_pellucid(d.path(), {"sample.log", "/utc", "18", "/ext", "txt"});
    EXPECT_EQ(r.code, 0);
    // A manual offset writes the first fixes too, before TIME is valid, and
    // the summary has no offset line.
    EXPECT_EQ(r.err, banner + echo("Enable", "Enable", "Enable", "Enable", "-18", "txt") +
                         summary(2136, 719, 719, 179, 180, 180, 180));
    EXPECT_TRUE(read_file(d.file("sample.txt")) == read_file(golden + "/sample-utc18.nme"));
    EXPECT_FALSE(exists(d.file("sample.nme")));
}

// The output on a full device: the sample's output is small enough to sit
// in the stream buffer until the end, so the failure shows only in the last
// flush.
TEST(sample, a_failed_write_is_reported_instead_of_a_summary)
{
    scratch d;
    write_file(d.file("sample.log"), read_file(examples + "/sample.log"));
    std::string why = make_symlink("/dev/full", d.file("sample.nme"));
    if (!why.empty())
        GTEST_SKIP() << "no symbolic link can be made here: " << why;
    if (!std::filesystem::exists("/dev/full"))
        GTEST_SKIP() << "no full device /dev/full here";
    ran r = run_pellucid(d.path(), {"sample.log"});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, banner + echo() + "Output file sample.nme write error.\n");
}

TEST(sample, a_failed_write_is_reported_under_wine)
{
    // Wine shows the Linux root as drive Z:, and a Windows name is resolved
    // as text first, so an extension that climbs out of the sample's folder
    // names Z:\dev\full, without the symbolic link Wine cannot make.
    namespace fs = std::filesystem;
    fs::path in = fs::absolute(fs_path(examples + "/sample.log")).make_preferred();
    // Wine hides devices from a look at the name, but opens them.
    if (!on_windows || !std::ifstream(in.root_path() / "dev" / "full"))
        GTEST_SKIP() << "Windows with the full device at \\dev\\full (Wine) only";
    // One step up for the "sample." the extension is put after, one for
    // each folder above it.
    fs::path rel = in.relative_path();
    std::string ext;
    for (auto part = rel.begin(); part != rel.end(); ++part)
        ext += "\\..";
    ext += "\\dev\\full";
    scratch d;
    ran r = run_pellucid(d.path(), {utf8_name(in), "/ext", ext});
    EXPECT_EQ(r.code, 1);
    std::string out = utf8_name(in.parent_path() / "sample.") + ext;
    EXPECT_EQ(r.err, banner + echo("Enable", "Enable", "Enable", "Enable", "TIMEB", ext) +
                         "Output file " + out + " write error.\n");
}

} // namespace
