#include "text.h"

#include "ascii.h"

#include <cstring>

namespace {

// Looks for logs in p[0..n), whose first byte starts a line when linestart
// says so, and hands each good one to the sink; base is the count of the
// stream's bytes before p. Answers where a candidate that needs more bytes
// starts, or n. At the end nothing needs more.
int scan(textreader& t, const std::uint8_t* p, int n, bool linestart, bool end, std::int64_t base,
         const logsink& sink)
{
    int i = 0;
    for (;;) {
        start s = find_text(p + i, n - i, i == 0 ? linestart : p[i - 1] == '\n');
        if (s.at < 0)
            return n;
        i += s.at;
        judged j = ascii_forms[s.form].judge(p + i, n - i, end);
        if (j.v == verdict::more)
            return i;
        if (j.v == verdict::complete) {
            int len = decode_log(p + i, j.len, static_cast<asciiform>(s.form), t.frame);
            if (len > 0) {
                sink.take(sink.ctx, t.frame, len, base + i + j.len);
                i += j.len;
                continue;
            }
        }
        ++i; // rejected: look again from the byte after its first
    }
}

// Keeps p[from..n) as the candidate held, whose first byte starts a line
// when line says so.
void hold(textreader& t, const std::uint8_t* p, int from, int n, bool line)
{
    std::memmove(t.held, p + from, static_cast<std::size_t>(n - from));
    t.nheld = n - from;
    t.heldline = line;
}

// Scans what is held (with end, to the end of the stream), keeping what
// still needs more.
void rescan(textreader& t, bool end, const logsink& sink)
{
    int n = t.nheld;
    int at = scan(t, t.held, n, t.heldline, end, text_settled(t), sink);
    if (at < n) {
        hold(t, t.held, at, n, at == 0 ? t.heldline : t.held[at - 1] == '\n');
    } else {
        t.linestart = n > 0 ? t.held[n - 1] == '\n' : t.heldline;
        t.nheld = 0;
    }
}

} // namespace

void text_setup(textreader& t, std::uint8_t* mem)
{
    t = textreader();
    t.held = mem;
    t.frame = mem + held_room;
}

void text_feed(textreader& t, const std::uint8_t* p, int n, const logsink& sink)
{
    while (n > 0) {
        if (t.nheld == 0) {
            // Looked at where the bytes lie; a candidate cut off by their end
            // is held.
            std::int64_t base = t.seen;
            t.seen += n;
            int at = scan(t, p, n, t.linestart, false, base, sink);
            if (at < n)
                hold(t, p, at, n, at == 0 ? t.linestart : p[at - 1] == '\n');
            else
                t.linestart = p[n - 1] == '\n';
            return;
        }
        // The candidate held takes the next bytes, as many as it has room
        // for (a candidate that needs more is shorter than the longest log).
        int take = held_room - t.nheld;
        take = take < n ? take : n;
        std::memcpy(t.held + t.nheld, p, static_cast<std::size_t>(take));
        t.nheld += take;
        t.seen += take;
        p += take;
        n -= take;
        rescan(t, false, sink);
    }
}

void text_end(textreader& t, const logsink& sink)
{
    if (t.nheld > 0)
        rescan(t, true, sink);
}

void text_close_line(textreader& t, const logsink& sink)
{
    if (t.nheld > 0 && t.held[0] == '<' && t.held[t.nheld - 1] == '\n')
        rescan(t, true, sink);
}
