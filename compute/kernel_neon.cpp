// The NEON forms of 64-bit ARM, where NEON is always there: the four-lane
// loop that is ModeSse's plain form (the same IEEE single operations in the
// same order as the SSE loop, so the same counts), the same loop with the
// cycle check, and several vectors of 4 float or 2 double lanes in flight.
// The build never fuses a multiplication and an addition, so each NEON
// operation rounds as its SSE counterpart does.
#include "compute/compute.h"
#include "compute/kernel_forms.h"
#include "state/app_state.h"

#ifdef __aarch64__
#include <arm_neon.h>

#include <cmath>

const bool fourLaneKernelBuilt = true;

#define VEXA_OP static inline __attribute__((always_inline))

namespace {

struct NeonFloat {
    using V = float32x4_t;
    using M = uint32x4_t;
    using I = int32x4_t;
    using Scalar = float;
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
        return vaddvq_u32(vandq_u32(m, vld1q_u32(lane)));
    }
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
    VEXA_OP M equal(V a, V b) { return vceqq_f64(a, b); }
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
        for (int k = 0; k < 2; ++k)
            out[k] = ((inside >> k) & 1u) || counts[k] == maxIters ? -1 : (int32_t)counts[k];
    }
};

// SSE's conversion of a float count to an integer: nearest, and the
// "integer indefinite" 0x80000000 for NaN and whatever lies out of range.
int32_t convertLikeSse(float value)
{
    if (!(value >= -2147483648.0f && value < 2147483648.0f))
        return INT32_MIN;
    return (int32_t)std::nearbyint(value);
}

// The four-lane loop of one group, operation for operation as the SSE one.
inline void iterateGroup(float32x4_t cx, float32x4_t cy, int maxIters, int32_t* out)
{
    const float32x4_t four = vdupq_n_f32(4.0f);
    float32x4_t zr = cx, zi = cy, count = vdupq_n_f32(0.0f);
    int n = 0;
    for (;;) {
        float32x4_t zr2 = vmulq_f32(zr, zr), zi2 = vmulq_f32(zi, zi), t = vmulq_f32(zi, zr);
        uint32x4_t inside = vcltq_f32(vaddq_f32(zi2, zr2), four);
        if (vmaxvq_u32(inside) == 0)
            break;
        count = vaddq_f32(count, vreinterpretq_f32_u32(vandq_u32(inside, vreinterpretq_u32_f32(four))));
        zi = vaddq_f32(vaddq_f32(t, t), cy);
        zr = vaddq_f32(vsubq_f32(zr2, zi2), cx);
        if (++n == maxIters)
            break;
    }
    float lanes[4];
    vst1q_f32(lanes, count);
    for (int k = 0; k < 4; ++k) {
        uint32_t m = (uint32_t)convertLikeSse(lanes[k]) >> 2;
        out[k] = (int32_t)m == maxIters ? InsideMarker : (int32_t)m;
    }
}

}  // namespace

void iterateFourLanes(const float* cx, float cy, int maxIters, int32_t* out)
{
    iterateGroup(vld1q_f32(cx), vdupq_n_f32(cy), maxIters, out);
}

bool kernelSseFourLanesUnchecked(int row, int maxIters)
{
    int columns = 0;
    int32_t* p = rowStorage(row, &columns);
    if (!p)
        return false;
    const int groups = app.width > 0 ? (app.width + 3) / 4 : 0;
    const float xf = (float)app.xMin;
    const float yf = (float)((double)row * app.stepY + app.yMin);
    const float s = (float)app.stepY;
    const float offsets[4] = {0.0f, s, s + s, 3.0f * s};
    const float a = 4.0f * (float)app.stepX;
    const float32x4_t cy = vdupq_n_f32(yf), advance = vdupq_n_f32(a);
    float32x4_t cx = vaddq_f32(vdupq_n_f32(xf), vld1q_f32(offsets));
    for (int g = 0; g < groups; ++g) {
        int32_t* out = p + 4 * g;
        if (4 * g + 4 <= columns) {
            iterateGroup(cx, cy, maxIters, out);
        } else {
            // A buffer narrower than the rounded width: keep to its columns.
            int32_t spill[4];
            iterateGroup(cx, cy, maxIters, spill);
            for (int k = 0; k < 4 && 4 * g + k < columns; ++k)
                out[k] = spill[k];
        }
        cx = vaddq_f32(cx, advance);
    }
    return true;
}

#define VEXA_TARGET
#include "compute/vector_forms.h"

bool kernelSseFourLanes(int row, int maxIters)
{
    return vectorFormSse<NeonFloat, 1, true>(row, maxIters);
}

VectorForms neonVectorForms()
{
    // Four vectors in flight: room enough in NEON's 32 registers. Chosen by
    // register count; no ARM machine has timed the alternatives yet.
    return vectorFormTable<NeonFloat, 4, NeonDouble, 4>();
}

#else

VectorForms neonVectorForms()
{
    return {};
}

#endif
