// The NEON forms of 64-bit ARM, where NEON is always there: the four-lane
// loop that is ModeSse's plain form (the same IEEE single operations in the
// same order as the SSE loop, so the same counts), the same loop with the
// cycle check, and several vectors of 4 float or 2 double lanes in flight.
#include "compute/kernel_forms.h"
#include "compute/neon_traits.h"

#ifdef VEXA_ARM64

#define VEXA_TARGET
#include "compute/vector_forms.h"

KernelPair neonLoopForms()
{
    return {{fourLaneRow<NeonFloat>, vectorFormSse<NeonFloat, 1, true>}};
}

VectorForms neonForms()
{
    // Four vectors in flight: room enough in NEON's 32 registers. Chosen by
    // register count; no ARM machine has timed the alternatives yet.
    return vectorFormTable<NeonFloat, 4, NeonDouble, 4>();
}

#else

KernelPair neonLoopForms()
{
    return {};
}

VectorForms neonForms()
{
    return {};
}

#endif
