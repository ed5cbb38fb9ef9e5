// The four-lane SSE loop with the cycle check: the vector-form body over
// one 128-bit vector, which is exactly one group of four.
#include "compute/kernel_forms.h"
#include "compute/sse_traits.h"

#ifdef VEXA_SSE_TRAITS

#define VEXA_TARGET VEXA_SSE_TARGET
#include "compute/vector_forms.h"

bool kernelSseFourLanes(int row, int maxIters)
{
    return vectorFormSse<SseFloat, 1, true>(row, maxIters);
}

#else

bool kernelSseFourLanes(int row, int maxIters)
{
    return kernelSseFourLanesUnchecked(row, maxIters);
}

#endif
