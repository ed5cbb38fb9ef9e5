// The four-lane loop in portable C++, with and without the cycle check:
// ModeSse's form on processors without SSE, NEON or VSX. The same IEEE
// single operations in the same order as the SSE loop, so the same counts.
// x86 builds leave it out: there ModeSse needs SSE.
#include "compute/kernel_forms.h"

#ifndef VEXA_X86

#include "compute/portable_traits.h"

#define VEXA_TARGET
#include "compute/vector_forms.h"

KernelPair portableLoopForms()
{
    return {{fourLaneRow<PortableFloat>, vectorFormSse<PortableFloat, SlotCounts<1>, true>}};
}

#else

KernelPair portableLoopForms()
{
    return {};
}

#endif
