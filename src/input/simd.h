// Where SSE2 is at hand (on every x86-64), the byte searches of the input
// look at sixteen places at a time; elsewhere they go byte by byte, with
// the same answers.
#pragma once

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define PELLUCID_SSE2 1
#endif
