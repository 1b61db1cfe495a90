// Runs the real conversion over a byte string, as the program run does, and
// the frame parser byte by byte, to compare the two.
#pragma once

#include "driver/session.h"

#include <ostream>
#include <string>
#include <vector>

struct pumping {
    session job;
    std::string output; // what the conversion wrote
    const logstore& store() const { return *job.store; }

    pumping(); // a session set up as the program run sets one up, writing to output
    // Converts the bytes, read in pieces of at most `piece` bytes (0: as
    // large as the window takes); the store and state keep what they gathered.
    void run(const std::string& bytes, std::size_t piece = 0);
};

// The good frames the pump finds, whole, in order; reads take the sizes
// given in turn (cycling), or as much as the window takes when none are.
std::vector<std::string> frames_pumped(const std::string& bytes,
                                       const std::vector<std::size_t>& reads = {});

// The good frames that feeding the parser one byte at a time finds, giving
// back the bytes of every rejected candidate but its first, and rejecting a
// candidate that the end of the input cuts off.
std::vector<std::string> frames_fed(const std::string& bytes);

// Counts of the six logs, in summary order: BESTPOS, BESTVEL, SATVIS,
// TRACKSTAT, TIME, PSRDOP.
struct counts {
    int bestpos = 0, bestvel = 0, satvis = 0, trackstat = 0, time = 0, psrdop = 0;
    bool operator==(const counts& o) const
    {
        return bestpos == o.bestpos && bestvel == o.bestvel && satvis == o.satvis &&
               trackstat == o.trackstat && time == o.time && psrdop == o.psrdop;
    }
};
counts counts_of(const logstore& s);
std::ostream& operator<<(std::ostream& os, const counts& c);
