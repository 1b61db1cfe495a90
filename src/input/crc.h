// NovAtel's CRC-32, which ends every binary frame and every long or short
// ASCII log: reflected polynomial 0xEDB88320, start 0, no final XOR.
#pragma once

#include <cstddef>
#include <cstdint>

// crc32 takes the fastest code at hand; crc32_table is the portable table
// code, which it falls back on and which it must always agree with.
std::uint32_t crc32(const std::uint8_t* p, std::size_t n, std::uint32_t crc = 0);
std::uint32_t crc32_table(const std::uint8_t* p, std::size_t n, std::uint32_t crc = 0);
