// The SSE forms of x86: the four-lane loop that is ModeSse's plain form,
// compiled for SSE alone so that 32-bit builds still run on processors
// without it (which never call it); the same loop with the cycle check,
// the vector-form body over one 128-bit vector, which is exactly one group
// of four, with SSE2's integer lanes counting; and with SSE2 several vectors
// in flight of ModeSse's four float lanes and of ModeFpuC's two double
// lanes. Baseline on x86-64.
#include "compute/kernel_forms.h"
#include "compute/sse_traits.h"

bool forceFourLaneFallback = false;

#ifdef VEXA_X86

#define VEXA_TARGET VEXA_SSE1_TARGET
#include "compute/four_lane_loop.h"
#undef VEXA_TARGET

#define VEXA_TARGET VEXA_SSE2_TARGET
#include "compute/vector_forms.h"

KernelPair sseLoopForms()
{
    return {{fourLaneRow<SseFloat>, vectorFormSse<SseFloat, SlotCounts<1>, true>}};
}

VectorForms sseForms()
{
    // Around what the registers hold: sixteen in 64-bit code, eight in 32-bit.
    using Slots = std::conditional_t<sizeof(void*) == 8, SlotCounts<2, 3, 4>, SlotCounts<1, 2, 3>>;
    return vectorFormTable<SseFloat, Slots, Sse2Double, Slots>();
}

#else

KernelPair sseLoopForms()
{
    return {};
}

VectorForms sseForms()
{
    return {};
}

#endif
