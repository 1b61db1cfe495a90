// Programs outside this one that read what it makes: GPSBabel loads the
// converted sample as a track, gpsd decodes the sentences of real
// recordings, groff renders the manual page. Each case is skipped when its
// tool is not installed (tools/deps check installs them).
#include "input/le.h"
#include "pumping.h"
#include "support.h"
#include "survey.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>

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

// --- gpsd: what its decoder makes of the sentences /all adds, against the
// logs they come from.

const std::string recordings = SOURCE_DIR "/../shared/real-logs";

// gpsdecode's JSON reports of the sentences pellucid writes for a log with
// the given options: one map of number fields per report, with its class.
struct report {
    std::string cls;
    std::map<std::string, double> num;
    std::string text;
};

std::vector<report> decoded(const std::string& log, std::vector<std::string> options)
{
    scratch d;
    write_file(d.file("in.gps"), log);
    options.insert(options.begin(), "in.gps");
    ran r = run_pellucid(d.path(), options);
    EXPECT_EQ(r.code, 0) << r.err;
    std::istringstream json(said_by("gpsdecode < '" + d.file("in.nme") + "'"));
    std::vector<report> reports;
    for (std::string line; std::getline(json, line);) {
        report rep;
        rep.text = line;
        auto c = line.find("\"class\":\"");
        if (c != std::string::npos)
            rep.cls = line.substr(c + 9, line.find('"', c + 9) - c - 9);
        // "key":number pairs, wherever they stand.
        for (std::size_t at = 0; (at = line.find("\":", at)) != std::string::npos; ++at) {
            std::size_t open = line.rfind('"', at - 1);
            char* end = nullptr;
            double v = std::strtod(line.c_str() + at + 2, &end);
            if (open != std::string::npos && end != line.c_str() + at + 2)
                rep.num[line.substr(open + 1, at - open - 1)] = v;
        }
        reports.push_back(rep);
    }
    return reports;
}

// The bodies of the good frames of a log with the given id, either header.
std::vector<std::string> bodies(const std::string& log, unsigned id)
{
    std::vector<std::string> out;
    for (const std::string& f : scan_frames(log)) {
        auto* b = reinterpret_cast<const std::uint8_t*>(f.data());
        std::size_t head = b[2] == 0x13 ? 12 : 28;
        if (ld_u16(b + 4) == id)
            out.push_back(f.substr(head, f.size() - head - 4));
    }
    return out;
}

const std::uint8_t* at(const std::string& body, std::size_t offset)
{
    return reinterpret_cast<const std::uint8_t*>(body.data()) + offset;
}

bool ready_for_gpsd(const std::string& file)
{
    return have("gpsdecode") && std::filesystem::exists(fs_path(recordings + "/" + file));
}

// HEADING2 of a dual-antenna receiver: gpsd's attitude reports carry each
// heading, to the hundredth of a degree.
TEST(clients, gpsd_reads_hdt_as_the_heading_logs_give_it)
{
    const std::string file = "oem7drv__align.gps";
    if (!ready_for_gpsd(file))
        GTEST_SKIP() << "gpsdecode (Debian package gpsd-clients) or " << file << " not found";
    std::string log = read_file(recordings + "/" + file);
    std::vector<double> want;
    for (const std::string& b : bodies(log, 1335))
        if (ld_u32(at(b, 0)) == 0)
            want.push_back(ld_f32(at(b, 12)));
    std::vector<double> got;
    for (const report& r : decoded(log, {"/all"}))
        if (r.cls == "ATT")
            got.push_back(r.num.at("heading"));
    ASSERT_EQ(got.size(), want.size());
    ASSERT_EQ(got.size(), 12u);
    for (std::size_t i = 0; i < got.size(); ++i)
        EXPECT_NEAR(got[i], want[i], 0.005) << i;
}

// The time of day in a gpsd report ("...T20:47:58.400Z" gives 20:47:58.40),
// or empty.
std::string time_of_day(const std::string& text)
{
    std::size_t t = text.find("\"time\":\"");
    if (t == std::string::npos)
        return "";
    return text.substr(text.find('T', t + 8) + 1, 11);
}

