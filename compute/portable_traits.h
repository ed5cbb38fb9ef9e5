// The four float lanes of the portable four-lane loop (kernel_portable.cpp):
// the compiler's generic vectors, each operation the IEEE single one that
// SSE does. Where the target has no vector unit the compiler splits them
// into scalar operations, in the same order.
#pragma once

#include "platform/arch.h"

#ifndef VEXA_X86
#include <cstdint>

#include "compute/kernel_forms.h"

#define VEXA_OP static inline __attribute__((always_inline))

// Each file that includes this has its own copy: IBM Z's vector form
// compiles the same operations for the vector facility.
namespace {

struct PortableFloat {
    typedef float V __attribute__((vector_size(16)));
    typedef int32_t M __attribute__((vector_size(16)));  // lanes all ones or all zeros
    using I = M;
    using Scalar = float;
    using Group = PortableFloat;
    static constexpr int Lanes = 4;
    VEXA_OP V load(const float* p) { return V{p[0], p[1], p[2], p[3]}; }
    VEXA_OP V splat(float a) { return V{a, a, a, a}; }
    VEXA_OP V add(V a, V b) { return a + b; }
    VEXA_OP V sub(V a, V b) { return a - b; }
    VEXA_OP V mul(V a, V b) { return a * b; }
    VEXA_OP M below(V a, V b) { return a < b; }
    VEXA_OP M notBelow(V a, V b) { return ~(a < b); }  // NaN: true
    VEXA_OP M equal(V a, V b) { return a == b; }
    VEXA_OP V select(M m, V a, V b) { return (V)(((M)a & m) | ((M)b & ~m)); }
    VEXA_OP M both(M a, M b) { return a & b; }
    VEXA_OP M either(M a, M b) { return a | b; }
    VEXA_OP M without(M a, M b) { return a & ~b; }
    VEXA_OP unsigned bits(M m)
    {
        return (unsigned)(m[0] & 1) | (unsigned)(m[1] & 2) | (unsigned)(m[2] & 4) | (unsigned)(m[3] & 8);
    }
    VEXA_OP V keep(M m, V a) { return (V)((M)a & m); }
    VEXA_OP void store(float* p, V a)
    {
        for (int k = 0; k < 4; ++k)
            p[k] = a[k];
    }
    VEXA_OP int32_t toInt(float a) { return toIntAsSse(a); }
    VEXA_OP M fromBits(unsigned b)
    {
        return M{-(int32_t)(b & 1), -(int32_t)(b >> 1 & 1), -(int32_t)(b >> 2 & 1), -(int32_t)(b >> 3 & 1)};
    }
    VEXA_OP I zeroCount() { return I{0, 0, 0, 0}; }
    VEXA_OP I countUp(I c, M m) { return c - m; }
    // The counts as stored: lanes in `inside` and lanes at the limit are -1.
    VEXA_OP void storeCounts(int32_t* out, I c, unsigned inside, int maxIters)
    {
        const I counts = c | ((c == maxIters) | fromBits(inside));
        for (int k = 0; k < 4; ++k)
            out[k] = counts[k];
    }
};

}  // namespace

#undef VEXA_OP
#endif
