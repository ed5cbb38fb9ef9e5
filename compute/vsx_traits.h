// The VSX operations that the vector-form body (vector_forms.h) is written
// over on 64-bit POWER, where every processor Debian supports (POWER8 on)
// has them: four float lanes and two double lanes, each operation the IEEE
// one that SSE does, subnormals kept. The build never fuses a
// multiplication and an addition, so each rounds as its SSE counterpart.
// Lanes are numbered as they lie in memory (the build is little-endian).
#pragma once

#include "platform/arch.h"

#ifdef VEXA_VSX
#include <altivec.h>
// The header's short spellings would take the words from C++.
#undef vector
#undef pixel
#undef bool

#include <cstdint>

#include "compute/kernel_forms.h"

#define VEXA_OP static inline __attribute__((always_inline))

struct VsxFloat {
    using V = __vector float;
    using M = __vector __bool int;
    using I = __vector signed int;
    using Scalar = float;
    using Group = VsxFloat;
    static constexpr int Lanes = 4;
    VEXA_OP V load(const float* p) { return vec_xl(0, p); }
    VEXA_OP V splat(float a) { return vec_splats(a); }
    VEXA_OP V add(V a, V b) { return vec_add(a, b); }
    VEXA_OP V sub(V a, V b) { return vec_sub(a, b); }
    VEXA_OP V mul(V a, V b) { return vec_mul(a, b); }
    VEXA_OP M below(V a, V b) { return vec_cmplt(a, b); }
    VEXA_OP M notBelow(V a, V b) { return vec_nor(vec_cmplt(a, b), vec_cmplt(a, b)); }  // NaN: true
    VEXA_OP M equal(V a, V b) { return vec_cmpeq(a, b); }
    VEXA_OP V select(M m, V a, V b) { return vec_sel(b, a, m); }
    VEXA_OP M both(M a, M b) { return vec_and(a, b); }
    VEXA_OP M either(M a, M b) { return vec_or(a, b); }
    VEXA_OP M without(M a, M b) { return vec_andc(a, b); }
    VEXA_OP unsigned bits(M m)
    {
        return (vec_extract(m, 0) & 1u) | (vec_extract(m, 1) & 2u) | (vec_extract(m, 2) & 4u)
            | (vec_extract(m, 3) & 8u);
    }
    VEXA_OP V keep(M m, V a) { return vec_and(a, (V)m); }  // a where m, else 0
    VEXA_OP void store(float* p, V a) { vec_xst(a, 0, p); }
    VEXA_OP int32_t toInt(float a) { return toIntAsSse(a); }
    VEXA_OP M fromBits(unsigned b)
    {
        const __vector unsigned int lane = {1, 2, 4, 8};
        return vec_cmpeq(vec_and(vec_splats(b), lane), lane);
    }
    VEXA_OP I zeroCount() { return vec_splats(0); }
    VEXA_OP I countUp(I c, M m) { return vec_sub(c, (I)m); }
    // The counts as stored: lanes in `inside` and lanes at the limit are -1.
    VEXA_OP void storeCounts(int32_t* out, I c, unsigned inside, int maxIters)
    {
        const M last = vec_or(vec_cmpeq(c, vec_splats((int)maxIters)), fromBits(inside));
        vec_xst(vec_or(c, (I)last), 0, out);
    }
};

struct VsxDouble {
    using V = __vector double;
    using M = __vector __bool long long;
    using I = __vector signed long long;
    using Scalar = double;
    static constexpr int Lanes = 2;
    VEXA_OP V load(const double* p) { return vec_xl(0, p); }
    VEXA_OP V splat(double a) { return vec_splats(a); }
    VEXA_OP V add(V a, V b) { return vec_add(a, b); }
    VEXA_OP V sub(V a, V b) { return vec_sub(a, b); }
    VEXA_OP V mul(V a, V b) { return vec_mul(a, b); }
    VEXA_OP M notAbove(V a, V b) { return vec_nor(vec_cmpgt(a, b), vec_cmpgt(a, b)); }  // NaN: true
    VEXA_OP M atMost(V a, V b) { return vec_cmple(a, b); }
    VEXA_OP M equal(V a, V b) { return vec_cmpeq(a, b); }
    VEXA_OP V select(M m, V a, V b) { return vec_sel(b, a, m); }
    VEXA_OP M both(M a, M b) { return vec_and(a, b); }
    VEXA_OP M without(M a, M b) { return vec_andc(a, b); }
    VEXA_OP unsigned bits(M m) { return (unsigned)(vec_extract(m, 0) & 1u) | (unsigned)(vec_extract(m, 1) & 2u); }
    VEXA_OP M fromBits(unsigned b)
    {
        const __vector unsigned long long lane = {1, 2};
        return vec_cmpeq(vec_and(vec_splats((unsigned long long)b), lane), lane);
    }
    VEXA_OP I zeroCount() { return vec_splats(0ll); }
    VEXA_OP I countUp(I c, M m) { return vec_sub(c, (I)m); }
    VEXA_OP void storeCounts(int32_t* out, I c, unsigned inside, int maxIters)
    {
        const int64_t counts[2] = {vec_extract(c, 0), vec_extract(c, 1)};
        storeTwoCounts(out, counts, inside, maxIters);
    }
};

#undef VEXA_OP
#endif
