// MulDiv as the platform computes it: a*b/c with a 64-bit intermediate,
// rounded to the nearest integer with halves away from zero; -1 when c is 0
// or the result does not fit in 32 bits.
#pragma once

#include <cstdint>

namespace qv::mf {

constexpr int32_t MulDiv(int32_t a, int32_t b, int32_t c) {
    if (c == 0) return -1;
    int64_t num = int64_t(a) * int64_t(b);
    int64_t den = c;
    if (den < 0) {
        num = -num;
        den = -den;
    }
    // Round half away from zero.
    int64_t q = num >= 0 ? (num + den / 2) / den : -((-num + den / 2) / den);
    if (q > 2147483647 || q < -2147483647) return -1;
    return int32_t(q);
}

}  // namespace qv::mf
