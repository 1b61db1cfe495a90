// The sentence writer: keeps each sentence the conversion writes as a record
// of the values it prints, in a record buffer; format_records turns records
// into text later (in the formatter thread, when there is one), each by the
// one print of its sentence, ended as one line with its checksum.
#pragma once

#include "outbuf.h"

#include <cstddef>
#include <cstdint>

struct nmeastate;
struct satinfo;

constexpr int sentence_room = 256; // the longest print bound, its NUL included

// Records of sentences, 8-byte aligned, each at most line_room bytes.
struct recbuf {
    char* buf = nullptr;  // 8-byte aligned
    std::size_t len = 0;  // bytes of records kept
    std::size_t room = 0; // bytes the buffer holds
    bool full = false;    // a record found no room and was not kept
};

// Room to keep free in a record buffer before a frame is converted: the
// records of the most sentences one frame can give (a fix's six, a
// heading's HDT, a GSV group of nine and a cycle of seven systems' groups
// in six talkers, a ZDA: 71), with room to spare.
constexpr std::size_t frame_records = 96 * line_room;

// Each keeps the record of its sentence and answers 1; or 0, keeping
// nothing, when the buffer has no room left (which the program never lets
// happen). Whether the text fits its print's bound is found when the record
// is formatted: a sentence that would not fit is refused whole there.
int put_gga(const nmeastate& s, recbuf& out);
int put_rmc(const nmeastate& s, recbuf& out);
int put_zda(const nmeastate& s, recbuf& out);
// With /all: the DOPs and satellites of the latest PSRDOP or PSRDOP2, the
// accuracy of a BESTPOS or INSPVAX fix, its course and speed, and a heading.
int put_gsa(const nmeastate& s, recbuf& out);
int put_gst(const nmeastate& s, recbuf& out);
int put_vtg(const nmeastate& s, recbuf& out);
int put_hdt(double heading, recbuf& out);

// Keeps the GSV group (at most 36 satellites; a larger nsats is lowered to
// 36 in the state) under the talker GP, with NMEA's satellite numbers for
// the receiver's, and answers how many of its sentences were kept.
int put_gsv(nmeastate& s, recbuf& out);

// Keeps the GSV group of the first nsats (at most 36) satellites at sats,
// whose numbers are NMEA's already, under the two-letter talker ("GP",
// "GL", ...), and answers how many of its sentences were kept.
int put_gsv_group(const char* talker, const satinfo* sats, std::int32_t nsats, recbuf& out);

// The satellite number NMEA uses for a receiver's number: GLONASS slots,
// which the receiver numbers 38 to 61, are 65 to 88; SBAS PRNs 120 to 151
// are 33 to 64; every other number (GPS 1 to 32 among them) is kept.
std::int32_t nmea_prn(std::int32_t prn);

// Formats the records at rec (n bytes, as a record buffer holds them) into
// out as text, in order. Answers how many sentences were refused for not
// fitting their bounds.
std::int64_t format_records(const char* rec, std::size_t n, outbuf& out);
