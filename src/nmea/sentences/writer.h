// The sentence writer: formats sentences from the conversion state straight
// into the output buffer and ends each as one line with its checksum; or,
// into a deferred output buffer, keeps each as a record of the values it
// prints, which format_records turns into the same text later, by the same
// print.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

struct nmeastate;
struct outbuf;
struct satinfo;

constexpr int sentence_room = 256; // buffer for one sentence text

// Writes the text (a NUL-terminated sentence from "$" to "*", in a buffer of
// sentence_room chars) as one line: blanks removed, then the checksum of
// everything between the first and the last character as two upper-case hex
// digits, then CR LF. The buffer keeps the cleaned text. Answers the length
// of the cleaned text plus 3, or a negative value once the output file has
// failed a write.
int put_sentence(char* text, outbuf& out);

// text with every occurrence of from (not empty) replaced by to, left to
// right; inserted text is not searched again.
std::string replace_all(const std::string& text, const std::string& from, const std::string& to);

// Each answers 0 when the sentence was refused because its formatted text
// would not fit its bound (only hostile values get there), else what
// put_sentence answers. Into a deferred output buffer each keeps a record
// and answers 1: whether it fits is found when the record is formatted.
int put_gga(const nmeastate& s, outbuf& out);
int put_rmc(const nmeastate& s, outbuf& out);
int put_zda(const nmeastate& s, outbuf& out);
// With /all: the DOPs and satellites of the latest PSRDOP or PSRDOP2, the
// accuracy of a BESTPOS or INSPVAX fix, its course and speed, and a heading.
int put_gsa(const nmeastate& s, outbuf& out);
int put_gst(const nmeastate& s, outbuf& out);
int put_vtg(const nmeastate& s, outbuf& out);
int put_hdt(double heading, outbuf& out);

// Writes the GSV group (at most 36 satellites; a larger nsats is lowered to
// 36 in the state) under the talker GP, with NMEA's satellite numbers for the
// receiver's, and answers how many of its sentences were written.
int put_gsv(nmeastate& s, outbuf& out);

// Writes the GSV group of the first nsats (at most 36) satellites at sats,
// whose numbers are NMEA's already, under the two-letter talker ("GP",
// "GL", ...), and answers how many of its sentences were written.
int put_gsv_group(const char* talker, const satinfo* sats, std::int32_t nsats, outbuf& out);

// The satellite number NMEA uses for a receiver's number: GLONASS slots,
// which the receiver numbers 38 to 61, are 65 to 88; SBAS PRNs 120 to 151
// are 33 to 64; every other number (GPS 1 to 32 among them) is kept.
std::int32_t nmea_prn(std::int32_t prn);

// Formats the records that a deferred output buffer collected (n bytes at
// rec) into out as text, in order. Answers how many sentences were refused
// for not fitting their bounds.
std::int64_t format_records(const char* rec, std::size_t n, outbuf& out);
