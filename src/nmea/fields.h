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

// The same fields near the bound, or for values off the fast paths:
// formatted aside and appended at buf + n only if they fit the bound.
// Each answers the new length, `limit` once the text no longer fits, and
// sets blank when it padded with blanks.
std::size_t careful_int(char* buf, std::size_t n, std::size_t limit, std::int32_t v, int width);
std::size_t careful_fixed(char* buf, std::size_t n, std::size_t limit, double v, int prec,
                          int width, bool& blank);

// Appends stop at the bound: once a text does not fit, n stays at limit and
// every later append is refused, so each append tests the bound once.
class fields {
  public:
    fields(char* dst, std::size_t bound) : buf(dst), limit(bound) {}

    fields& s(const char* text) { return put(text, std::strlen(text)); }
    fields& c(char ch)
    {
        if (limit - n > 1)
            buf[n++] = ch;
        else
            n = limit;
        return *this;
    }

    // "%d", or "%0<width>d": zeros after the sign up to width characters.
    fields& d(std::int32_t v, int width = 0)
    {
        // Two digits, the most common field of all, straight from the value.
        if (width == 2 && static_cast<std::uint32_t>(v) < 100 && limit - n > 2) {
            std::memcpy(buf + n, digits::pairs + 2 * v, 2);
            n += 2;
            return *this;
        }
        // Other small values, up to four digits and zeros to width four.
        if (v >= 0 && v < 10000 && width <= 4 && limit - n > 4) {
            auto u = static_cast<std::uint32_t>(v);
            int k = digits::count(u);
            char* p = buf + n;
            for (int z = width - k; z > 0; --z)
                *p++ = '0';
            p += k;
            digits::backwards(p, u, k);
            n = static_cast<std::size_t>(p - buf);
            return *this;
        }
        if (limit - n > field_max && width <= 12) {
            n = static_cast<std::size_t>(put_int(buf + n, v, width) - buf);
            return *this;
        }
        n = careful_int(buf, n, limit, v, width);
        return *this;
    }

    // "%.<prec>f", or "%0<width>.<prec>f". Infinities and NaN print as "inf"
    // and "nan" with their sign, padded with blanks as the C print does.
    fields& f(double v, int prec, int width = 0)
    {
        if (limit - n > field_max) {
            if (char* e = put_fixed(buf + n, v, prec, width)) {
                n = static_cast<std::size_t>(e - buf);
                return *this;
            }
        }
        bool b = false;
        n = careful_fixed(buf, n, limit, v, prec, width, b);
        blank = blank || b;
        return *this;
    }

    // The same with the precision known at compile time: the common values
    // take straight-line code.
    template <int prec> fields& f(double v, int width = 0)
    {
        std::uint64_t q;
        if (limit - n > field_max && width <= 12 && digits::quick<prec>(v, q) && q <= 0xFFFFFFFFu) {
            char* e = digits::fixed32<prec>(buf + n, static_cast<std::uint32_t>(q), std::signbit(v),
                                            width);
            n = static_cast<std::size_t>(e - buf);
            return *this;
        }
        return f(v, prec, width);
    }

    // True while the whole text fits the bound; a text that does not is
    // refused by the writer, never cut.
    bool fits() const { return n < limit; }
    // True when a blank was written (only infinities and NaN pad with them).
    bool blanks() const { return blank; }
    std::size_t size() const { return n; }
    // The NUL-terminated text; meaningful only when it fits.
    char* text()
    {
        buf[n < limit ? n : limit - 1] = '\0';
        return buf;
    }

  private:
    fields& put(const char* p, std::size_t k)
    {
        if (limit - n > k) {
            std::memcpy(buf + n, p, k);
            n += k;
        } else {
            n = limit;
        }
        return *this;
    }

    char* buf;
    std::size_t limit;
    std::size_t n = 0;
    bool blank = false;
};
