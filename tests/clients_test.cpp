// Programs outside this one that read what it makes: GPSBabel loads the
// converted sample as a track, groff renders the manual page. Each case is
// skipped when its tool is not installed (tools/deps check installs both).
#include "support.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

namespace {

bool have(const std::string& tool)
{
    return std::system(("command -v " + tool + " >/dev/null 2>&1").c_str()) == 0;
}

// Runs a shell command; answers everything it printed on either stream.
std::string said_by(const std::string& command)
{
    std::string text;
    std::FILE* p = popen((command + " 2>&1").c_str(), "r");
    if (!p)
        return "popen failed";
    char buf[4096];
    for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, p)) > 0;)
        text.append(buf, n);
    if (pclose(p) != 0)
        text += "(exit status not 0)";
    return text;
}

std::size_t count_of(const std::string& text, const std::string& what)
{
    std::size_t n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

TEST(clients, gpsbabel_makes_one_dated_track_point_of_each_gga)
{
    if (!have("gpsbabel"))
        GTEST_SKIP() << "gpsbabel not found (Debian package gpsbabel)";
    scratch d;
    write_file(d.file("run1.log"), read_file(SOURCE_DIR "/examples/sample.log"));
    ASSERT_EQ(run_pellucid(d.path(), {"run1.log"}).code, 0);
    std::size_t gga = count_of(read_file(d.file("run1.nme")), "$GPGGA,");
    ASSERT_GT(gga, 0u);

    // A sentence with a bad checksum or field would be dropped or warned about.
    EXPECT_EQ(said_by("cd " + d.path() + " && gpsbabel -i nmea -f run1.nme -o gpx -F run1.gpx"),
              "");
    std::string gpx = read_file(d.file("run1.gpx"));
    std::size_t points = 0, dated = 0;
    for (std::size_t at = gpx.find("<trkpt "); at != std::string::npos;
         at = gpx.find("<trkpt ", at + 1)) {
        std::size_t end = gpx.find("</trkpt>", at);
        ASSERT_NE(end, std::string::npos);
        ++points;
        // The sample was recorded on 7 December 2026; the date of a GGA
        // comes from the RMC and ZDA sentences around it.
        dated += gpx.substr(at, end - at).find("<time>2026-12-07T") != std::string::npos;
    }
    EXPECT_EQ(points, gga);
    EXPECT_EQ(dated, gga);
}

TEST(clients, manual_page_renders_without_a_warning)
{
    if (!have("groff"))
        GTEST_SKIP() << "groff not found (Debian package groff-base)";
    EXPECT_EQ(said_by("groff -man -ww -z '" MANUAL_PAGE "'"), "");
}

// The Linux program runs wherever glibc does: libdeflate and the C++ runtime
// are linked in, and it asks the loader for glibc's own libraries alone.
TEST(clients, program_needs_no_library_beyond_glibc)
{
#ifndef PELLUCID_SELF_CONTAINED
    GTEST_SKIP() << "not a build of the self-contained program (sanitizers, Windows, or "
                    "libdeflate without its static library)";
#else
    if (!have("readelf"))
        GTEST_SKIP() << "readelf not found (Debian package binutils)";
    std::string dynamic = said_by("readelf -d '" PELLUCID_BIN "'");
    const std::string mark = "Shared library: [";
    int needed = 0;
    for (std::size_t at = dynamic.find(mark); at != std::string::npos;
         at = dynamic.find(mark, at + 1)) {
        std::size_t from = at + mark.size();
        std::string lib = dynamic.substr(from, dynamic.find(']', from) - from);
        ++needed;
        bool glibc = lib == "libc.so.6" || lib == "libm.so.6" || lib == "libpthread.so.0" ||
                     lib == "libdl.so.2" || lib == "librt.so.1" || lib.rfind("ld-linux", 0) == 0;
        EXPECT_TRUE(glibc) << lib;
    }
    EXPECT_GT(needed, 0) << dynamic;
#endif
}

TEST(clients, manual_page_names_the_project_version)
{
    // The build writes the version into the page: in its title line and in
    // the sample of the console text.
    std::string page = read_file(MANUAL_PAGE);
    ASSERT_FALSE(page.empty()) << MANUAL_PAGE;
    std::string title = page.substr(0, page.find('\n'));
    EXPECT_NE(title.find(" \"Pellucid " PELLUCID_VERSION "\" "), std::string::npos) << title;
    EXPECT_NE(page.find("\nPellucid version " PELLUCID_VERSION "\n"), std::string::npos);
    EXPECT_EQ(page.find('@'), std::string::npos) << "a name left unreplaced";
}

} // namespace
