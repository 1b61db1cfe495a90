// Throughput of the converter over large generated logs, and of its hot
// stages alone. Run with: make bench
#include "asciienc.h"
#include "driver/formatter.h"
#include "driver/session.h"
#include "frames.h"
#include "input/asciilog.h"
#include "input/crc.h"
#include "input/frame.h"
#include "input/logs.h"
#include "nmea/sentences/writer.h"
#include "nmea/state.h"
#include "sample.h"
#include "survey.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <random>
#include <string>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

constexpr std::size_t target = 64u << 20; // bytes per generated log

std::string repeat_to_target(const std::string& unit)
{
    std::string s;
    s.reserve(target + unit.size());
    while (s.size() < target)
        s += unit;
    return s;
}

// Position and velocity at 20 Hz with a TIME log each second: the heaviest
// output per input byte.
std::string positions()
{
    std::string unit;
    frames::header h;
    h.week = 2448;
    for (int sec = 0; sec < 60; ++sec) {
        h.msec = 131700000u + 1000u * static_cast<std::uint32_t>(sec);
        unit += frames::make(frames::time{}, h);
        for (int k = 0; k < 20; ++k) {
            h.msec += 50;
            frames::bestpos p;
            p.lat = 51.0447 + 1e-6 * (sec * 20 + k);
            p.lon = -114.0719 - 1e-6 * (sec * 20 + k);
            p.height = 1048.3 + 0.001 * k;
            unit += frames::make(p, h);
            frames::bestvel v;
            v.speed = 6.2;
            v.track = 72.5;
            unit += frames::make(v, h);
        }
    }
    return repeat_to_target(unit);
}

// Long logs the converter does not use (raw measurements): parsing and CRC only.
std::string unrelated()
{
    std::mt19937 rng(1);
    std::string body(3800, '\0');
    for (char& c : body)
        c = static_cast<char>(rng());
    return repeat_to_target(frames::frame(43, body));
}

// Line noise full of false sync bytes: the worst case for rescans.
std::string noise()
{
    std::mt19937 rng(2);
    std::string s(target / 4, '\0');
    fill_noise(rng, &s[0], s.size());
    return s;
}

// A temporary file holding the bytes, removed at exit.
struct logfile {
    std::string path;
    std::size_t size;
    explicit logfile(const std::string& bytes) : size(bytes.size())
    {
        char tmpl[] = "/tmp/pellucid-bench-XXXXXX";
        int fd = mkstemp(tmpl);
        path = tmpl;
        std::FILE* f = fdopen(fd, "wb");
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
    }
    ~logfile() { std::remove(path.c_str()); }
};

void convert_file(benchmark::State& state, const logfile& log)
{
    for (auto _ : state) {
        session job;
        setup(job);
        std::FILE* in = std::fopen(log.path.c_str(), "rb");
        std::FILE* out = std::fopen("/dev/null", "wb");
        std::setvbuf(in, nullptr, _IONBF, 0);
        std::setvbuf(out, nullptr, _IONBF, 0);
        benchmark::DoNotOptimize(convert_file(job, in, out));
        std::fclose(in);
        std::fclose(out);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * log.size));
}

void bm_sample_mix(benchmark::State& state)
{
    static logfile log(repeat_to_target(make_sample()));
    convert_file(state, log);
}

void bm_positions(benchmark::State& state)
{
    static logfile log(positions());
    convert_file(state, log);
}

void bm_unrelated_logs(benchmark::State& state)
{
    static logfile log(unrelated());
    convert_file(state, log);
}

void bm_noise(benchmark::State& state)
{
    static logfile log(noise());
    convert_file(state, log);
}

// The CRC of a 4091-byte frame body, by the fastest code at hand or by the
// portable tables.
template <std::uint32_t (*crc)(const std::uint8_t*, std::size_t, std::uint32_t)>
void bm_crc(benchmark::State& state)
{
    std::string f(4091, '\x5a');
    auto* p = reinterpret_cast<const std::uint8_t*>(f.data());
    for (auto _ : state)
        benchmark::DoNotOptimize(crc(p, f.size(), 0));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * 4091);
}

