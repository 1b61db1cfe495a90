// The bundled sample log end to end, against reviewed expected outputs.
#include "sample.h"
#include "support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <unistd.h>

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
    EXPECT_EQ(r.err, banner + echo() + summary_with_offset(2112));
    EXPECT_TRUE(read_file(d.file("sample.nme")) == want);
    EXPECT_EQ(count_lines(want), 2112);
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

TEST(sample, a_failed_write_is_reported_instead_of_a_summary)
{
    scratch d;
    write_file(d.file("sample.log"), read_file(examples + "/sample.log"));
    ASSERT_EQ(symlink("/dev/full", d.file("sample.nme").c_str()), 0);
    ran r = run_pellucid(d.path(), {"sample.log"});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, banner + echo() + "Output file sample.nme write error.\n");
}

} // namespace
