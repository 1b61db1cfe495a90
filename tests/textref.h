// What a whole input gives, worked out apart from the pump and the ASCII
// reader: the good binary frames by the independent scan (pumping.h), the
// bytes left when they are cut out, the ASCII logs among those bytes found
// by plain loops over the whole string, and every log in the order of the
// place of its last byte in the input.
#pragma once

#include "pumping.h"

#include <string>
#include <vector>

std::vector<logfound> reference_logs(const std::string& bytes);

// The ASCII logs among bytes that hold no binary frame, in order, with the
// count of bytes up to and including each one's last byte.
struct textlog {
    std::size_t end;
    std::string frame;
};
std::vector<textlog> reference_text(const std::string& text);
