// Long generated logs for throughput measurements: a receiver session of
// any length, and line noise full of false frame starts.
#pragma once

#include <cstddef>
#include <cstdio>
#include <random>

// Writes about `bytes` bytes of a receiver session to out: BESTPOS and
// BESTVEL at 20 Hz (10 Hz in every other minute), TIME, PSRDOP, SATVIS and
// TRACKSTAT (GPS, GLONASS and SBAS satellites) each second, and unrelated
// RANGE and RAWEPHEM logs. Answers false when a write failed.
bool write_survey(std::FILE* out, std::size_t bytes);

// Writes about `bytes` bytes of a session of today's receivers to out: an
// INS solution at 50 Hz in short-header INSPVAS frames and at 10 Hz in
// INSPVAX, BESTPOS, PSRDOP2, HEADING2, TRACKSTAT and a SATVIS2 for each of
// GPS, GLONASS, Galileo and BeiDou each second, and unrelated RANGE logs.
// Answers false when a write failed.
bool write_today(std::FILE* out, std::size_t bytes);

// The same session in the long ASCII form (#NAMEA,...;...*crc), numbers
// printed as receivers print them; the unrelated logs are left out.
bool write_today_ascii(std::FILE* out, std::size_t bytes);

// Fills p[0..n) with line noise full of false frame starts: a tenth of the
// bytes are 0xAA, and the other sync bytes are common too.
void fill_noise(std::mt19937& rng, char* p, std::size_t n);

// Writes `bytes` bytes of such noise.
bool write_noise(std::FILE* out, std::size_t bytes);
