#include "convert.h"

std::int32_t convert(logstore&, nmeastate&, std::FILE*, const convopt&)
{
    return 0;
}
