// Writes a long generated log for throughput measurements:
//   mklog survey|noise MEGABYTES output.log
#include "survey.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

int main(int argc, char** argv)
{
    if (argc != 4 || (std::strcmp(argv[1], "survey") != 0 && std::strcmp(argv[1], "noise") != 0)) {
        std::fprintf(stderr, "usage: mklog survey|noise MEGABYTES output.log\n");
        return 1;
    }
    std::size_t bytes = std::strtoul(argv[2], nullptr, 10) * 1000000u;
    std::FILE* f = std::fopen(argv[3], "wb");
    bool ok = f && (argv[1][0] == 's' ? write_survey(f, bytes) : write_noise(f, bytes));
    if (!f || !ok || std::fclose(f) != 0) {
        std::fprintf(stderr, "mklog: cannot write %s\n", argv[3]);
        return 1;
    }
    return 0;
}
