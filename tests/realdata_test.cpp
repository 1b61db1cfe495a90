// Recordings from real receivers, when the folder of them is at hand: the
// summary must count exactly the good frames of each log that an
// independent count found. Skipped where the recordings are absent.
#include "support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <regex>
#include <sstream>

namespace
{

namespace fs = std::filesystem;

const std::string folder = SOURCE_DIR "/../shared/real-logs";

// File name -> the six counts, from the inventory's table; files missing
// from that table hold none of the six logs.
std::map<std::string, std::vector<int>> inventory()
{
    std::map<std::string, std::vector<int>> m;
    std::istringstream in(read_file(folder + "/README.md"));
    std::regex row(R"(^\| `([^`]+)` \| (\d+) \| (\d+) \| (\d+) \| (\d+) \| (\d+) \| (\d+) \|\s*$)");
    std::smatch g;
    for (std::string line; std::getline(in, line);)
        if (std::regex_match(line, g, row))
            m[g[1]] = {std::stoi(g[2]), std::stoi(g[3]), std::stoi(g[4]),
                       std::stoi(g[5]), std::stoi(g[6]), std::stoi(g[7])};
    return m;
}

TEST(real_logs, summary_reproduces_the_inventory_counts)
{
    if (!fs::is_directory(folder))
        GTEST_SKIP() << "no recordings at " << folder;
    auto want = inventory();
    ASSERT_GE(want.size(), 10u) << "the inventory table could not be read";
    int files = 0;
    for (const auto& e : fs::directory_iterator(folder)) {
        std::string name = e.path().filename().string();
        if (name == "README.md" || !e.is_regular_file())
            continue;
        ++files;
        std::vector<int> c = want.count(name) ? want[name] : std::vector<int>(6, 0);
        scratch d;
        fs::copy_file(e.path(), d.file(name));
        ran r = run_pellucid(d.path(), {name, "/gga", "/rmc", "/gsv", "/zda"});
        std::string tail = summary(0, c[0], c[1], c[2], c[3], c[4], c[5]);
        EXPECT_EQ(r.err, banner + echo("Disable", "Disable", "Disable", "Disable") + tail) << name;
    }
    EXPECT_GE(files, 40);
}

} // namespace
