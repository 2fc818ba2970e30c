#pragma once
// Rows of channel bits (bit c % 64 of word c / 64 for channel c, as the row kernels compare
// a spectrum with a threshold): the search for the next set or clear bit, a word at a time.

#include <cstdint>

namespace ruChannelBits {

// First bit at or after `from` that is set in words[0..count) (or clear, with `set` false);
// 64·count when there is none.
inline int next(const uint64_t *words, int count, int from, bool set = true)
{
    for (int w = from / 64; w < count; ++w) {
        uint64_t bits = set ? words[w] : ~words[w];
        if (w == from / 64)
            bits &= ~uint64_t(0) << (from % 64);
        if (bits)
            return 64 * w + __builtin_ctzll(bits);
    }
    return 64 * count;
}

} // namespace ruChannelBits
