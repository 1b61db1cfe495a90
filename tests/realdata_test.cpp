// Recordings from real receivers, when the folder of them is at hand: the
// summary must count exactly the good frames of each log that an
// independent count found. Skipped where the recordings are absent.
#include "input/le.h"
#include "nmea/convert/ecef.h"
#include "pumping.h"
#include "support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <map>
#include <regex>
#include <set>
#include <sstream>

namespace {

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
        std::string name = utf8_name(e.path().filename());
        if (name == "README.md" || !e.is_regular_file())
            continue;
        ++files;
        std::vector<int> c = want.count(name) ? want[name] : std::vector<int>(6, 0);
        scratch d;
        fs::copy_file(e.path(), fs_path(d.file(name)));
        ran r = run_pellucid(d.path(), {name, "/gga", "/rmc", "/gsv", "/zda", "/utc", "18"});
        std::string tail = summary(0, c[0], c[1], c[2], c[3], c[4], c[5]);
        int unread = scan_counts(read_file(utf8_name(e.path()))).allonly;
        if (unread > 0)
            tail +=
                "Frames of logs that only /all reads (INS, BESTXYZ, PSRDOP2, SATVIS2, HEADING): " +
                std::to_string(unread) + ". Use /all.\n";
        EXPECT_EQ(r.err, banner + echo("Disable", "Disable", "Disable", "Disable", "-18") + tail)
            << name;
    }
    EXPECT_GE(files, 40);
}

// What a reader of the sentences relies on: a GGA (written only for a
// computed solution) never says "no fix", and every GSV satellite number
// lies in an NMEA range (1-32 GPS, 33-64 SBAS, 65-96 GLONASS) unless the
// receiver's number lies outside the ranges that are renumbered.
void check_meaning(const std::string& name, const std::string& line)
{
    std::vector<std::string> f = split_fields(line);
    if (f[0] == "$GPGGA") {
        ASSERT_GE(f.size(), 7u) << name << ": " << line;
        EXPECT_GT(std::stoi(f[6]), 0) << name << ": " << line;
    } else if (f[0] == "$GPGSV") {
        for (std::size_t i = 4; i < f.size(); i += 4) {
            int n = std::stoi(f[i]);
            bool nmea = n >= 1 && n <= 96;
            bool kept = n > 96 && !(n >= 120 && n <= 151);
            EXPECT_TRUE(nmea || kept) << name << ": satellite " << n << " in " << line;
        }
    }
}

// Every line is a whole sentence with a correct checksum, a CR LF line end
// and at most 82 characters with it, and means what it should; the summary
// counts exactly those lines.
void check_output(const std::string& name, const std::string& text, int lines_said)
{
    static const std::regex sentence(R"(\$GP(GGA|RMC|GSV|ZDA),[^*\r\n]*\*[0-9A-F]{2})");
    int lines = 0;
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t end = text.find("\r\n", at);
        ASSERT_NE(end, std::string::npos) << name << ": last line without CR LF";
        std::string line = text.substr(at, end - at);
        ASSERT_TRUE(std::regex_match(line, sentence)) << name << ": " << line;
        EXPECT_LE(line.size() + 2, 82u) << name << ": " << line;
        unsigned sum = 0;
        for (std::size_t i = 1; i + 3 < line.size(); ++i)
            sum ^= static_cast<unsigned char>(line[i]);
        EXPECT_EQ(std::stoul(line.substr(line.size() - 2), nullptr, 16), sum)
            << name << ": " << line;
        check_meaning(name, line.substr(0, line.size() - 3));
        ++lines;
        at = end + 2;
    }
    EXPECT_EQ(lines, lines_said) << name;
}

TEST(real_logs, every_file_converts_to_well_formed_sentences)
{
    if (!fs::is_directory(folder))
        GTEST_SKIP() << "no recordings at " << folder;
    static const std::regex said(R"(OUTPUT:     (\d+) lines\n)");
    long total = 0;
    for (const auto& e : fs::directory_iterator(folder)) {
        std::string name = utf8_name(e.path().filename());
        if (name == "README.md" || !e.is_regular_file())
            continue;
        scratch d;
        fs::copy_file(e.path(), fs_path(d.file("in.gps")));
        for (auto args : {std::vector<std::string>{"in.gps"},
                          std::vector<std::string>{"in.gps", "/utc", "18"}}) {
            ran r = run_pellucid(d.path(), args);
            std::smatch m;
            ASSERT_TRUE(std::regex_search(r.err, m, said)) << name << "\n" << r.err;
            int n = std::stoi(m[1]);
            EXPECT_EQ(r.code, n > 0 ? 0 : 1) << name;
            check_output(name, read_file(d.file("in.nme")), n);
            total += n;
        }
    }
    EXPECT_GT(total, 1000);
}

