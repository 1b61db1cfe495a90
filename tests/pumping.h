// Runs the real input pump over a byte string, as the program run does.
#pragma once

#include "driver/options.h"
#include "input/logstore.h"
#include "input/rfifo.h"
#include "nmea/nmeastate.h"

#include <memory>
#include <string>

struct pumping {
    std::unique_ptr<logstore> store{new logstore()};
    std::unique_ptr<nmeastate> state{new nmeastate()};
    convopt opt{1, 1, 1, 1, 0, L"nme"};
    pumped result{};
    std::string output; // what the conversion wrote

    // Pumps the bytes through; the store and state keep what they gathered.
    void run(const std::string& bytes);
};

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
