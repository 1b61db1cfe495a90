// The framing contract that every input form follows. A form is one row: the
// bytes that start one of its candidates, how to judge a candidate, and the
// longest one it may be. Judging answers a named verdict: complete (with the
// candidate's length), more bytes needed, or rejected; after a rejection the
// search goes on from the byte after the candidate's first. A stream of
// input takes, among its forms, the candidate that starts first.
#pragma once

#include <cstdint>

enum class verdict : std::uint8_t { complete, more, rejected };

struct judged {
    verdict v;
    int len; // of a complete candidate
};

// Judges the candidate at p (which begins with its form's start), with n
// bytes at hand; end is true when no more bytes will follow them, and a form
// then answers complete or rejected, never more.
using judge_fn = judged (*)(const std::uint8_t* p, int n, bool end);

struct form {
    const char* name;
    const char* start; // the bytes that start a candidate
    judge_fn judge;
    int longest; // bytes of its longest candidate
};

// Where a stream's first candidate starts whole in p[0..n), and of which of
// its forms; at is -1 when none does.
struct start {
    int at;
    int form;
};