void bm_gga_rmc(benchmark::State& state)
{
    nmeastate s{};
    s.hour = 12, s.minute = 34, s.second = 56, s.hsec = 70, s.day = 7, s.month = 12, s.year = 2026;
    s.latdeg = 51, s.latmin = 2.6852823, s.latns = 'N', s.londeg = 114, s.lonmin = 4.2975293;
    s.lonew = 'W', s.quality = 4, s.svused = 9, s.hdop = 0.8, s.hashdop = 1, s.height = 1048.3;
    s.undulation = -16.9, s.speed = 6.2, s.track = 72.5, s.hasvel = 1;
    // Kept as records, as the conversion keeps them, and formatted a buffer
    // at a time, as the formatter thread formats them.
    session job;
    setup(job);
    std::FILE* null = std::fopen("/dev/null", "wb");
    job.text.to = file_sink(null);
    for (auto _ : state) {
        put_gga(s, job.recs);
        put_rmc(s, job.recs);
        if (job.recs.len >= record_block) {
            format_records(job.recs.buf, job.recs.len, job.text);
            job.recs.len = 0;
        }
    }
    format_records(job.recs.buf, job.recs.len, job.text);
    flush(job.text);
    std::fclose(null);
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * 2);
}

// The bodies of a minute of today's receivers' session (INS at 50 Hz and
// the rest, as generated for mklog), printed as receivers print them, in
// the commas of the long form or the lines of the abbreviated one.
struct ascii_bodies {
    std::vector<std::pair<logname, std::string>> bodies;
    std::int64_t fields = 0, bytes = 0;
};

ascii_bodies today_bodies(bool lines)
{
    std::FILE* f = std::tmpfile();
    write_today(f, 2500000);
    std::string frames(static_cast<std::size_t>(std::ftell(f)), '\0');
    std::rewind(f);
    frames.resize(std::fread(&frames[0], 1, frames.size(), f));
    std::fclose(f);
    ascii_bodies a;
    for (std::size_t at = 0; at + 12 <= frames.size();) {
        bool shortf = frames[at + 2] == '\x13';
        auto* p = reinterpret_cast<const std::uint8_t*>(frames.data()) + at;
        std::size_t len = shortf ? 16u + p[3] : 32u + ld_u16(p + 8);
        int k = log_of(ld_u16(p + 4));
        if (k >= 0) {
            std::string frame = frames.substr(at, len);
            std::string commas = asciienc::body(frame, false, asciienc::style::receiver);
            std::string b = lines ? asciienc::body(frame, true, asciienc::style::receiver) : commas;
            a.bodies.push_back({logname(k), b});
            a.fields +=
                1 + static_cast<std::int64_t>(std::count(commas.begin(), commas.end(), ','));
            a.bytes += static_cast<std::int64_t>(b.size());
        }
        at += len;
    }
    return a;
}

void decode_bodies(benchmark::State& state, const ascii_bodies& a, bodyform form)
{
    std::vector<std::uint8_t> out(frame_capacity);
    for (auto _ : state)
        for (const auto& b : a.bodies)
            benchmark::DoNotOptimize(decode_body(b.first, b.second.data(),
                                                 static_cast<int>(b.second.size()), form,
                                                 out.data(), static_cast<int>(out.size())));
    state.SetItemsProcessed(state.iterations() * a.fields);
    state.SetBytesProcessed(state.iterations() * a.bytes);
}

// Items are fields: the time per item is the time per field.
void bm_ascii_bodies(benchmark::State& state)
{
    static const ascii_bodies a = today_bodies(false);
    decode_bodies(state, a, bodyform::commas);
}

void bm_ascii_body_lines(benchmark::State& state)
{
    static const ascii_bodies a = today_bodies(true);
    decode_bodies(state, a, bodyform::lines);
}

// One BESTPOS as a receiver prints it.
void bm_ascii_bestpos(benchmark::State& state)
{
    ascii_bodies a;
    a.bodies.push_back({log_bestpos, "SOL_COMPUTED,NARROW_INT,51.15043782363,-114.03067871718,"
                                     "1080.3548,-17.0000,WGS84,0.0134,0.0197,0.0259,\"TSTR\",1.000,"
                                     "0.000,24,22,22,18,00,06,7f,37"});
    a.fields = 21;
    a.bytes = static_cast<std::int64_t>(a.bodies[0].second.size());
    decode_bodies(state, a, bodyform::commas);
}

} // namespace

BENCHMARK(bm_sample_mix)->Unit(benchmark::kMillisecond);
BENCHMARK(bm_positions)->Unit(benchmark::kMillisecond);
BENCHMARK(bm_unrelated_logs)->Unit(benchmark::kMillisecond);
BENCHMARK(bm_noise)->Unit(benchmark::kMillisecond);
BENCHMARK(bm_crc<crc32>)->Name("bm_crc");
BENCHMARK(bm_crc<crc32_table>)->Name("bm_crc_table");
BENCHMARK(bm_gga_rmc);
BENCHMARK(bm_ascii_bodies);
BENCHMARK(bm_ascii_body_lines);
BENCHMARK(bm_ascii_bestpos);

BENCHMARK_MAIN();
