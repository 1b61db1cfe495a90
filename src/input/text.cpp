#include "text.h"

#include "ascii.h"

#include <cstring>

namespace {

// Looks for logs that start in p[0..stop) among p[0..n), whose first byte
// starts a line when linestart says so, and hands each good one to the
// sink; base is the count of the stream's bytes before p. Answers where a
// candidate that needs more bytes starts, or where the search would go on:
// stop, or the end of a log that went past it. At the end nothing needs
// more.
int scan(textreader& t, const std::uint8_t* p, int n, int stop, bool linestart, bool end,
         std::int64_t base, const logsink& sink)
{
    int i = 0;
    for (;;) {
        if (i >= stop)
            return i;
        start s = find_text(p + i, stop - i, i == 0 ? linestart : p[i - 1] == '\n');
        if (s.at < 0)
            return stop;
        i += s.at;
        logtext lt;
        judged j = judge_log(static_cast<asciiform>(s.form), p + i, n - i, end, lt);
        if (j.v == verdict::more)
            return i;
        if (j.v == verdict::complete) {
            int len = decode_log(p + i, lt, t.frame);
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
    int at = scan(t, t.held, n, n, t.heldline, end, text_settled(t), sink);
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
            int at = scan(t, p, n, n, t.linestart, false, base, sink);
            if (at < n)
                hold(t, p, at, n, at == 0 ? t.linestart : p[at - 1] == '\n');
            else
                t.linestart = p[n - 1] == '\n';
            return;
        }
        // The candidate held takes the next bytes: 4 KiB more than it has,
        // which most logs need no more than, up to the room there is (a
        // candidate that needs more is shorter than the longest log). Only
        // the candidates that start among the bytes held before are looked
        // at there: once the search has passed them, it goes on where the
        // bytes lie.
        int old = t.nheld;
        int take = old + 4096 < held_room - old ? old + 4096 : held_room - old;
        take = take < n ? take : n;
        std::memcpy(t.held + old, p, static_cast<std::size_t>(take));
        t.nheld += take;
        t.seen += take;
        int at = scan(t, t.held, t.nheld, old, t.heldline, false, text_settled(t), sink);
        if (at < old) { // still held
            hold(t, t.held, at, t.nheld, at == 0 ? t.heldline : t.held[at - 1] == '\n');
            p += take;
            n -= take;
            continue;
        }
        // The search goes on at p[at - old], where the bytes lie.
        t.linestart = at == 0 ? t.heldline : t.held[at - 1] == '\n';
        t.seen -= take - (at - old);
        t.nheld = 0;
        p += at - old;
        n -= at - old;
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