// INSPVAX of a SPAN receiver: the error estimates (GST), the azimuth (HDT)
// and the course and speed (VTG, after RMC) of each fix, matched by its time.
TEST(clients, gpsd_reads_gst_vtg_and_hdt_as_inspvax_gives_them)
{
    const std::string file = "spandriver__propak6-span-fix.pcap.tcp3001.gps";
    if (!ready_for_gpsd(file))
        GTEST_SKIP() << "gpsdecode (Debian package gpsd-clients) or " << file << " not found";
    std::string log = read_file(recordings + "/" + file);
    struct fix {
        double sdlat, sdlon, sdh, speed, track, azimuth;
    };
    std::map<std::string, fix> want; // by UTC time of day (16 leap seconds in 2014)
    for (const std::string& f : scan_frames(log)) {
        auto* h = reinterpret_cast<const std::uint8_t*>(f.data());
        if (ld_u16(h + 4) != 1465)
            continue;
        std::string b = f.substr(28);
        double vn = ld_f64(at(b, 36)), ve = ld_f64(at(b, 44));
        double track = std::atan2(ve, vn) * 180 / 3.14159265358979323846;
        std::uint32_t ms = (ld_u32(h + 16) - 16000) % 86400000;
        char hms[16];
        std::snprintf(hms, sizeof hms, "%02u:%02u:%02u.%02u", ms / 3600000, ms / 60000 % 60,
                      ms / 1000 % 60, ms % 1000 / 10);
        want[hms] = {ld_f32(at(b, 84)),
                     ld_f32(at(b, 88)),
                     ld_f32(at(b, 92)),
                     std::sqrt(vn * vn + ve * ve),
                     track < 0 ? track + 360 : track,
                     ld_f64(at(b, 76))};
    }
    ASSERT_EQ(want.size(), 1064u);
    std::size_t gst = 0, att = 0, tpv = 0;
    for (const report& r : decoded(log, {"/all"})) {
        auto w = want.find(time_of_day(r.text));
        if (w == want.end())
            continue; // gpsd dates the first reports only from the next fix on
        const fix& x = w->second;
        if (r.cls == "GST") {
            EXPECT_NEAR(r.num.at("lat"), x.sdlat, 0.0005) << r.text;
            EXPECT_NEAR(r.num.at("lon"), x.sdlon, 0.0005) << r.text;
            EXPECT_NEAR(r.num.at("alt"), x.sdh, 0.0005) << r.text;
            EXPECT_NEAR(r.num.at("major"), std::max(x.sdlat, x.sdlon), 0.0005) << r.text;
            EXPECT_NEAR(r.num.at("minor"), std::min(x.sdlat, x.sdlon), 0.0005) << r.text;
            EXPECT_EQ(r.num.at("orient"), x.sdlat >= x.sdlon ? 0.0 : 90.0) << r.text;
            ++gst;
        } else if (r.cls == "ATT") {
            EXPECT_NEAR(r.num.at("heading"), x.azimuth, 0.005) << r.text;
            ++att;
        } else if (r.cls == "TPV") {
            EXPECT_NEAR(r.num.at("speed"), x.speed, 0.001) << r.text;
            if (x.speed > 0.01) {
                EXPECT_NEAR(r.num.at("track"), x.track, 0.05) << r.text;
            }
            ++tpv;
        }
    }
    EXPECT_GE(gst, want.size() - 1);
    EXPECT_GE(att, want.size() - 1);
    EXPECT_GE(tpv, want.size() - 1);
}

