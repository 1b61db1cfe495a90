// The source tree's layers: platform, then input, then nmea (its sentences
// before its conversion), then driver. A file includes only files of its
// own layer or of those before it, so that no layer reaches up.
#include "support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <string>

namespace {

namespace fs = std::filesystem;

// The rank of a file by its place under src/.
int rank_of(const fs::path& rel)
{
    const std::string s = rel.generic_string();
    const std::pair<const char*, int> layers[] = {{"platform/", 0},     {"input/", 1},
                                                  {"nmea/state.h", 2},  {"nmea/sentences/", 2},
                                                  {"nmea/convert/", 3}, {"driver/", 4}};
    for (const auto& l : layers)
        if (s.rfind(l.first, 0) == 0)
            return l.second;
    return -1;
}

TEST(layout, no_include_reaches_up_a_layer)
{
    const fs::path src = fs_path(SOURCE_DIR "/src");
    const std::regex include(R"re(^\s*#\s*include\s+"([^"]+)")re");
    int files = 0, includes = 0;
    for (const auto& e : fs::recursive_directory_iterator(src)) {
        std::string ext = e.path().extension().string();
        if (ext != ".h" && ext != ".cpp")
            continue;
        ++files;
        fs::path rel = fs::relative(e.path(), src);
        int from = rank_of(rel);
        ASSERT_GE(from, 0) << rel << " lies in no layer";
        std::ifstream in(e.path());
        std::smatch m;
        for (std::string line; std::getline(in, line);) {
            if (!std::regex_search(line, m, include))
                continue;
            fs::path to = fs::relative(fs::weakly_canonical(e.path().parent_path() / m[1].str()),
                                       fs::weakly_canonical(src));
            ++includes;
            EXPECT_LE(rank_of(to), from) << rel << " includes " << to;
            EXPECT_GE(rank_of(to), 0) << rel << " includes " << to << " outside src";
        }
    }
    EXPECT_GT(files, 30);
    EXPECT_GT(includes, 60);
}

} // namespace
