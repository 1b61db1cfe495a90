#include "console.h"

namespace con {

std::wstring format(const wchar_t* fmt, const std::wstring* args, int nargs)
{
    std::wstring out;
    int next = 0;
    for (const wchar_t* p = fmt; *p; ++p) {
        if (p[0] == L'%' && (p[1] == L's' || p[1] == L'd') && next < nargs) {
            out += args[next++];
            ++p;
        } else {
            out += *p;
        }
    }
    return out;
}

} // namespace con
