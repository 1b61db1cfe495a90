#include "ascii.h"

#include "asciilog.h"
#include "crc.h"
#include "frame.h"
#include "le.h"
#include "scan.h"

#include <cstring>

const form ascii_forms[nasciiforms] = {
    {"long ASCII", "#", judge_hash, ascii_longest},
    {"short ASCII", "%", judge_percent, ascii_longest},
    {"abbreviated ASCII", "<", judge_angle, ascii_longest},
};

namespace {

constexpr judged more{verdict::more, 0};
constexpr judged rejected{verdict::rejected, 0};

// At the end of the input a candidate that needs more is rejected.
judged cut(bool end)
{
    return end ? rejected : more;
}

bool printable(std::uint8_t c)
{
    return c >= 0x20 && c <= 0x7E;
}

bool digit(std::uint8_t c)
{
    return c >= '0' && c <= '9';
}

bool name_char(std::uint8_t c)
{
    return (c >= 'A' && c <= 'Z') || digit(c) || c == '_';
}

int hex_value(std::uint8_t c)
{
    if (digit(c))
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// The longest name a log may have: the longest of the table (TRACKSTAT),
// "A", "_" and two digits.
constexpr int longest_name()
{
    int most = 0;
    for (const loginfo& l : logs) {
        int n = 0;
        while (l.name[n] != '\0')
            ++n;
        most = n > most ? n : most;
    }
    return most;
}
constexpr int name_most = longest_name() + 1 + 3;

// The lengths of the names of the table.
struct namelengths {
    int of[nlogs];
};
constexpr namelengths name_lengths()
{
    namelengths t{};
    for (int k = 0; k < nlogs; ++k)
        while (logs[k].name[t.of[k]] != '\0')
            ++t.of[k];
    return t;
}
constexpr namelengths name_len = name_lengths();

// The row of a log name p[0..n): a name of the table, then "A" when
// lettered, then maybe "_" and one or two digits; -1 for any other name.
int row_of(const std::uint8_t* p, int n, bool lettered)
{
    if (n >= 3 && p[n - 2] == '_' && digit(p[n - 1]))
        n -= 2;
    else if (n >= 4 && p[n - 3] == '_' && digit(p[n - 2]) && digit(p[n - 1]))
        n -= 3;
    if (lettered) {
        if (n < 2 || p[n - 1] != 'A')
            return -1;
        --n;
    }
    for (int k = 0; k < nlogs; ++k)
        if (name_len.of[k] == n && logs[k].name[0] == p[0] &&
            std::memcmp(logs[k].name, p, static_cast<std::size_t>(n)) == 0)
            return k;
    return -1;
}

// The name after the start byte, up to the byte `after` that must follow
// it: its length, 0 when more bytes are needed to tell, -1 when it is not
// a name of the table; row is its row in logs[].
int name_at(const std::uint8_t* p, int n, bool lettered, std::uint8_t after, int& row)
{
    int i = 1;
    while (i < n && name_char(p[i]) && i <= name_most)
        ++i;
    if (i == n && i - 1 <= name_most) // a name so far, and the byte after it to come
        return 0;
    if (i == n || p[i] != after)
        return -1;
    row = row_of(p + 1, i - 1, lettered);
    return row < 0 ? -1 : i - 1;
}

// The week: 1 to 5 digits, at most 65535.
bool week_text(const std::uint8_t* p, int n, std::uint16_t& week)
{
    if (n < 1 || n > 5)
        return false;
    std::uint32_t v = 0;
    for (int i = 0; i < n; ++i) {
        if (!digit(p[i]))
            return false;
        v = v * 10 + (p[i] - '0');
    }
    if (v > 65535)
        return false;
    week = static_cast<std::uint16_t>(v);
    return true;
}

// The seconds of the week: 1 to 6 digits, then maybe "." and 0 to 9
// digits; ms is the exact value times 1000, rounded half up.
bool seconds_text(const std::uint8_t* p, int n, std::uint32_t& ms)
{
    int i = 0;
    std::uint32_t whole = 0;
    while (i < n && digit(p[i]) && i < 7)
        whole = whole * 10 + (p[i++] - '0');
    if (i < 1 || i > 6)
        return false;
    std::uint32_t frac = 0;
    if (i < n) {
        if (p[i++] != '.' || n - i > 9)
            return false;
        for (int k = 0; k < 4; ++k, ++i) {
            std::uint32_t d = 0;
            if (i < n) {
                if (!digit(p[i]))
                    return false;
                d = p[i] - '0';
            }
            frac = k < 3 ? frac * 10 + d : frac + (d >= 5 ? 1 : 0);
        }
        for (; i < n; ++i)
            if (!digit(p[i]))
                return false;
    }
    ms = whole * 1000 + frac;
    return true;
}

// The end of a long or short log whose header ends with the ";" at semi:
// the body up to its "*", and 8 hex digits of a CRC that matches; limit is
// the bytes at hand, at most ascii_longest.
judged crc_end(const std::uint8_t* p, int limit, bool end, int semi)
{
    int star = body_end(p, semi + 1, limit);
    if (star < 0 || (star == limit && limit == ascii_longest))
        return rejected;
    if (star == limit)
        return cut(end);
    std::uint32_t want = 0;
    for (int k = 1; k <= 8; ++k) {
        if (star + k >= limit)
            return star + k >= ascii_longest ? rejected : cut(end);
        int h = hex_value(p[star + k]);
        if (h < 0)
            return rejected;
        want = want << 4 | static_cast<std::uint32_t>(h);
    }
    if (crc32(p + 1, static_cast<std::size_t>(star - 1)) != want)
        return rejected;
    return {verdict::complete, star + 9};
}

// The header fields of a long or short log after its name, from i on, up
// to its ";": `fields` more fields, of which field `week_at` (counting the
// name as 1) is the week and the next the seconds, which go to t. Answers
// the position of the ";", 0 when more bytes are needed, -1 when it is
// rejected.
int header_end(const std::uint8_t* p, int n, int i, int fields, int week_at, logtext& t)
{
    for (int field = 2; field <= fields + 1; ++field) {
        int from = i;
        i = field_end(p, i, n);
        if (i == n)
            return 0;
        std::uint8_t sep = p[i];
        bool last = field == fields + 1;
        if (sep != (last ? ';' : ','))
            return -1;
        if ((field == week_at && !week_text(p + from, i - from, t.week)) ||
            (field == week_at + 1 && !seconds_text(p + from, i - from, t.ms)))
            return -1;
        ++i;
    }
    return i - 1;
}

judged judge_crc_form(const std::uint8_t* p, int n, bool end, int fields, int week_at, logtext& t)
{
    int name = name_at(p, n, true, ',', t.row);
    if (name < 0)
        return rejected;
    if (name == 0)
        return cut(end);
    // A log ends within ascii_longest bytes: none beyond is looked at.
    int cap = n < ascii_longest ? n : ascii_longest;
    int semi = header_end(p, cap, name + 2, fields, week_at, t);
    if (semi < 0 || (semi == 0 && cap == ascii_longest))
        return rejected;
    if (semi == 0)
        return cut(end);
    judged j = crc_end(p, cap, end, semi);
    t.shortf = fields == 2;
    t.lines = false;
    t.body = semi + 1;
    t.bodyend = j.len - 9;
    return j;
}

// The fields of an abbreviated header line p[0..n) (its CR dropped):
// tokens between runs of spaces; answers how many (up to most + 1), with
// the start and length of each of the first most.
int tokens(const std::uint8_t* p, int n, const std::uint8_t** at, int* len, int most)
{
    int count = 0;
    for (int i = 0; i < n;) {
        while (i < n && p[i] == ' ')
            ++i;
        if (i == n)
            break;
        int from = i;
        while (i < n && p[i] != ' ')
            ++i;
        if (count < most) {
            at[count] = p + from;
            len[count] = i - from;
        }
        if (++count > most)
            break;
    }
    return count;
}

// The week and milliseconds of an abbreviated header line after the name,
// p[0..n) without its line end; false when it is not one.
bool angle_header(const std::uint8_t* p, int n, bool& shortf, std::uint16_t& week,
                  std::uint32_t& ms)
{
    for (int i = 0; i < n; ++i)
        if (!(printable(p[i]) || p[i] == '\r') || p[i] == ',' || p[i] == ';' || p[i] == '*' ||
            p[i] == '"')
            return false;
    const std::uint8_t* at[9];
    int len[9];
    int count = tokens(p, n, at, len, 9);
    if (count != 9 && count != 2)
        return false;
    shortf = count == 2;
    int w = shortf ? 0 : 4;
    return week_text(at[w], len[w], week) && seconds_text(at[w + 1], len[w + 1], ms);
}

// The end of the line that starts at i: the position of its LF, n when it
// has none at hand, -1 at a byte no abbreviated log may hold.
int line_end(const std::uint8_t* p, int i, int n)
{
    for (; i < n; ++i) {
        std::uint8_t c = p[i];
        if (c == '\n')
            return i;
        if (!printable(c) && c != '\r')
            return -1;
    }
    return n;
}

// A line's text without its line end, the LF at lf (when lf < n; a last
// line without one ends at n): a CR before the LF is dropped, a CR without
// an LF after it is text.
int text_len(const std::uint8_t* p, int from, int lf, int n)
{
    return lf < n && lf > from && p[lf - 1] == '\r' ? lf - 1 - from : lf - from;
}

} // namespace

start find_text(const std::uint8_t* p, int n, bool linestart)
{
    if (n == 0)
        return {-1, 0};
    if (p[0] == '#')
        return {0, form_hash};
    if (p[0] == '%')
        return {0, form_percent};
    if (p[0] == '<' && linestart)
        return {0, form_angle};
    int i = 1;
#ifdef PELLUCID_SSE2
    // A start at i: "#" or "%" at i, or "<" at i after an LF at i - 1.
    const __m128i hash = _mm_set1_epi8('#'), pct = _mm_set1_epi8('%'), lf = _mm_set1_epi8('\n'),
                  angle = _mm_set1_epi8('<');
    for (; i + 16 <= n; i += 16) {
        __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
        __m128i before = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i - 1));
        __m128i hit =
            _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(b, hash), _mm_cmpeq_epi8(b, pct)),
                         _mm_and_si128(_mm_cmpeq_epi8(before, lf), _mm_cmpeq_epi8(b, angle)));
        if (std::uint32_t m = static_cast<std::uint32_t>(_mm_movemask_epi8(hit))) {
            i += low_bit(m);
            return {i, p[i] == '#' ? form_hash : p[i] == '%' ? form_percent : form_angle};
        }
    }
