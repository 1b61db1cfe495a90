// Runs the real conversion over a byte string, as the program run does, and
// the frame parser byte by byte, to compare the two.
#pragma once

#include "driver/session.h"

#include <cstdint>
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

// The good binary frames the pump finds, whole, in order; reads take the sizes
// given in turn (cycling), or as much as the window takes when none are.
std::vector<std::string> frames_pumped(const std::string& bytes,
                                       const std::vector<std::size_t>& reads = {});

// A log as the pump hands it on: a binary frame, or the frame an ASCII log
// became.
struct logfound {
    std::string frame;
    bool ascii;
    bool operator==(const logfound& o) const { return frame == o.frame && ascii == o.ascii; }
};
std::ostream& operator<<(std::ostream& os, const logfound& f);

// Every log the pump hands on, binary and ASCII, in the order the sink gets
// them, with the sink ordered or not.
std::vector<logfound> logs_pumped(const std::string& bytes, const std::vector<std::size_t>& reads,
                                  bool ordered = true);

// The good frames that feeding the parser one byte at a time finds, giving
// back the bytes of every rejected candidate but its first, and rejecting a
// candidate that the end of the input cuts off.
std::vector<std::string> frames_fed(const std::string& bytes);

// Counts of the logs the store keeps, in summary order: BESTPOS, BESTVEL,
// SATVIS, TRACKSTAT, TIME, PSRDOP, then those read with /all; and the good
// frames of the logs only /all reads, whatever the options.
struct counts {
    int bestpos = 0, bestvel = 0, satvis = 0, trackstat = 0, time = 0, psrdop = 0;
    int inspva = 0, inspvas = 0, inspvax = 0, bestxyz = 0, psrdop2 = 0, satvis2 = 0, heading = 0,
        heading2 = 0;
    int allonly = 0;
    bool operator==(const counts& o) const;
};
counts counts_of(const logstore& s);
std::ostream& operator<<(std::ostream& os, const counts& c);

// The same counts from a resynchronising scan written independently of the
// pump: at each offset a frame is there when its sync (long or short),
// header length, total length (long frames below 4096 bytes, or up to 20524
// for SATVIS and 20528 for TRACKSTAT) and CRC all hold; a good frame is
// skipped whole, anything else advances one byte. Without all, short
// frames and the logs only /all reads are not counted as stored.
counts scan_counts(const std::string& bytes, bool all = false);

// A long binary candidate that claims `total` bytes, carries `inside` at
// offset 28 of its body, and fails its CRC.
std::string rejected_candidate(int total, const std::string& inside, std::uint16_t id = 7);

// The good frames of that scan, whole, in order.
std::vector<std::string> scan_frames(const std::string& bytes);

// The same with the offset of each frame's first byte.
struct placed {
    std::size_t at;
    std::string frame;
};
std::vector<placed> scan_frames_placed(const std::string& bytes);

// A fuzz input's read sizes and bytes: nreads sizes of two bytes each (1 to
// 65536) from data, then the input; false when data is too short for them.
bool reads_and_bytes(const std::uint8_t* data, std::size_t size, std::size_t nreads,
                     std::vector<std::size_t>& reads, std::string& bytes);
