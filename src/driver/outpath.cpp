#include "outpath.h"

pathsplit::pathsplit(const wchar_t* p)
{
    split(p);
}

void pathsplit::split(const wchar_t* p)
{
    path = p;
    std::wstring::size_type start = 0;
    if (path.size() >= 2 && path[1] == L':')
        start = 2;
    drive = path.substr(0, start);

    std::wstring::size_type sep = path.find_last_of(L"\\/");
    std::wstring::size_type name = (sep == std::wstring::npos || sep < start) ? start : sep + 1;
    dir = path.substr(start, name - start);

    std::wstring::size_type dot = path.find_last_of(L'.');
    if (dot != std::wstring::npos && dot >= name) {
        fname = path.substr(name, dot - name);
        ext = path.substr(dot);
    } else {
        fname = path.substr(name);
        ext.clear();
    }
    extnodot = ext.empty() ? std::wstring() : ext.substr(1);
}

std::wstring pathsplit::basepath() const
{
    return drive + dir + fname;
}

std::wstring make_output_path(const wchar_t* input, const wchar_t* ext)
{
    return pathsplit(input).basepath() + L"." + ext;
}
