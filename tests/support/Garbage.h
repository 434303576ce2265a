// Reproducible junk bytes for files and replies that must be read without harm.
#pragma once

#include <string>

namespace paneltest {

// `size` (at least 2) pseudo-random bytes, NULs and line ends included, the same for each seed;
// they start with 'G' (no byte-order mark) and end with 'x' (no final line end).
inline std::string Garbage(size_t size, unsigned seed = 12345)
{
    std::string bytes;
    unsigned state = seed;
    for (size_t i = 0; i < size; ++i) {
        state = state * 1103515245u + 12345u;
        bytes += static_cast<char>((state >> 16) & 0xFF);
    }
    bytes[0] = 'G';
    bytes.back() = 'x';
    return bytes;
}

}  // namespace paneltest
