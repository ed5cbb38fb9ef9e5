// What the files of the compute folder share: each instruction set's
// kernels for the table of forms, the row storage, and the start of a row
// of the four-lane forms.
#pragma once

#include <cmath>
#include <cstdint>
#include <utility>

#include "compute/compute.h"
#include "platform/arch.h"
#include "state/app_state.h"

// The kernels of one instruction set's forms, null where this build has not
// the set: float lanes for ModeSse, double lanes for ModeFpuC; and the
// ceiling of each.
struct VectorForms {
    KernelPair sse, fpuC;
    CeilingRun sseCeiling, fpuCCeiling;
    SlotChoice sseSlots, fpuCSlots;
};

// The numbers of vectors in flight a vector form is built for.
template <int... Counts>
using SlotCounts = std::integer_sequence<int, Counts...>;

// Which of n candidates runs fastest here: run(k, context) runs candidate
// k once. Rounds of one pass of each, in turn, so that a change of clock
// speed meets all alike; each candidate's fastest pass counts. 0 where the
// counter fails.
int fastestCandidate(int n, void (*run)(int candidate, void* context), void* context);
// The index of the least of n times, the first of equals.
int leastTime(const double* seconds, int n);
VectorForms avx512Forms();
VectorForms avx2Forms();
VectorForms sseForms();  // SSE2: four float lanes, two double lanes
KernelPair sseLoopForms();  // the four-lane loop on SSE; its check counts with SSE2
VectorForms neonForms();  // fpuC only on 64-bit ARM
KernelPair neonLoopForms();  // the four-lane loop on NEON
VectorForms vsxForms();
VectorForms vxForms();  // sse only
KernelPair portableLoopForms();  // the four-lane loop without a vector unit; not on x86
KernelPair x87Forms();
KernelPair scalarDoubleForms();
KernelPair longDoubleForms();

// A float conversion, sum or product rounded to float at once, as SSE and
// NEON round it. Where float arithmetic runs on the x87 a result kept in a
// register can carry more bits into the next operation; the store rounds
// it, and from the x87's 53 bits that rounding is the IEEE one.
inline float roundToFloat(float value)
{
#ifdef VEXA_X87_FLOAT_MATH
    volatile float stored = value;
    return stored;
#else
    return value;
#endif
}

// A float lane's count converted as SSE converts it: to nearest, and
// 0x80000000 for NaN and whatever lies out of range; for the units that
// have no such conversion of their own.
inline int32_t toIntAsSse(float a)
{
    return a >= -2147483648.0f && a < 2147483648.0f ? (int32_t)std::nearbyint(a) : INT32_MIN;
}

// The imaginary part of a four-lane form's row, rounded to float.
inline float fourLaneImaginary(int row)
{
    return roundToFloat((float)((double)row * app.stepY + app.yMin));
}

// Where every four-lane form starts a row: the real parts of its first
// group, and the imaginary part, each rounded to float; then the step from
// one group to the next. The counts of every form rest on these bits.
inline float startFourLanes(int row, float lane[4])
{
    const float xf = roundToFloat((float)app.xMin);
    const float cy = fourLaneImaginary(row);
    const float s = roundToFloat((float)app.stepY);
    lane[0] = xf + 0.0f;
    lane[1] = roundToFloat(xf + s);
    lane[2] = roundToFloat(xf + roundToFloat(s + s));
    lane[3] = roundToFloat(xf + roundToFloat(3.0f * s));
    return cy;
}

inline float fourLaneAdvance()
{
    return roundToFloat(4.0f * roundToFloat((float)app.stepX));
}

// The groups of four a four-lane form computes on a row.
inline int64_t fourLaneGroups()
{
    return app.width > 0 ? ((int64_t)app.width + 3) / 4 : 0;
}

// Values at infinity after a row's real parts, a whole vector of the widest
// form: a vector that runs past the row's end escapes there at once.
constexpr int RowRealsPadding = 16;
// The real parts of a row's points, the same for every row of a view, kept
// by each thread for the last view it computed; null where no storage can be
// had. As the double forms make them: xMin, then stepX added per column.
const double* doubleRowReals(int columns);
// As the four-lane forms make them, `groups` groups of four.
const float* fourLaneRowReals(int64_t groups);

// The row's storage and the buffer's column count; null without storage.
int32_t* rowStorage(int row, int* bufferColumns);
// The same with the count clipped to the window's width: the columns the
// scalar and double kernels write.
int32_t* clippedRowStorage(int row, int* columns);

// Two double lanes' counts as stored: those in `inside` and those at the
// limit are -1.
inline void storeTwoCounts(int32_t* out, const int64_t counts[2], unsigned inside, int maxIters)
{
    for (int k = 0; k < 2; ++k)
        out[k] = ((inside >> k) & 1u) || counts[k] == maxIters ? -1 : (int32_t)counts[k];
}
