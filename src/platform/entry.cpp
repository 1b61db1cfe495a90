// The process entry point: hands the command line to the run as wide strings.
#include "sys.h"

#include <vector>

#ifdef _WIN32

int wmain(int argc, wchar_t** argv)
{
    return run(argc, argv);
}

#else

int main(int argc, char** argv)
{
    std::vector<std::wstring> args;
    args.reserve(static_cast<std::size_t>(argc));
    for (int i = 0; i < argc; ++i)
        args.push_back(sys::from_bytes(argv[i]));
    std::vector<wchar_t*> wargv;
    for (auto& a : args)
        wargv.push_back(&a[0]);
    wargv.push_back(nullptr);
    return run(argc, wargv.data());
}

#endif
