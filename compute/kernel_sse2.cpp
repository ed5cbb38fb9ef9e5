// The SSE2 forms: the four-lane loop with the cycle check (the vector-form
// body over one 128-bit vector, which is exactly one group of four) and the
// double lanes of ModeFpuC two at a time. Baseline on x86-64; called only
// where the processor has SSE2 in 32-bit builds.
#include "compute/kernel_forms.h"
#include "compute/sse_traits.h"

#ifdef VEXA_SSE_TRAITS

#define VEXA_TARGET VEXA_SSE_TARGET
#include "compute/vector_forms.h"

bool kernelSseFourLanes(int row, int maxIters)
{
    return vectorFormSse<SseFloat, 1, true>(row, maxIters);
}

VectorForms sse2VectorForms()
{
    // Two vectors in flight: 32-bit code has eight vector registers only.
    return {{nullptr, nullptr}, {vectorFormFpuC<Sse2Double, 2, false>, vectorFormFpuC<Sse2Double, 2, true>}};
}

#else

VectorForms sse2VectorForms()
{
    return {};
}

#ifndef __aarch64__
// No four-lane unit (64-bit ARM has its own, in kernel_neon.cpp).
bool kernelSseFourLanes(int row, int maxIters)
{
    return kernelSseFourLanesUnchecked(row, maxIters);
}
#endif

#endif
