// Console messages: one formatted wide write to standard error per message.
// The format strings are the program's own texts; "%s" takes a wide string
// and "%d" a 32-bit integer, filled in order.
#pragma once

#include "../platform/sys.h"

#include <cstdint>
#include <string>

namespace con {

inline std::wstring arg(const std::wstring& s)
{
    return s;
}
inline std::wstring arg(const wchar_t* s)
{
    return s;
}
inline std::wstring arg(std::int32_t v)
{
    return std::to_wstring(v);
}
inline std::wstring arg(std::int64_t v)
{
    return std::to_wstring(v);
}

// The format with each "%s" / "%d" replaced by the next argument's text.
std::wstring format(const wchar_t* fmt, const std::wstring* args, int nargs);

} // namespace con

template <class... A> void say(const wchar_t* fmt, const A&... a)
{
    const std::wstring args[] = {std::wstring(), con::arg(a)...};
    sys::con_write(con::format(fmt, args + 1, static_cast<int>(sizeof...(A))));
}
