// The four-lane loop without the cycle check: ModeSse's plain form, the
// reference of every float form, and their fallback. Four neighbouring
// columns iterate together in single precision; each lane's count grows by
// 4.0 (the comparison mask ANDed with the threshold vector) while it is
// inside and its group runs, and is shifted right by 2 at the end. Written
// over a four-lane unit's traits with SSE's first operations only; like
// vector_forms.h, included once by a file of one instruction set after it
// defines VEXA_TARGET.
#pragma once

#ifndef VEXA_TARGET
#error "four_lane_loop.h is the body of one instruction set's four-lane loop: define VEXA_TARGET first"
#endif

#include <cstdint>

#include "compute/kernel_forms.h"

namespace {

// Iterates one group and stores its four counts into out[0..3].
template <class T>
VEXA_TARGET inline __attribute__((always_inline)) void iterateGroup(typename T::V cx, typename T::V cy,
                                                                    int maxIters, int32_t* out)
{
    using V = typename T::V;
    const V four = T::splat(4.0f);
    V zr = cx, zi = cy, count = T::splat(0.0f);
    for (int n = 0;;) {
        V zr2 = T::mul(zr, zr), zi2 = T::mul(zi, zi), t = T::mul(zi, zr);
        typename T::M inside = T::below(T::add(zi2, zr2), four);
        if (T::bits(inside) == 0)
            break;
        count = T::add(count, T::keep(inside, four));
        zi = T::add(T::add(t, t), cy);
        zr = T::add(T::sub(zr2, zi2), cx);
        if (++n == maxIters)
            break;
    }
    alignas(16) float lanes[4];
    T::store(lanes, count);
    for (int k = 0; k < 4; ++k) {
        const uint32_t m = (uint32_t)T::toInt(lanes[k]) >> 2;
        out[k] = (int32_t)m == maxIters ? InsideMarker : (int32_t)m;
    }
}

// A whole row: ceil(width / 4) groups, kept to the buffer's columns.
template <class T>
VEXA_TARGET bool fourLaneRow(int row, int maxIters)
{
    int columns = 0;
    int32_t* p = rowStorage(row, &columns);
    if (!p)
        return false;
    alignas(16) float lane[4];
    const typename T::V cy = T::splat(startFourLanes(row, lane));
    const typename T::V advance = T::splat(fourLaneAdvance());
    typename T::V cx = T::load(lane);
    for (int64_t g = 0, groups = fourLaneGroups(); g < groups; ++g) {
        int32_t* out = p + 4 * g;
        if (4 * g + 4 <= columns) {
            iterateGroup<T>(cx, cy, maxIters, out);
        } else {
            // A buffer narrower than the rounded width: keep to its columns.
            int32_t spill[4];
            iterateGroup<T>(cx, cy, maxIters, spill);
            for (int k = 0; k < 4 && 4 * g + k < columns; ++k)
                out[k] = spill[k];
        }
        cx = T::add(cx, advance);
    }
    return true;
}

}  // namespace
