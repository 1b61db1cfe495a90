// A tiny field engine for sentences: appends text, integers and fixed-point
// numbers exactly as the C formats "%0wd" and "%0w.pf" print them, into a
// caller's buffer, within the bound of a print of `limit` characters (the
// terminating NUL included).
#pragma once

#include "digits.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

// |v| * 10^prec rounded to a whole number as the C print "%.<prec>f" rounds
// it (to nearest, an exact tie to even), for prec 0 to 7 and |v| below 2^40:
// the digits then come straight from the double's binary value by integer
// arithmetic. False for NaN, infinities and larger values, which take the
// general path.
bool fixed_value(double v, int prec, std::uint64_t& q);

// Write one field at p and answer where it ends. Each writes at most
// field_max characters; put_fixed answers null when v needs the general
// path (see fixed_value) or the width is beyond field_max.
constexpr std::size_t field_max = 24;
char* put_int(char* p, std::int32_t v, int width);
char* put_fixed(char* p, double v, int prec, int width);

// A text being appended to: its length (the bound itself once it no longer
// fits), and whether it holds a blank.
struct textend {
    std::size_t n;
    bool blank;
};

// The fields off the fast paths: appended at buf + t.n if they fit the
// bound `limit`, formatted aside first when near it.
textend append_int(char* buf, textend t, std::size_t limit, std::int32_t v, int width);
textend append_fixed(char* buf, textend t, std::size_t limit, double v, int prec, int width);

// A text known when the program is built, with its length.
struct literal {
    const char* p;
    std::size_t n;
};

template <std::size_t N> constexpr literal lit(const char (&text)[N])
{
    return {text, N - 1};
}

// Appends stop at the bound: once a text does not fit, its length stays at
// the bound and every later append is refused, so each append tests the
// bound once. The common fields take inline paths; the rest are out of line.
class fields {
  public:
    fields(char* dst, std::size_t bound) : buf(dst), limit(bound) {}

    fields& s(const literal& l)
    {
        if (limit - t.n > l.n) {
            std::memcpy(buf + t.n, l.p, l.n);
            t.n += l.n;
        } else {
            t.n = limit;
        }
        return *this;
    }
    fields& s(const char* text, std::size_t k)
    {
        if (limit - t.n > k) {
            std::memcpy(buf + t.n, text, k);
            t.n += k;
        } else {
            t.n = limit;
        }
        return *this;
    }
    fields& s(const char* text) { return s(text, std::strlen(text)); }
    fields& c(char ch)
    {
        if (limit - t.n > 1) {
            buf[t.n++] = ch;
        } else {
            t.n = limit;
        }
        return *this;
    }

    // "%d", or "%0<width>d": zeros after the sign up to width characters.
    fields& d(std::int32_t v, int width = 0)
    {
        // Two digits, the most common field of all, straight from the value.
        if (width == 2 && static_cast<std::uint32_t>(v) < 100 && limit - t.n > 2) {
            std::memcpy(buf + t.n, digits::pairs + 2 * v, 2);
            t.n += 2;
            return *this;
        }
        // Other small values, up to four digits and zeros to width four.
        if (static_cast<std::uint32_t>(v) < 10000 && width <= 4 && limit - t.n > 4) {
            auto u = static_cast<std::uint32_t>(v);
            int k = digits::count(u);
            char* p = buf + t.n;
            for (int z = width - k; z > 0; --z)
                *p++ = '0';
            p += k;
            digits::backwards(p, u, k);
            t.n = static_cast<std::size_t>(p - buf);
            return *this;
        }
        t = append_int(buf, t, limit, v, width);
        return *this;
    }

    // "%02d%02d%02d.%02d": a time of day, hours to hundredths.
    fields& hms(std::int32_t h, std::int32_t m, std::int32_t sec, std::int32_t hsec)
    {
        if (static_cast<std::uint32_t>(h) < 100 && static_cast<std::uint32_t>(m) < 100 &&
            static_cast<std::uint32_t>(sec) < 100 && static_cast<std::uint32_t>(hsec) < 100 &&
            limit - t.n > 9) {
            char* p = buf + t.n;
            std::memcpy(p, digits::pairs + 2 * h, 2);
            std::memcpy(p + 2, digits::pairs + 2 * m, 2);
            std::memcpy(p + 4, digits::pairs + 2 * sec, 2);
            p[6] = '.';
            std::memcpy(p + 7, digits::pairs + 2 * hsec, 2);
            t.n += 9;
            return *this;
        }
        return d(h, 2).d(m, 2).d(sec, 2).c('.').d(hsec, 2);
    }

    // "%.<prec>f", or "%0<width>.<prec>f". Infinities and NaN print as "inf"
    // and "nan" with their sign, padded with blanks as the C print does.
    fields& f(double v, int prec, int width = 0)
    {
        t = append_fixed(buf, t, limit, v, prec, width);
        return *this;
    }

    // The same with the precision known at compile time: the common values
    // take straight-line code.
    template <int prec> fields& f(double v, int width = 0)
    {
        std::uint64_t q;
        if (limit - t.n > field_max && width <= 12 && digits::quick<prec>(v, q) &&
            q <= 0xFFFFFFFFu) {
            char* e = digits::fixed32<prec>(buf + t.n, static_cast<std::uint32_t>(q),
                                            std::signbit(v), width);
            t.n = static_cast<std::size_t>(e - buf);
            return *this;
        }
        return f(v, prec, width);
    }

    // "%0<width>.<prec>f" with the width known at compile time too: a value
    // that fills the width exactly, as minutes of latitude and longitude do,
    // takes its digits without counting them. Every place of the width but
    // the point's holds a digit (all of them when prec is 0: no point).
    template <int prec, int width> fields& f(double v)
    {
        constexpr int places = prec > 0 ? width - 1 : width;
        static_assert(prec >= 0 && places > prec && places <= 9, "the digits fit 32 bits");
        constexpr std::uint64_t fill = digits::pow10[places];
        std::uint64_t q;
        if (limit - t.n > width && !std::signbit(v) && digits::quick<prec>(v, q) && q < fill) {
            char* p = buf + t.n + width;
            auto u = static_cast<std::uint32_t>(q);
            if constexpr (prec > 0) {
                constexpr auto scale = static_cast<std::uint32_t>(digits::pow10[prec]);
                digits::backwards<prec>(p, u % scale);
                digits::backwards<places - prec>(p - prec - 1, u / scale);
                p[-prec - 1] = '.';
            } else {
                digits::backwards<places>(p, u);
            }
            t.n += width;
            return *this;
        }
        return f<prec>(v, width);
    }

    // True while the whole text fits the bound; a text that does not is
    // refused by the writer, never cut.
    bool fits() const { return t.n < limit; }
    // True when a blank was written (only infinities and NaN pad with them).
    bool blanks() const { return t.blank; }
    std::size_t size() const { return t.n; }

    // The NUL-terminated text; meaningful only when it fits.
    char* text()
    {
        buf[t.n < limit ? t.n : limit - 1] = '\0';
        return buf;
    }

  private:
    char* buf;
    std::size_t limit;
    textend t{0, false};
};
