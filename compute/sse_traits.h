// The SSE operations that the four-lane loop (four_lane_loop.h) and the
// vector-form body (vector_forms.h) are written over: four float lanes, one
// 128-bit vector being exactly one group of four, and two double lanes.
// For kernel_sse.cpp, for the wider forms' four-lane fallback, and for tests
// that drive the body's pieces with vector states of their own.
#pragma once

#include "platform/arch.h"

#ifdef VEXA_X86
#include <emmintrin.h>

#include <cstdint>

#include "compute/kernel_forms.h"

// Baseline on x86-64; a 32-bit build compiles these functions alone for
// SSE or SSE2 and calls them only where the processor has it. The
// four-lane loop needs SSE alone.
#define VEXA_SSE1_TARGET __attribute__((target("sse")))
#define VEXA_SSE2_TARGET __attribute__((target("sse2")))
#define VEXA_SSE1_OP static VEXA_SSE1_TARGET inline __attribute__((always_inline))
#define VEXA_SSE_OP static VEXA_SSE2_TARGET inline __attribute__((always_inline))

struct SseFloat {
    using V = __m128;
    using M = __m128;
    using I = __m128i;
    using Scalar = float;
    using Group = SseFloat;  // the four-lane loop's own vectors
    static constexpr int Lanes = 4;
    VEXA_SSE1_OP V load(const float* p) { return _mm_load_ps(p); }
    VEXA_SSE1_OP V splat(float a) { return _mm_set1_ps(a); }
    VEXA_SSE1_OP V add(V a, V b) { return _mm_add_ps(a, b); }
    VEXA_SSE1_OP V sub(V a, V b) { return _mm_sub_ps(a, b); }
    VEXA_SSE1_OP V mul(V a, V b) { return _mm_mul_ps(a, b); }
    VEXA_SSE1_OP M below(V a, V b) { return _mm_cmplt_ps(a, b); }
    VEXA_SSE1_OP M notBelow(V a, V b) { return _mm_cmpnlt_ps(a, b); }
    VEXA_SSE1_OP M equal(V a, V b) { return _mm_cmpeq_ps(a, b); }
    VEXA_SSE1_OP V select(M m, V a, V b) { return _mm_or_ps(_mm_and_ps(m, a), _mm_andnot_ps(m, b)); }
    VEXA_SSE1_OP M both(M a, M b) { return _mm_and_ps(a, b); }
    VEXA_SSE1_OP M either(M a, M b) { return _mm_or_ps(a, b); }
    VEXA_SSE1_OP M without(M a, M b) { return _mm_andnot_ps(b, a); }
    VEXA_SSE1_OP unsigned bits(M m) { return (unsigned)_mm_movemask_ps(m); }
    VEXA_SSE1_OP V keep(M m, V a) { return _mm_and_ps(m, a); }  // a where m, else 0
    VEXA_SSE1_OP void store(float* p, V a) { _mm_store_ps(p, a); }
    // Nearest, and 0x80000000 for NaN and whatever lies out of range.
    VEXA_SSE1_OP int32_t toInt(float a) { return _mm_cvtss_si32(_mm_set_ss(a)); }
    VEXA_SSE_OP M fromBits(unsigned b)
    {
        const __m128i lane = _mm_setr_epi32(1, 2, 4, 8);
        __m128i set = _mm_and_si128(_mm_set1_epi32((int)b), lane);
        return _mm_castsi128_ps(_mm_cmpeq_epi32(set, lane));
    }
    VEXA_SSE_OP I zeroCount() { return _mm_setzero_si128(); }
    VEXA_SSE_OP I countUp(I c, M m) { return _mm_sub_epi32(c, _mm_castps_si128(m)); }
    // The counts as stored: lanes in `inside` and lanes at the limit are -1.
    VEXA_SSE_OP void storeCounts(int32_t* out, I c, unsigned inside, int maxIters)
    {
        __m128i last = _mm_cmpeq_epi32(c, _mm_set1_epi32(maxIters));
        last = _mm_or_si128(last, _mm_castps_si128(fromBits(inside)));
        _mm_storeu_si128((__m128i*)out, _mm_or_si128(c, last));
    }
};

struct Sse2Double {
    using V = __m128d;
    using M = __m128d;
    using I = __m128i;
    using Scalar = double;
    static constexpr int Lanes = 2;
    VEXA_SSE_OP V load(const double* p) { return _mm_load_pd(p); }
    VEXA_SSE_OP V splat(double a) { return _mm_set1_pd(a); }
    VEXA_SSE_OP V add(V a, V b) { return _mm_add_pd(a, b); }
    VEXA_SSE_OP V sub(V a, V b) { return _mm_sub_pd(a, b); }
    VEXA_SSE_OP V mul(V a, V b) { return _mm_mul_pd(a, b); }
    VEXA_SSE_OP M notAbove(V a, V b) { return _mm_cmpngt_pd(a, b); }
    VEXA_SSE_OP M atMost(V a, V b) { return _mm_cmple_pd(a, b); }
    VEXA_SSE_OP V select(M m, V a, V b) { return _mm_or_pd(_mm_and_pd(m, a), _mm_andnot_pd(m, b)); }
    VEXA_SSE_OP M equal(V a, V b) { return _mm_cmpeq_pd(a, b); }
    VEXA_SSE_OP M both(M a, M b) { return _mm_and_pd(a, b); }
    VEXA_SSE_OP M without(M a, M b) { return _mm_andnot_pd(b, a); }
    VEXA_SSE_OP unsigned bits(M m) { return (unsigned)_mm_movemask_pd(m); }
    VEXA_SSE_OP M fromBits(unsigned b)
    {
        const int low = (b & 1u) ? -1 : 0, high = (b & 2u) ? -1 : 0;
        return _mm_castsi128_pd(_mm_setr_epi32(low, low, high, high));
    }
    VEXA_SSE_OP I zeroCount() { return _mm_setzero_si128(); }
    VEXA_SSE_OP I countUp(I c, M m) { return _mm_sub_epi64(c, _mm_castpd_si128(m)); }
    // SSE2 has no 64-bit lane comparison: the two counts are looked at alone.
    VEXA_SSE_OP void storeCounts(int32_t* out, I c, unsigned inside, int maxIters)
    {
        alignas(16) int64_t counts[2];
        _mm_store_si128((__m128i*)counts, c);
        storeTwoCounts(out, counts, inside, maxIters);
    }
};

#undef VEXA_SSE1_OP
#undef VEXA_SSE_OP
#endif
