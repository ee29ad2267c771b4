#include "serial/portlist.h"

#include <algorithm>

namespace tamberline {

bool PortNameLess(const std::string& a, const std::string& b) {
    auto lower = [](unsigned char c) { return (c >= 'A' && c <= 'Z') ? c - 'A' + 'a' : c; };
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                        [&](unsigned char x, unsigned char y) { return lower(x) < lower(y); });
}

}  // namespace tamberline
