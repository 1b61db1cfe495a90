// The conversion: takes the fresh logs of the store into the state and
// writes the sentences they complete.
#pragma once

#include <cstdint>
#include <cstdio>

struct logstore;
struct nmeastate;
struct convopt;

// Answers the number of sentences written for this call.
std::int32_t convert(logstore& store, nmeastate& state, std::FILE* out, const convopt& opt);