// Position types of INS and PPP solutions: every fix of these two recordings
// is a computed solution and must reach a reader as one.
TEST(real_logs, ins_and_ppp_solutions_carry_their_fix_quality)
{
    if (!fs::is_directory(folder))
        GTEST_SKIP() << "no recordings at " << folder;
    struct row {
        const char* file;
        int fixes;
        const char* quality;
    } rows[] = {{"spandriver__propak6-ins-ppp.pcap.tcp3001.gps", 2288, "5"},   // INS_PPP
                {"spandriver__propak6-sbas-fix.pcap.tcp3001.gps", 1280, "1"}}; // INS_PSRSP
    for (const row& r : rows) {
        scratch d;
        fs::copy_file(fs_path(folder + "/" + r.file), fs_path(d.file("in.gps")));
        ran run = run_pellucid(d.path(), {"in.gps", "/rmc", "/zda", "/utc", "18"});
        EXPECT_EQ(run.code, 0) << r.file;
        std::istringstream out(read_file(d.file("in.nme")));
        int fixes = 0;
        for (std::string line; std::getline(out, line);) {
            std::vector<std::string> f = split_fields(line);
            ASSERT_EQ(f[0], "$GPGGA") << r.file;
            EXPECT_EQ(f[6], r.quality) << r.file << ": " << line;
            ++fixes;
        }
        EXPECT_EQ(fixes, r.fixes) << r.file;
    }
}

// The age and station fields a position log gives its GGA with /all, read
// from the log's body: for a BESTPOS or BESTXYZ of a differential, RTK or
// SBAS position type (GGA quality 2, 4, 5, 9), the age of its corrections
// cut to whole seconds (at most 99; none when NaN or negative) and the
// station's id up to its first NUL, when that is 1 to 4 letters or digits.
std::string corrections_of(unsigned id, const std::uint8_t* body)
{
    // Position types of quality 2, then 4, then 5 and 9, as the README lists them.
    static const std::set<std::uint32_t> corrected = {17, 20, 66, 54, 57, 68, 73, 78, 80, 48, 49,
                                                      50, 46, 47, 56, 32, 33, 34, 35, 64, 65, 51,
                                                      55, 58, 59, 69, 74, 75, 76, 18, 52};
    if ((id != 42 && id != 241) || !corrected.count(ld_u32(body + 4)))
        return ",";
    float age = ld_f32(body + (id == 42 ? 56 : 96));
    const char* id4 = reinterpret_cast<const char*>(body + (id == 42 ? 52 : 88));
    std::string station(id4, std::find(id4, id4 + 4, '\0'));
    auto alnum = [](char c) {
        return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
    };
    if (!std::all_of(station.begin(), station.end(), alnum))
        station.clear();
    char whole[8] = "";
    if (age >= 0)
        std::snprintf(whole, sizeof whole, "%02d", age >= 99 ? 99 : static_cast<int>(age));
    return whole + ("," + station);
}

