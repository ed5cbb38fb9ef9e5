// The forms behind the mode kernels, for the compute folder's own files.
// A plain name carries the cycle check; "Unchecked" is the same form
// without it, as each kernel was before the check.
#pragma once

#include <cstdint>

#include "compute/compute.h"

// Whether this build has the four-lane kernel, and so ModeSse at all.
extern const bool fourLaneKernelBuilt;
// Whether the processor runs the two-lane double and four-lane integer
// operations of SSE2, which the checked four-lane loop uses too.
bool processorHasSse2();
bool kernelSseFourLanes(int row, int maxIters);
bool kernelSseFourLanesUnchecked(int row, int maxIters);
bool kernelFpuCScalar(int row, int maxIters);
bool kernelFpuCScalarUnchecked(int row, int maxIters);
bool kernelFpuAsmUnchecked(int row, int maxIters);
bool kernelFpuLongDoubleUnchecked(int row, int maxIters);

// The vector forms of one instruction set, indexed by the cycle check;
// null where this build has none.
struct VectorForms {
    RowKernel sse[2];
    RowKernel fpuC[2];
};
VectorForms avx2VectorForms();
VectorForms avx512VectorForms();
VectorForms sse2VectorForms();  // double lanes only
VectorForms neonVectorForms();

// The four-lane loop of one group of four real parts from `cx` with the
// imaginary part `cy`, without the check: the reference whose counts every
// float form reproduces, and their fallback. Stores four counts at out.
void iterateFourLanes(const float* cx, float cy, int maxIters, int32_t* out);

// A float conversion, sum or product rounded to float at once, as SSE and
// NEON round it. Where float arithmetic runs on the x87 (32-bit x86), a
// result kept in a register can carry more bits into the next operation;
// the store rounds it, and from the x87's 53 bits that rounding is the
// IEEE one.
inline float roundToFloat(float value)
{
#if defined(__i386__) && !defined(__SSE_MATH__)
    volatile float stored = value;
    return stored;
#else
    return value;
#endif
}

// The row's storage and the buffer's column count; null without storage.
int32_t* rowStorage(int row, int* bufferColumns);
// The same with the count clipped to the window's width: the columns the
// scalar and double kernels write.
int32_t* clippedRowStorage(int row, int* columns);
