// A tiny field engine for sentences: appends text, integers and fixed-point
// numbers exactly as the C formats "%0wd" and "%0w.pf" print them, within the
// bound of a print of `limit` characters (the terminating NUL included).
#pragma once

#include <charconv>
#include <cstddef>
#include <cstdint>
#include <cstring>

class fields {
  public:
    explicit fields(std::size_t bound) : limit(bound < sizeof buf ? bound : sizeof buf) {}

    fields& s(const char* text) { return put(text, std::strlen(text)); }
    fields& c(char ch) { return put(&ch, 1); }

    // "%d", or "%0<width>d": zeros after the sign up to width characters.
    fields& d(std::int32_t v, int width = 0)
    {
        char t[16];
        auto r = std::to_chars(t, t + sizeof t, v);
        return padded(t, static_cast<std::size_t>(r.ptr - t), width, true);
    }

    // "%.<prec>f", or "%0<width>.<prec>f". Infinities and NaN print as "inf"
    // and "nan" with their sign, padded with blanks as the C print does.
    fields& f(double v, int prec, int width = 0)
    {
        char t[352]; // the largest double has 309 digits before the point
        auto r = std::to_chars(t, t + sizeof t, v, std::chars_format::fixed, prec);
        bool finite = v - v == 0;
        return padded(t, static_cast<std::size_t>(r.ptr - t), width, finite);
    }

    // True while the whole text fits the bound; a text that does not is
    // refused by the writer, never cut.
    bool fits() const { return !over; }
    // The NUL-terminated text; meaningful only when it fits.
    char* text()
    {
        buf[n] = '\0';
        return buf;
    }

  private:
    fields& put(const char* p, std::size_t k)
    {
        if (over || k > limit - 1 - n) {
            over = true;
            return *this;
        }
        std::memcpy(buf + n, p, k);
        n += k;
        return *this;
    }

    fields& padded(const char* t, std::size_t k, int width, bool zeros)
    {
        std::size_t w = width > 0 ? static_cast<std::size_t>(width) : 0;
        if (k >= w)
            return put(t, k);
        std::size_t sign = (zeros && t[0] == '-') ? 1 : 0;
        put(t, sign);
        const char pad = zeros ? '0' : ' ';
        for (std::size_t i = k; i < w; ++i)
            put(&pad, 1);
        return put(t + sign, k - sign);
    }

    char buf[256];
    std::size_t limit;
    std::size_t n = 0;
    bool over = false;
};