// With /all, every computed position of a recording (a position log whose
// status says it is a solution) at a new epoch becomes exactly one GGA,
// dated without a TIME log by the leap seconds of the recording's date,
// with the age and station of its corrections when it gives them (and
// empty fields when it does not).
TEST(real_logs, with_all_every_computed_position_is_one_dated_gga)
{
    // GGA that gain an age and a station, by recording.
    const std::map<std::string, int> corrected = {
        {"rtklib__oemv_200911218.gps", 46},                      // SBAS, station 129
        {"spandriver__propak6-ins-ppp.pcap.tcp3001.gps", 2288}}; // PPP, station TSTR
    if (!fs::is_directory(folder))
        GTEST_SKIP() << "no recordings at " << folder;
    // GPS - UTC when each receiver recorded (from the recordings' dates).
    const std::pair<const char*, int> eras[] = {{"gavlab__test", 16}, {"gavlab__", 15},
                                                {"rtklib__", 15},     {"spandriver__", 16},
                                                {"oem7drv__", 18},    {"swri__", 18}};
    int files = 0, fixes = 0;
    for (const auto& e : fs::directory_iterator(folder)) {
        std::string name = utf8_name(e.path().filename());
        if (name == "README.md" || !e.is_regular_file())
            continue;
        // The fixes, found by an independent scan: solution status 0 for
        // BESTPOS and BESTXYZ, INS status 2, 3, 6 or 7 for the INS logs,
        // each at a GPS time later than the last one kept (or earlier by a
        // second or more).
        std::vector<std::int64_t> want;
        std::vector<std::string> tails; // "age,station" of each
        for (const std::string& f : scan_frames(read_file(utf8_name(e.path())))) {
            auto* b = reinterpret_cast<const std::uint8_t*>(f.data());
            bool shortf = b[2] == 0x13;
            std::size_t head = shortf ? 12 : 28, len = f.size() - head - 4;
            const std::uint8_t* body = b + head;
            unsigned id = ld_u16(b + 4);
            std::int64_t week = shortf ? ld_u16(b + 6) : ld_u16(b + 14);
            std::int64_t t = week * 604800000 + (shortf ? ld_u32(b + 8) : ld_u32(b + 16));
            std::uint32_t ins = 0;
            bool fix = false;
            if (id == 42 || id == 241)
                fix = len >= (id == 42 ? 66u : 106u) && ld_u32(body) == 0;
            else if (id == 507 || id == 508)
                fix = len >= 88 && ((ins = ld_u32(body + 84)), true);
            else if (id == 1465)
                fix = len >= 96 && ((ins = ld_u32(body)), true);
            if (id == 507 || id == 508 || id == 1465)
                fix = fix && (ins == 2 || ins == 3 || ins == 6 || ins == 7);
            if (fix && (want.empty() || t > want.back() || t <= want.back() - 1000)) {
                want.push_back(t);
                tails.push_back(corrections_of(id, body));
            }
        }
        if (want.empty())
            continue;
        ++files;
        int leap = -1;
        for (const auto& era : eras)
            if (leap < 0 && name.rfind(era.first, 0) == 0)
                leap = era.second;
        scratch d;
        fs::copy_file(e.path(), fs_path(d.file("in.gps")));
        ran r = run_pellucid(
            d.path(), {"in.gps", "/all", "/rmc", "/gsv", "/zda", "/gsa", "/gst", "/vtg", "/hdt"});
        EXPECT_EQ(r.code, 0) << name;
        std::istringstream out(read_file(d.file("in.nme")));
        std::size_t k = 0;
        int gained = 0;
        for (std::string line; std::getline(out, line); ++k) {
            std::vector<std::string> f = split_fields(line.substr(0, line.size() - 4));
            ASSERT_EQ(f[0], "$GPGGA") << name;
            ASSERT_LT(k, want.size()) << name << ": more GGA than fixes";
            ASSERT_EQ(f.size(), 15u) << name << ": " << line;
            EXPECT_EQ(f[13] + "," + f[14], tails[k]) << name << ": fix " << k;
            gained += !f[13].empty() && !f[14].empty();
            if (leap < 0)
                continue; // a compilation of many dates
            std::int64_t ms = ((want[k] - leap * 1000) % 86400000 + 86400000) % 86400000;
            char hms[16];
            std::snprintf(hms, sizeof hms, "%02d%02d%02d.%02d", static_cast<int>(ms / 3600000),
                          static_cast<int>(ms / 60000 % 60), static_cast<int>(ms / 1000 % 60),
                          static_cast<int>(ms % 1000 / 10));
            EXPECT_EQ(f[1], hms) << name << ": fix " << k;
        }
        EXPECT_EQ(k, want.size()) << name;
        EXPECT_EQ(gained, corrected.count(name) ? corrected.at(name) : 0) << name;
        fixes += static_cast<int>(want.size());
    }
    EXPECT_GE(files, 20);
    EXPECT_GE(fixes, 9000);
}

// A receiver that logs BESTPOS and BESTXYZ of each epoch: the Earth-centred
// position, converted, is the same point as the geodetic one (whose height
// is above sea level: the undulation gives the ellipsoid's).
TEST(real_logs, bestxyz_converts_to_the_bestpos_of_its_epoch)
{
    const std::string file = folder + "/spandriver__propak6-basic-fix.pcap.tcp3001.gps";
    if (!fs::exists(fs_path(file)))
        GTEST_SKIP() << "no recording " << file;
    std::map<std::uint32_t, std::vector<double>> pos;
    int pairs = 0;
    for (const std::string& f : scan_frames(read_file(file))) {
        auto* b = reinterpret_cast<const std::uint8_t*>(f.data());
        std::uint32_t ms = ld_u32(b + 16);
        if (ld_u16(b + 4) == 42)
            pos[ms] = {ld_f64(b + 36), ld_f64(b + 44), ld_f64(b + 52) + ld_f32(b + 60)};
        if (ld_u16(b + 4) != 241 || !pos.count(ms))
            continue;
        geodetic g = ecef_to_geodetic(ld_f64(b + 36), ld_f64(b + 44), ld_f64(b + 52));
        EXPECT_NEAR(g.lat, pos[ms][0], 1e-7) << ms; // 1 cm
        EXPECT_NEAR(g.lon, pos[ms][1], 1e-7) << ms;
        EXPECT_NEAR(g.height, pos[ms][2], 0.01) << ms;
        ++pairs;
    }
    EXPECT_EQ(pairs, 1988);
}

} // namespace

