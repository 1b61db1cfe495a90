// Long generated logs for throughput measurements: a receiver session of
// any length, and line noise full of false frame starts.
#pragma once

#include <cstddef>
#include <cstdio>

// Writes about `bytes` bytes of a receiver session to out: BESTPOS and
// BESTVEL at 20 Hz (10 Hz in every other minute), TIME, PSRDOP, SATVIS and
// TRACKSTAT (GPS, GLONASS and SBAS satellites) each second, and unrelated
// RANGE and RAWEPHEM logs. Answers false when a write failed.
bool write_survey(std::FILE* out, std::size_t bytes);

// Writes `bytes` bytes of noise in which a tenth of the bytes are 0xAA and
// whole four-byte sync words are common.
bool write_noise(std::FILE* out, std::size_t bytes);
