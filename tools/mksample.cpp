// Writes the bundled sample log: mksample examples/sample.log
#include "sample.h"

#include <cstdio>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: mksample output.log\n");
        return 1;
    }
    std::string s = make_sample();
    std::FILE* f = std::fopen(argv[1], "wb");
    if (!f || std::fwrite(s.data(), 1, s.size(), f) != s.size() || std::fclose(f) != 0) {
        std::fprintf(stderr, "mksample: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