namespace {

// A numeric field of two lines: equal, or one unit of its last printed
// digit apart; answers false when further apart.
bool near(const std::string& a, const std::string& b, int& off)
{
    if (a == b)
        return true;
    std::size_t dot = a.find('.');
    if (a.size() != b.size() || dot == std::string::npos || b.find('.') != dot)
        return false;
    double unit = std::pow(10.0, -static_cast<double>(a.size() - dot - 1));
    ++off;
    return std::fabs(std::stod(a) - std::stod(b)) <= unit * 1.5;
}

} // namespace

// The ASCII renderings of the recordings, read with /all, against the
// recordings themselves: the same logs counted, a GGA and an RMC for the
// same fixes at the same times, and positions and heights equal to the last
// printed digit, or one unit of it apart where the rendering printed fewer
// digits than the binary held (latitude and longitude to 11 decimals of a
// degree, heights and Earth-centred coordinates to 4 decimals of a metre),
// which moves a value next to a rounding boundary of the printed minutes
// or centimetres: about one fix in a hundred, and a third of those from
// BESTXYZ.
TEST(real_logs, ascii_renderings_convert_as_their_recordings_do)
{
    const std::string ascii = SOURCE_DIR "/../shared/real-logs-ascii";
    if (!fs::is_directory(ascii) || !fs::is_directory(folder))
        GTEST_SKIP() << "no renderings at " << ascii;
    int files = 0, fixes = 0, off = 0;
    for (const auto& e : fs::directory_iterator(folder)) {
        fs::path text = fs_path(ascii) / e.path().filename().replace_extension(".asc");
        if (!fs::exists(text))
            continue;
        std::string name = utf8_name(e.path().filename());
        pumping bin, asc;
        for (pumping* p : {&bin, &asc})
            p->job.opt.all = p->job.opt.autoutc = true;
        bin.run(read_file(utf8_name(e.path())));
        asc.run(read_file(utf8_name(text)));
        counts cb = counts_of(bin.store()), ca = counts_of(asc.store());
        // One INSPVAX of that recording has no body, which its rendering
        // leaves out.
        if (name == "edie__advanceddecoder_alllogs.BIN")
            --cb.inspvax;
        cb.allonly = ca.allonly;
        EXPECT_EQ(ca, cb) << name;
        EXPECT_EQ(asc.store().nascii, ca.bestpos + ca.bestvel + ca.satvis + ca.trackstat + ca.time +
                                          ca.psrdop + ca.inspva + ca.inspvas + ca.inspvax +
                                          ca.bestxyz + ca.psrdop2 + ca.satvis2 + ca.heading +
                                          ca.heading2)
            << name;
        std::vector<std::vector<std::string>> lb, la;
        for (auto p : {std::make_pair(&bin, &lb), std::make_pair(&asc, &la)}) {
            std::istringstream in(p.first->output);
            for (std::string line; std::getline(in, line);)
                if (line.compare(3, 3, "GGA") == 0 || line.compare(3, 3, "RMC") == 0)
                    p.second->push_back(split_fields(line));
        }
        ASSERT_EQ(la.size(), lb.size()) << name;
        for (std::size_t i = 0; i < la.size(); ++i) {
            const auto &a = la[i], &b = lb[i];
            ASSERT_EQ(a[0], b[0]) << name << " " << i;
            ASSERT_EQ(a[1], b[1]) << name << " " << i; // the time
            bool gga = a[0] == "$GPGGA";
            for (int f : gga ? std::vector<int>{2, 4, 9} : std::vector<int>{3, 5})
                EXPECT_TRUE(near(a[f], b[f], off)) << name << " " << a[f] << " " << b[f];
            fixes += gga ? 1 : 0;
        }
        ++files;
    }
    EXPECT_GE(files, 31);
    EXPECT_GE(fixes, 9000);
    EXPECT_LT(off, fixes / 5);
    RecordProperty("fields_one_digit_apart", off);
}