#endif
    for (; i < n; ++i) {
        std::uint8_t c = p[i];
        if (c == '#')
            return {i, form_hash};
        if (c == '%')
            return {i, form_percent};
        if (c == '<' && p[i - 1] == '\n')
            return {i, form_angle};
    }
    return {-1, 0};
}

judged judge_hash(const std::uint8_t* p, int n, bool end)
{
    logtext t;
    return judge_log(form_hash, p, n, end, t);
}

judged judge_percent(const std::uint8_t* p, int n, bool end)
{
    logtext t;
    return judge_log(form_percent, p, n, end, t);
}

judged judge_angle(const std::uint8_t* p, int n, bool end)
{
    logtext t;
    return judge_log(form_angle, p, n, end, t);
}

namespace {

judged judge_angle_form(const std::uint8_t* p, int n, bool end, logtext& t)
{
    int name = name_at(p, n, false, ' ', t.row);
    if (name < 0)
        return rejected;
    if (name == 0)
        return cut(end);
    // Lines are looked for within ascii_longest bytes; the two bytes after
    // a line may be looked at to tell whether the next one goes on.
    int cap = n < ascii_longest ? n : ascii_longest;
    int from = name + 2;
    int lf = line_end(p, from, cap);
    if (lf < 0 || !angle_header(p + from, text_len(p, from, lf, cap), t.shortf, t.week, t.ms)) {
        if (lf < 0 || lf < cap)
            return rejected;
        // The header line is not whole yet: its tokens so far may not
        // tell; it is judged whole or at the end.
        if (n > ascii_longest)
            return rejected;
        if (!end)
            return more;
        return rejected;
    }
    t.lines = true;
    t.body = lf < cap ? lf + 1 : cap;
    auto complete = [&](int len) {
        t.bodyend = len;
        return judged{verdict::complete, len};
    };
    for (;;) {
        if (lf == cap) { // a line without its LF, at the end of the bytes at hand
            if (n > ascii_longest)
                return rejected;
            return end ? complete(n) : more;
        }
        // Body lines follow while each starts with "<" and a space.
        int next = lf + 1;
        if (next == n || (next + 1 == n && p[next] == '<'))
            return end ? complete(next) : more;
        if (p[next] != '<' || p[next + 1] != ' ')
            return complete(next);
        lf = line_end(p, next, cap);
        if (lf < 0)
            return rejected;
    }
}

} // namespace

