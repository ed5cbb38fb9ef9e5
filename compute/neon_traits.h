// The NEON operations that the four-lane loop (four_lane_loop.h) and the
// vector-form body (vector_forms.h) are written over: four float lanes, the
// same IEEE single operations as SSE's, and on 64-bit ARM two double lanes.
// The build never fuses a multiplication and an addition, so each operation
// rounds as its SSE counterpart does. 32-bit ARM's NEON differs in one way:
// it always flushes subnormal floats to zero (kernel_neon.cpp keeps rows
// that could meet one away from it).
#pragma once

#include "platform/arch.h"

#ifdef VEXA_NEON_FLOAT
#include <cmath>
#include <cstdint>

#include "compute/kernel_forms.h"

// On 32-bit ARM the unit is optional: only what follows is compiled for it,
// and runs only where the processor has it.
#ifdef VEXA_ARMHF
#pragma GCC push_options
#pragma GCC target("fpu=neon")
#endif
#include <arm_neon.h>

#define VEXA_OP static inline __attribute__((always_inline))

struct NeonFloat {
    using V = float32x4_t;
    using M = uint32x4_t;
    using I = int32x4_t;
    using Scalar = float;
    using Group = NeonFloat;  // the four-lane loop's own vectors
    static constexpr int Lanes = 4;
    VEXA_OP V load(const float* p) { return vld1q_f32(p); }
    VEXA_OP V splat(float a) { return vdupq_n_f32(a); }
    VEXA_OP V add(V a, V b) { return vaddq_f32(a, b); }
    VEXA_OP V sub(V a, V b) { return vsubq_f32(a, b); }
    VEXA_OP V mul(V a, V b) { return vmulq_f32(a, b); }
    VEXA_OP M below(V a, V b) { return vcltq_f32(a, b); }
    VEXA_OP M notBelow(V a, V b) { return vmvnq_u32(vcltq_f32(a, b)); }  // NaN: true
    VEXA_OP M equal(V a, V b) { return vceqq_f32(a, b); }
    VEXA_OP V select(M m, V a, V b) { return vbslq_f32(m, a, b); }
    VEXA_OP M both(M a, M b) { return vandq_u32(a, b); }
    VEXA_OP M either(M a, M b) { return vorrq_u32(a, b); }
    VEXA_OP M without(M a, M b) { return vbicq_u32(a, b); }
    VEXA_OP unsigned bits(M m)
    {
        const uint32_t lane[4] = {1, 2, 4, 8};
        const uint32x4_t b = vandq_u32(m, vld1q_u32(lane));
#ifdef VEXA_ARM64
        return vaddvq_u32(b);
#else
        const uint32x2_t pair = vpadd_u32(vget_low_u32(b), vget_high_u32(b));
        return vget_lane_u32(vpadd_u32(pair, pair), 0);
#endif
    }
    VEXA_OP V keep(M m, V a)  // a where m, else 0
    {
        return vreinterpretq_f32_u32(vandq_u32(m, vreinterpretq_u32_f32(a)));
    }
    VEXA_OP void store(float* p, V a) { vst1q_f32(p, a); }
    VEXA_OP int32_t toInt(float a) { return toIntAsSse(a); }
    VEXA_OP M fromBits(unsigned b)
    {
        const uint32_t lane[4] = {1, 2, 4, 8};
        return vtstq_u32(vdupq_n_u32(b), vld1q_u32(lane));
    }
    VEXA_OP I zeroCount() { return vdupq_n_s32(0); }
    VEXA_OP I countUp(I c, M m) { return vsubq_s32(c, vreinterpretq_s32_u32(m)); }
    // The counts as stored: lanes in `inside` and lanes at the limit are -1.
    VEXA_OP void storeCounts(int32_t* out, I c, unsigned inside, int maxIters)
    {
        M last = vorrq_u32(vceqq_s32(c, vdupq_n_s32(maxIters)), fromBits(inside));
        vst1q_s32(out, vorrq_s32(c, vreinterpretq_s32_u32(last)));
    }
};

#ifdef VEXA_ARM64
struct NeonDouble {
    using V = float64x2_t;
    using M = uint64x2_t;
    using I = int64x2_t;
    using Scalar = double;
    static constexpr int Lanes = 2;
    VEXA_OP V load(const double* p) { return vld1q_f64(p); }
    VEXA_OP V splat(double a) { return vdupq_n_f64(a); }
    VEXA_OP V add(V a, V b) { return vaddq_f64(a, b); }
    VEXA_OP V sub(V a, V b) { return vsubq_f64(a, b); }
    VEXA_OP V mul(V a, V b) { return vmulq_f64(a, b); }
    VEXA_OP M notAbove(V a, V b)  // NaN: true
    {
        return vreinterpretq_u64_u32(vmvnq_u32(vreinterpretq_u32_u64(vcgtq_f64(a, b))));
    }
    VEXA_OP M atMost(V a, V b) { return vcleq_f64(a, b); }
    VEXA_OP M equal(V a, V b) { return vceqq_f64(a, b); }
    VEXA_OP V select(M m, V a, V b) { return vbslq_f64(m, a, b); }
    VEXA_OP M both(M a, M b) { return vandq_u64(a, b); }
    VEXA_OP M without(M a, M b) { return vbicq_u64(a, b); }
    VEXA_OP unsigned bits(M m)
    {
        return (unsigned)(vgetq_lane_u64(m, 0) & 1u) | (unsigned)(vgetq_lane_u64(m, 1) & 2u);
    }
    VEXA_OP M fromBits(unsigned b)
    {
        const uint64_t lane[2] = {1, 2};
        return vtstq_u64(vdupq_n_u64(b), vld1q_u64(lane));
    }
    VEXA_OP I zeroCount() { return vdupq_n_s64(0); }
    VEXA_OP I countUp(I c, M m) { return vsubq_s64(c, vreinterpretq_s64_u64(m)); }
    VEXA_OP void storeCounts(int32_t* out, I c, unsigned inside, int maxIters)
    {
        const int64_t counts[2] = {vgetq_lane_s64(c, 0), vgetq_lane_s64(c, 1)};
        storeTwoCounts(out, counts, inside, maxIters);
    }
};

#endif  // VEXA_ARM64

#ifdef VEXA_ARMHF
#pragma GCC pop_options
#endif
#undef VEXA_OP
#endif