// DOPs: PSRDOP gives gpsd PDOP, HDOP and VDOP and the satellites used in
// the solution, which it marks among the satellites in view; PSRDOP2 gives
// GPSBabel the DOPs of each track point.
TEST(clients, gpsd_and_gpsbabel_read_gsa_as_the_dop_logs_give_it)
{
    const std::string dop = "gavlab__ParsingData.GPS";
    const std::string dop2 = "swri__bestpos-bestvel-psrdop2-sync.pcap.tcp3001.gps";
    if (!ready_for_gpsd(dop) || !ready_for_gpsd(dop2) || !have("gpsbabel"))
        GTEST_SKIP() << "gpsdecode, gpsbabel or the recordings not found";
    std::string log = read_file(recordings + "/" + dop);
    std::vector<std::vector<double>> want; // PDOP, HDOP, VDOP, satellites used
    for (const std::string& b : bodies(log, 174)) {
        double p = ld_f32(at(b, 4)), h = ld_f32(at(b, 8));
        double used = 0;
        for (std::uint32_t i = 0; i < ld_u32(at(b, 24)) && used < 12; ++i)
            used += ld_u32(at(b, 28 + 4 * i)) != 0;
        want.push_back({p, h, std::sqrt(p * p - h * h), used});
    }
    ASSERT_EQ(want.size(), 4u);
    int skies = 0;
    for (const report& r : decoded(log, {"/all"}))
        if (r.cls == "SKY" && r.num.count("pdop")) {
            bool found = false;
            for (const auto& w : want)
                found = found ||
                        (std::fabs(r.num.at("pdop") - w[0]) < 0.051 &&
                         std::fabs(r.num.at("hdop") - w[1]) < 0.051 &&
                         std::fabs(r.num.at("vdop") - w[2]) < 0.051 && r.num.at("uSat") == w[3]);
            EXPECT_TRUE(found) << r.text;
            ++skies;
        }
    EXPECT_GE(skies, 50);

    log = read_file(recordings + "/" + dop2);
    want.clear();
    for (const std::string& b : bodies(log, 1163))
        want.push_back({ld_f32(at(b, 4)), ld_f32(at(b, 8)), ld_f32(at(b, 12))});
    scratch d;
    write_file(d.file("in.gps"), log);
    ASSERT_EQ(run_pellucid(d.path(), {"in.gps", "/all"}).code, 0);
    ASSERT_EQ(said_by("cd " + d.path() + " && gpsbabel -i nmea -f in.nme -o gpx -F in.gpx"), "");
    std::string gpx = read_file(d.file("in.gpx"));
    auto value = [&](std::size_t from, const std::string& tag) {
        std::size_t v = gpx.find("<" + tag + ">", from);
        return std::strtod(gpx.c_str() + v + tag.size() + 2, nullptr);
    };
    int points = 0;
    for (std::size_t p = gpx.find("<trkpt "); p != std::string::npos;
         p = gpx.find("<trkpt ", p + 1), ++points) {
        bool found = false;
        for (const auto& w : want)
            found = found || (std::fabs(value(p, "pdop") - w[0]) < 0.051 &&
                              std::fabs(value(p, "hdop") - w[1]) < 0.051 &&
                              std::fabs(value(p, "vdop") - w[2]) < 0.051);
        EXPECT_TRUE(found) << gpx.substr(p, 400);
    }
    EXPECT_EQ(points, 33);
}

// With /all and /ggartk, on recordings of an SBAS and a PPP receiver: gpsd
// reads the position of every GGA as the BESTPOS of its epoch gives it, to
// 1e-7 minutes, the age of the corrections and the base station (a number
// to gpsd: letters read as 0). GPSBabel keeps no field for either, and
// reads every GGA that carries them, without a word.
TEST(clients, gpsd_and_gpsbabel_read_rtk_gga_as_bestpos_gives_it)
{
    for (const std::string file :
         {"rtklib__oemv_200911218.gps", "spandriver__propak6-ins-ppp.pcap.tcp3001.gps"}) {
        if (!ready_for_gpsd(file) || !have("gpsbabel"))
            GTEST_SKIP() << "gpsdecode, gpsbabel or " << file << " not found";
        SCOPED_TRACE(file);
        std::string log = read_file(recordings + "/" + file);
        struct fix {
            double lat, lon, height;
            float age;
            std::string station;
        };
        std::vector<fix> want;
        for (const std::string& b : bodies(log, 42))
            if (ld_u32(at(b, 0)) == 0) {
                std::string id = b.substr(52, 4);
                want.push_back({ld_f64(at(b, 8)), ld_f64(at(b, 16)), ld_f64(at(b, 24)),
                                ld_f32(at(b, 56)), id.substr(0, id.find('\0'))});
            }
        // A report is matched to the next fix of its height (printed to the
        // millimetre), within a few fixes: gpsd reports no position for the
        // first GGA, and an INS fix has no BESTPOS.
        auto next = [&](std::size_t& k, double height) -> const fix* {
            for (std::size_t j = k; j < want.size() && j < k + 3; ++j)
                if (std::fabs(want[j].height - height) < 0.0006) {
                    k = j + 1;
                    return &want[j];
                }
            return nullptr;
        };
        auto minutes_apart = [](double a, double b) { return std::fabs(a - b) * 60; };
        std::size_t k = 0, matched = 0;
        for (const report& r : decoded(log, {"/all", "/ggartk", "/rmc", "/gsv", "/zda", "/gsa",
                                             "/gst", "/vtg", "/hdt"})) {
            const fix* w = r.cls == "TPV" ? next(k, r.num.at("altMSL")) : nullptr;
            if (!w)
                continue;
            EXPECT_LE(minutes_apart(r.num.at("lat"), w->lat), 1e-7) << r.text;
            EXPECT_LE(minutes_apart(r.num.at("lon"), w->lon), 1e-7) << r.text;
            EXPECT_EQ(r.num.at("dgpsAge"), std::min(99, static_cast<int>(w->age))) << r.text;
            EXPECT_EQ(r.num.at("dgpsSta"), std::atoi(w->station.c_str())) << r.text;
            ++matched;
        }
        EXPECT_GE(matched + 1, want.size());

        scratch d;
        write_file(d.file("in.gps"), log);
        ASSERT_EQ(run_pellucid(d.path(), {"in.gps", "/all", "/ggartk"}).code, 0);
        ASSERT_EQ(said_by("cd " + d.path() + " && gpsbabel -i nmea -f in.nme -o gpx -F in.gpx"),
                  "");
        EXPECT_EQ(count_of(read_file(d.file("in.gpx")), "<trkpt "),
                  count_of(read_file(d.file("in.nme")), "$GPGGA,"));
    }
}

