#include "textref.h"

#include "input/asciilog.h"
#include "input/crc.h"

#include <algorithm>
#include <cstdint>

namespace {

// The logs an ASCII name may give, with the longest frame each may become.
struct named {
    const char* name;
    logname log;
    std::uint16_t id;
    std::size_t longest;
};
const named names[] = {
    {"BESTPOS", log_bestpos, 42, 4095},   {"BESTVEL", log_bestvel, 99, 4095},
    {"SATVIS", log_satvis, 48, 20524},    {"TRACKSTAT", log_trackstat, 83, 20528},
    {"TIME", log_time, 101, 4095},        {"PSRDOP", log_psrdop, 174, 4095},
    {"BESTXYZ", log_bestxyz, 241, 4095},  {"INSPVA", log_inspva, 507, 4095},
    {"INSPVAS", log_inspvas, 508, 4095},  {"INSPVAX", log_inspvax, 1465, 4095},
    {"HEADING", log_heading, 971, 4095},  {"SATVIS2", log_satvis2, 1043, 4095},
    {"PSRDOP2", log_psrdop2, 1163, 4095}, {"HEADING2", log_heading2, 1335, 4095},
};

constexpr std::size_t most = 65536; // bytes of the longest log

bool printable(char c)
{
    return c >= 0x20 && c <= 0x7E;
}

bool digits(const std::string& s)
{
    return std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// The log a name as written stands for: a name of the table, "A" after it
// when lettered, then maybe "_" and one or two digits.
const named* name_of(std::string s, bool lettered)
{
    std::size_t under = s.rfind('_');
    if (under != std::string::npos) {
        std::string source = s.substr(under + 1);
        if (source.empty() || source.size() > 2 || !digits(source))
            return nullptr;
        s.erase(under);
    }
    if (lettered) {
        if (s.empty() || s.back() != 'A')
            return nullptr;
        s.pop_back();
    }
    for (const named& n : names)
        if (s == n.name)
            return &n;
    return nullptr;
}

bool week_of(const std::string& s, std::uint16_t& week)
{
    if (s.empty() || s.size() > 5 || !digits(s) || std::stoul(s) > 65535)
        return false;
    week = static_cast<std::uint16_t>(std::stoul(s));
    return true;
}

// Seconds of the week to milliseconds: the exact decimal value times 1000,
// rounded half up.
bool ms_of(const std::string& s, std::uint32_t& ms)
{
    std::size_t dot = s.find('.');
    std::string whole = s.substr(0, dot);
    std::string frac = dot == std::string::npos ? "" : s.substr(dot + 1);
    if (whole.empty() || whole.size() > 6 || !digits(whole) || frac.size() > 9 || !digits(frac))
        return false;
    frac += "0000";
    ms = static_cast<std::uint32_t>(std::stoul(whole) * 1000 + std::stoul(frac.substr(0, 3)) +
                                    (frac[3] >= '5' ? 1 : 0));
    return true;
}

void put(std::string& s, std::size_t at, std::uint32_t v, int size)
{
    for (int i = 0; i < size; ++i)
        s[at + static_cast<std::size_t>(i)] = static_cast<char>(v >> (8 * i));
}

// The frame of a log whose header is read: its body decoded, under the
// long or short binary header; empty when the body does not decode or the
// frame would be longer than a binary one may be.
std::string frame_of(const named& n, bool shortf, std::uint16_t week, std::uint32_t ms,
                     const std::string& body, bodyform f)
{
    static std::vector<std::uint8_t> out(std::size_t(1) << 20);
    int len = decode_body(n.log, body.data(), static_cast<int>(body.size()), f, out.data(),
                          static_cast<int>(out.size()));
    if (len < 0 || (shortf ? len > 255 : static_cast<std::size_t>(len) + 32 > n.longest))
        return "";
    std::string frame(shortf ? 12 : 28, '\0');
    frame[0] = '\xAA';
    frame[1] = '\x44';
    if (shortf) {
        frame[2] = '\x13';
        put(frame, 3, static_cast<std::uint32_t>(len), 1);
        put(frame, 4, n.id, 2);
        put(frame, 6, week, 2);
        put(frame, 8, ms, 4);
    } else {
        frame[2] = '\x12';
        frame[3] = '\x1C';
        put(frame, 4, n.id, 2);
        put(frame, 8, static_cast<std::uint32_t>(len), 2);
        put(frame, 14, week, 2);
        put(frame, 16, ms, 4);
    }
    frame.append(out.begin(), out.begin() + len);
    std::uint32_t crc = crc32(reinterpret_cast<const std::uint8_t*>(frame.data()), frame.size());
    frame.append(4, '\0');
    put(frame, frame.size() - 4, crc, 4);
    return frame;
}

// A long (#) or short (%) log at t[i]: its length, 0 when there is none.
std::size_t crc_log(const std::string& t, std::size_t i, std::string& frame)
{
    bool shortf = t[i] == '%';
    std::size_t fields = shortf ? 3 : 10, week_field = shortf ? 2 : 6; // the name is field 1
    std::size_t limit = std::min(t.size(), i + most);
    // The header: fields of any bytes but , ; * " and those below 0x20 or
    // above 0x7E, separated by ",", the last followed by ";".
    std::vector<std::string> head;
    std::size_t at = i + 1;
    while (head.size() < fields) {
        std::string field;
        while (at < limit && printable(t[at]) && t[at] != ',' && t[at] != ';' && t[at] != '*' &&
               t[at] != '"')
            field += t[at++];
        if (at == limit || t[at] != (head.size() + 1 == fields ? ';' : ','))
            return 0;
        head.push_back(field);
        ++at;
    }
    const named* n = name_of(head[0], true);
    std::uint16_t week;
    std::uint32_t ms;
    if (!n || !week_of(head[week_field - 1], week) || !ms_of(head[week_field], ms))
        return 0;
    // The body, up to the first "*" outside double quotes.
    std::size_t body = at;
    bool quoted = false;
    for (; at < limit && !(t[at] == '*' && !quoted); ++at) {
        if (!printable(t[at]))
            return 0;
        if (t[at] == '"')
            quoted = !quoted;
    }
    std::size_t star = at;
    if (star + 9 > limit)
        return 0;
    std::string hex = t.substr(star + 1, 8);
    if (!std::all_of(hex.begin(), hex.end(), [](char c) {
            return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
        }))
        return 0;
    auto* p = reinterpret_cast<const std::uint8_t*>(t.data());
    if (crc32(p + i + 1, star - i - 1) != std::stoul(hex, nullptr, 16))
        return 0;
    frame = frame_of(*n, shortf, week, ms, t.substr(body, star - body), bodyform::commas);
    return frame.empty() ? 0 : star + 9 - i;
}

// The line that starts at t[from]: up to its LF, taken, or the end of t.
std::size_t line_after(const std::string& t, std::size_t from)
{
    std::size_t lf = t.find('\n', from);
    return lf == std::string::npos ? t.size() : lf + 1;
}

// An abbreviated (<) log at t[i], at the start of a line: its length, 0
// when there is none.
std::size_t angle_log(const std::string& t, std::size_t i, std::string& frame)
{
    // The header line, then the lines that start with "<" and a space.
    std::size_t head_end = line_after(t, i), end = head_end;
    while (end - i <= most && end + 1 < t.size() && t[end] == '<' && t[end + 1] == ' ')
        end = line_after(t, end);
    if (end - i > most)
        return 0;
    for (std::size_t k = i; k < end; ++k)
        if (!printable(t[k]) && t[k] != '\r' && t[k] != '\n')
            return 0;
    std::string head = t.substr(i + 1, head_end - i - 1);
    if (!head.empty() && head.back() == '\n') {
        head.pop_back();
        if (!head.empty() && head.back() == '\r')
            head.pop_back();
    }
    std::size_t space = head.find(' ');
    if (space == std::string::npos)
        return 0;
    const named* n = name_of(head.substr(0, space), false);
    if (!n)
        return 0;
    // Tokens: the runs of other bytes between runs of spaces.
    std::vector<std::string> tokens;
    for (std::size_t k = space; k < head.size(); ++k) {
        char c = head[k];
        if (c == ',' || c == ';' || c == '*' || c == '"')
            return 0;
        if (c != ' ' && head[k - 1] == ' ')
            tokens.emplace_back();
        if (c != ' ')
            tokens.back() += c;
    }
    if (tokens.size() != 9 && tokens.size() != 2)
        return 0;
    bool shortf = tokens.size() == 2;
    std::size_t w = shortf ? 0 : 4;
    std::uint16_t week;
    std::uint32_t ms;
    if (!week_of(tokens[w], week) || !ms_of(tokens[w + 1], ms))
        return 0;
    frame = frame_of(*n, shortf, week, ms, t.substr(head_end, end - head_end), bodyform::lines);
    return frame.empty() ? 0 : end - i;
}

} // namespace

std::vector<textlog> reference_text(const std::string& t)
{
    std::vector<textlog> found;
    for (std::size_t i = 0; i < t.size();) {
        std::string frame;
        std::size_t len = 0;
        if (t[i] == '#' || t[i] == '%')
            len = crc_log(t, i, frame);
        else if (t[i] == '<' && (i == 0 || t[i - 1] == '\n'))
            len = angle_log(t, i, frame);
        if (len == 0) {
            ++i; // nothing here: look again from the next byte
            continue;
        }
        found.push_back({i + len, frame});
        i += len;
    }
    return found;
}

std::vector<logfound> reference_logs(const std::string& bytes)
{
    // Each log with the place of its last byte in the input.
    std::vector<std::pair<std::size_t, logfound>> found;
    std::string text;
    std::vector<std::size_t> place; // of each byte of text in the input
    std::size_t at = 0;
    auto pass = [&](std::size_t to) {
        for (; at < to; ++at) {
            text += bytes[at];
            place.push_back(at);
        }
    };
    for (placed& f : scan_frames_placed(bytes)) {
        pass(f.at);
        at = f.at + f.frame.size();
        found.push_back({at - 1, {std::move(f.frame), false}});
    }
    pass(bytes.size());
    for (textlog& l : reference_text(text))
        found.push_back({place[l.end - 1], {std::move(l.frame), true}});
    std::sort(found.begin(), found.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<logfound> order;
    for (auto& f : found)
        order.push_back(std::move(f.second));
    return order;
}
