// The forms behind the mode kernels, for the compute folder's own files.
// A plain name carries the cycle check; "Unchecked" is the same form
// without it, as each kernel was before the check.
#pragma once

#include <cstdint>

#include "compute/compute.h"

// Whether this build has the four-lane kernel, and so ModeSse at all.
extern const bool fourLaneKernelBuilt;
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

// The four-lane loop of one group of four real parts from `cx` with the
// imaginary part `cy`, without the check: the reference whose counts every
// float form reproduces, and their fallback. Stores four counts at out.
void iterateFourLanes(const float* cx, float cy, int maxIters, int32_t* out);

// The row's storage and the buffer's column count; null without storage.
int32_t* rowStorage(int row, int* bufferColumns);
// The same with the count clipped to the window's width: the columns the
// scalar and double kernels write.
int32_t* clippedRowStorage(int row, int* columns);
