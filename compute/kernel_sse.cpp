// The four-lane kernel, without the cycle check: the reference form of
// ModeSse. Four neighbouring columns iterate together in single
// precision. Each lane's count grows by 4.0 while the lane is inside, so the
// comparison mask ANDed with the threshold vector is the increment and no
// lane needs a branch of its own; the count is shifted right by 2 at the end.
// Compiled for SSE function by function, so that 32-bit builds still run on
// processors without it (which never call it). There the row's set-up runs
// on the x87, each float result rounded as SSE would round it.
#include "compute/compute.h"
#include "compute/kernel_forms.h"
#include "state/app_state.h"

bool forceFourLaneFallback = false;

#if (defined(__x86_64__) || defined(__i386__)) && defined(__GNUC__)
#include <xmmintrin.h>

const bool fourLaneKernelBuilt = true;

#define VEXA_SSE __attribute__((target("sse")))

namespace {

// Iterates one group and stores its four counts into out[0..3].
VEXA_SSE inline __attribute__((always_inline)) void iterateGroup(__m128 cx, __m128 cy, __m128 four,
                                                                 int maxIters, int32_t* out)
{
    __m128 zr = cx, zi = cy;
    __m128 count = _mm_setzero_ps();
    int n = 0;
    for (;;) {
        __m128 zr2 = _mm_mul_ps(zr, zr);
        __m128 zi2 = _mm_mul_ps(zi, zi);
        __m128 t = _mm_mul_ps(zi, zr);
        __m128 inside = _mm_cmplt_ps(_mm_add_ps(zi2, zr2), four);
        if (_mm_movemask_ps(inside) == 0)
            break;
        count = _mm_add_ps(count, _mm_and_ps(inside, four));
        zi = _mm_add_ps(_mm_add_ps(t, t), cy);
        zr = _mm_add_ps(_mm_sub_ps(zr2, zi2), cx);
        if (++n == maxIters)
            break;
    }
    alignas(16) float lanes[4];
    _mm_store_ps(lanes, count);
    for (int k = 0; k < 4; ++k) {
        uint32_t m = (uint32_t)_mm_cvtss_si32(_mm_set_ss(lanes[k])) >> 2;
        out[k] = (int32_t)m == maxIters ? InsideMarker : (int32_t)m;
    }
}

}  // namespace

VEXA_SSE void iterateFourLanes(const float* cx, float cy, int maxIters, int32_t* out)
{
    const __m128 four = _mm_set1_ps(4.0f);
    iterateGroup(_mm_loadu_ps(cx), _mm_set1_ps(cy), four, maxIters, out);
}

VEXA_SSE bool kernelSseFourLanesUnchecked(int row, int maxIters)
{
    int columns = 0;
    int32_t* p = rowStorage(row, &columns);
    if (!p)
        return false;
    const int groups = app.width > 0 ? (app.width + 3) / 4 : 0;

    const float xf = roundToFloat((float)app.xMin);
    const float yf = roundToFloat((float)((double)row * app.stepY + app.yMin));
    const float s = roundToFloat((float)app.stepY);
    alignas(16) const float offsets[4] = {0.0f, s, s + s, roundToFloat(3.0f * s)};
    const float step = roundToFloat((float)app.stepX);
    alignas(16) const float advance[4] = {4.0f * step, 4.0f * step, 4.0f * step, 4.0f * step};
    alignas(16) const float fours[4] = {4.0f, 4.0f, 4.0f, 4.0f};

    const __m128 four = _mm_load_ps(fours);
    const __m128 a = _mm_load_ps(advance);
    const __m128 cy = _mm_set1_ps(yf);
    __m128 cx = _mm_add_ps(_mm_set1_ps(xf), _mm_load_ps(offsets));
    for (int g = 0; g < groups; ++g) {
        int32_t* out = p + 4 * g;
        if (4 * g + 4 <= columns) {
            iterateGroup(cx, cy, four, maxIters, out);
        } else {
            // A buffer narrower than the rounded width: keep to its columns.
            int32_t spill[4];
            iterateGroup(cx, cy, four, maxIters, spill);
            for (int k = 0; k < 4 && 4 * g + k < columns; ++k)
                out[k] = spill[k];
        }
        cx = _mm_add_ps(cx, a);
    }
    return true;
}

#elif !defined(__aarch64__)

// No four-lane unit this build knows of (64-bit ARM has its own, in
// kernel_neon.cpp): no ModeSse.
const bool fourLaneKernelBuilt = false;

void iterateFourLanes(const float*, float, int, int32_t*)
{
}

bool kernelSseFourLanesUnchecked(int, int)
{
    return false;
}

#endif