judged judge_log(asciiform f, const std::uint8_t* p, int n, bool end, logtext& t)
{
    if (f == form_angle)
        return judge_angle_form(p, n, end, t);
    return f == form_hash ? judge_crc_form(p, n, end, 9, 6, t) : judge_crc_form(p, n, end, 2, 2, t);
}

int decode_log(const std::uint8_t* p, const logtext& t, std::uint8_t* out)
{
    int k = t.row;
    bool shortf = t.shortf;
    int head = shortf ? short_header : frame_header;
    int room = shortf ? 255 : logs[k].longest - frame_header - frame_crc;
    int blen = decode_body(static_cast<logname>(k), reinterpret_cast<const char*>(p) + t.body,
                           t.bodyend - t.body, t.lines ? bodyform::lines : bodyform::commas,
                           out + head, room);
    if (blen < 0)
        return -1;
    std::uint16_t id = logs[k].id;
    std::memset(out, 0, static_cast<std::size_t>(head));
    out[0] = 0xAA;
    out[1] = 0x44;
    if (shortf) {
        out[2] = 0x13;
        out[3] = static_cast<std::uint8_t>(blen);
        st_u16(out + 4, id);
        st_u16(out + 6, t.week);
        st_u32(out + 8, t.ms);
    } else {
        out[2] = 0x12;
        out[3] = frame_header;
        st_u16(out + 4, id);
        st_u16(out + 8, static_cast<std::uint16_t>(blen));
        st_u16(out + 14, t.week);
        st_u32(out + 16, t.ms);
    }
    int total = head + blen;
    st_u32(out + total, crc32(out, static_cast<std::size_t>(total)));
    return total + frame_crc;
}