// Satellites of every system, each under its talker: gpsd files them under
// their own systems with the numbers SATVIS2 gave them (a session of
// today's receivers from the generator: GPS, GLONASS, Galileo, BeiDou).
TEST(clients, gpsd_reads_every_system_under_its_talker)
{
    if (!have("gpsdecode"))
        GTEST_SKIP() << "gpsdecode not found (Debian package gpsd-clients)";
    scratch d;
    std::FILE* f = std::fopen(d.file("today.log").c_str(), "wb");
    ASSERT_TRUE(f && write_today(f, 200000));
    std::fclose(f);
    std::string log = read_file(d.file("today.log"));
    // gpsd's system of each SATVIS2 system: GPS 0, GLONASS 6 (numbered by
    // slot), Galileo 2, BeiDou 3; the satellites above the horizon.
    const std::map<std::uint32_t, int> gnss = {{0, 0}, {1, 6}, {5, 2}, {6, 3}};
    std::set<std::pair<int, int>> want, seen;
    for (const std::string& b : bodies(log, 1043))
        for (std::uint32_t i = 0; i < ld_u32(at(b, 12)); ++i)
            if (ld_f64(at(b, 16 + 40 * i + 8)) >= 0)
                want.insert({gnss.at(ld_u32(at(b, 0))), ld_u16(at(b, 16 + 40 * i))});
    for (const report& r : decoded(log, {"/all"})) {
        if (r.cls != "SKY")
            continue;
        for (std::size_t p = 0; (p = r.text.find("\"gnssid\":", p)) != std::string::npos;) {
            int system = std::atoi(r.text.c_str() + p + 9);
            p = r.text.find("\"svid\":", p);
            seen.insert({system, std::atoi(r.text.c_str() + p + 7)});
        }
    }
    // gpsd 3.22 reads some numbers from 33 to 64 under $GA and $GB as SBAS
    // satellites (its 120 to 151): such a satellite is found as either.
    auto as_sbas = [](std::pair<int, int> v) {
        return std::make_pair(1, (v.first == 2 || v.first == 3) && v.second >= 33 ? v.second + 87
                                                                                  : -1);
    };
    for (const auto& v : want)
        EXPECT_TRUE(seen.count(v) || seen.count(as_sbas(v))) << v.first << " " << v.second;
    for (const auto& v : seen) {
        bool known = want.count(v) != 0;
        for (const auto& w : want)
            known = known || as_sbas(w) == v;
        EXPECT_TRUE(known) << v.first << " " << v.second;
    }
    EXPECT_GE(want.size(), 20u);
}

} // namespace
