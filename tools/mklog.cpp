// Writes a long generated log for throughput measurements:
//   mklog survey|today|today-ascii|noise MEGABYTES output.log
// (today-ascii: the today session in the long ASCII form)
#include "survey.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

int main(int argc, char** argv)
{
    bool (*write)(std::FILE*, std::size_t) = nullptr;
    if (argc == 4)
        write = std::strcmp(argv[1], "survey") == 0        ? write_survey
                : std::strcmp(argv[1], "today") == 0       ? write_today
                : std::strcmp(argv[1], "today-ascii") == 0 ? write_today_ascii
                : std::strcmp(argv[1], "noise") == 0       ? write_noise
                                                           : nullptr;
    if (!write) {
        std::fprintf(stderr, "usage: mklog survey|today|today-ascii|noise MEGABYTES output.log\n");
        return 1;
    }
    std::size_t bytes = std::strtoul(argv[2], nullptr, 10) * 1000000u;
    std::FILE* f = std::fopen(argv[3], "wb");
    bool ok = f && write(f, bytes);
    if (!f || !ok || std::fclose(f) != 0) {
        std::fprintf(stderr, "mklog: cannot write %s\n", argv[3]);
        return 1;
    }
    return 0;
}
