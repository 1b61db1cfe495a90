// The output file name: beside the input, same base name, another extension.
#pragma once

#include <string>

// A path split into drive ("C:"), directory (up to and including the last
// "\" or "/"), file name and extension (from the last dot of the final
// component). drive + dir + fname + ext always gives back path.
class pathsplit {
  public:
    explicit pathsplit(const wchar_t* p);
    virtual ~pathsplit() = default;

    void split(const wchar_t* p);
    std::wstring basepath() const; // drive + dir + fname

    std::wstring drive;
    std::wstring dir;
    std::wstring fname;
    std::wstring ext; // with its dot, or empty
    std::wstring path;
    std::wstring extnodot; // ext without its dot
};

// The input's drive, directory and base name, then "." and the extension.
std::wstring make_output_path(const wchar_t* input, const wchar_t* ext);
