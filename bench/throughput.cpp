// The whole program's speed against the disk's: makes a 300 MB receiver log,
// a 300 MB log of today's receivers (converted with /all), the same session
// as ASCII text (with /all) and 300 MB of line noise with the project's
// generator, converts each three times to a new output, reads and writes the
// same amounts with 256 KiB blocks to a new file (the I/O floor, as dd does
// it) three times, and prints the medians, the ratio to the floor and the
// program's peak memory, and the time of a run that replaces the output of
// the run before; and
// times the frame search with its CRC checks alone over the receiver log
// (reading it, finding and checking every frame, converting none). Linux
// only.
//   throughput PELLUCID MEGABYTES FOLDER
#include "input/pump.h"
#include "survey.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using clock_type = std::chrono::steady_clock;

double seconds_since(clock_type::time_point t0)
{
    return std::chrono::duration<double>(clock_type::now() - t0).count();
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

long long file_size(const std::string& path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0 ? static_cast<long long>(st.st_size) : -1;
}

struct result {
    double secs;
    long peak_kib;
};

// Runs the program on the log, with one option or none; its console text
// goes to /dev/null.
result convert(const std::string& prog, const std::string& log, const char* option)
{
    auto t0 = clock_type::now();
    pid_t pid = fork();
    if (pid == 0) {
        int null = open("/dev/null", O_WRONLY);
        dup2(null, 2);
        execl(prog.c_str(), prog.c_str(), log.c_str(), option, static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    struct rusage ru {};
    wait4(pid, &status, 0, &ru);
    double secs = seconds_since(t0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) > 1) {
        std::fprintf(stderr, "throughput: %s failed on %s\n", prog.c_str(), log.c_str());
        std::exit(1);
    }
    return {secs, ru.ru_maxrss};
}

// Reads the input and writes `out_bytes` bytes, 256 KiB at a time.
double io_floor(const std::string& in, const std::string& out, long long out_bytes)
{
    std::vector<char> block(256 * 1024, 'x');
    auto t0 = clock_type::now();
    int fd = open(in.c_str(), O_RDONLY);
    while (read(fd, block.data(), block.size()) > 0) {
    }
    close(fd);
    fd = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    for (long long left = out_bytes; left > 0;) {
        auto n = static_cast<std::size_t>(std::min<long long>(left, 256 * 1024));
        if (write(fd, block.data(), n) != static_cast<ssize_t>(n))
            break;
        left -= static_cast<long long>(n);
    }
    close(fd);
    return seconds_since(t0);
}

// The frame search alone: the file read and every frame found and checked
// as the program does it, and nothing converted.
double frame_search(const std::string& log, long& frames)
{
    rfifo ring;
    ring.setup();
    std::FILE* f = std::fopen(log.c_str(), "rb");
    std::setvbuf(f, nullptr, _IONBF, 0);
    frames = 0;
    auto t0 = clock_type::now();
    pump(source{[](void* ctx, std::uint8_t* p, std::size_t n) {
                    return std::fread(p, 1, n, static_cast<std::FILE*>(ctx));
                },
                f},
         ring,
         framesink{[](void* ctx, const std::uint8_t*, int, bool) { ++*static_cast<long*>(ctx); },
                   &frames, false});
    double secs = seconds_since(t0);
    std::fclose(f);
    return secs;
}

void measure_search(const std::string& log)
{
    std::vector<double> runs;
    long frames = 0;
    for (int i = 0; i < 4; ++i)
        runs.push_back(frame_search(log, frames));
    runs.erase(runs.begin()); // the first warms the page cache
    double mb = static_cast<double>(file_size(log)) / 1e6, t = median(runs);
    std::printf("frame search with CRC alone, receiver log: %ld frames\n", frames);
    std::printf("  search      %6.3f s  %6.0f MB/s\n", t, mb / t);
}

void measure(const char* what, const std::string& prog, const std::string& log,
             const std::string& folder, const char* option = nullptr)
{
    std::string nme = log.substr(0, log.size() - 3) + "nme", floor_out = folder + "/floor.out";
    convert(prog, log, option); // once to warm the page cache and the program
    // Each timed run writes a new file, as the floor does: when the name
    // holds the output of the run before, the file system frees that file
    // (and, on ext4, starts writing the new one out) at the rename, which
    // the replacing runs time separately.
    std::vector<double> runs, floors, replacing;
    long peak = 0;
    for (int i = 0; i < 3; ++i) {
        std::remove(nme.c_str());
        result r = convert(prog, log, option);
        runs.push_back(r.secs);
        peak = std::max(peak, r.peak_kib);
        std::remove(floor_out.c_str());
        floors.push_back(io_floor(log, floor_out, file_size(nme)));
        replacing.push_back(convert(prog, log, option).secs);
    }
    double mb_in = static_cast<double>(file_size(log)) / 1e6;
    double mb_out = static_cast<double>(file_size(nme)) / 1e6;
    double t = median(runs), f = median(floors);
    std::printf("%s: %.1f MB in, %.1f MB of NMEA out\n", what, mb_in, mb_out);
    std::printf("  pellucid    %6.3f s  %6.0f MB/s   peak memory %.2f MiB\n", t, mb_in / t,
                static_cast<double>(peak) / 1024.0);
    std::printf("  I/O floor   %6.3f s  (read the input, write the output's size)\n", f);
    std::printf("  ratio       %6.2f x the floor\n", t / f);
    std::printf("  replacing   %6.3f s  (the output of the run before at its name)\n",
                median(replacing));
    std::remove(nme.c_str());
    std::remove(floor_out.c_str());
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: throughput PELLUCID MEGABYTES FOLDER\n");
        return 2;
    }
    std::string prog = argv[1], folder = argv[3];
    std::size_t bytes = std::strtoul(argv[2], nullptr, 10) * 1000000u;
    std::string survey = folder + "/survey.log", today = folder + "/today.log",
                text = folder + "/today-ascii.log", noise = folder + "/noise.log";
    for (auto& [path, write] :
         {std::make_pair(survey, &write_survey), std::make_pair(today, &write_today),
          std::make_pair(text, &write_today_ascii), std::make_pair(noise, &write_noise)}) {
        std::FILE* f = std::fopen(path.c_str(), "wb");
        if (!f || !write(f, bytes) || std::fclose(f) != 0) {
            std::fprintf(stderr, "throughput: cannot write %s\n", path.c_str());
            return 1;
        }
    }
    measure("receiver log", prog, survey, folder);
    measure_search(survey);
    measure("today's receivers, /all", prog, today, folder, "/all");
    measure("today's receivers as ASCII, /all", prog, text, folder, "/all");
    measure("line noise", prog, noise, folder);
    for (const std::string& path : {survey, today, text, noise})
        std::remove(path.c_str());
    return 0;
}
