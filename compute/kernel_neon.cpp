// The NEON forms: the four-lane loop that is ModeSse's plain form on ARM
// (the same IEEE single operations in the same order as the SSE loop, so
// the same counts), the same loop with the cycle check, and several vectors
// of 4 float lanes, and on 64-bit ARM of 2 double lanes, in flight. On
// 32-bit ARM they are compiled for NEON alone and chosen only where the
// kernel reports the unit.
#include "compute/kernel_forms.h"
#include "compute/neon_traits.h"

#ifdef VEXA_NEON_FLOAT

#include <cmath>

#ifdef VEXA_ARMHF
#define VEXA_TARGET __attribute__((target("fpu=neon")))
#else
#define VEXA_TARGET
#endif
#include "compute/vector_forms.h"

#ifdef VEXA_ARM64

KernelPair neonLoopForms()
{
    return {{fourLaneRow<NeonFloat>, vectorFormSse<NeonFloat, SlotCounts<1>, true>}};
}

VectorForms neonForms()
{
    // Around what NEON's 32 registers hold.
    using Slots = SlotCounts<2, 4, 6>;
    return vectorFormTable<NeonFloat, Slots, NeonDouble, Slots>();
}

#else

namespace {

// 32-bit ARM's NEON flushes a subnormal float to zero, where SSE and the
// VFP keep it. An imaginary part of c that small is lost, and the orbit can
// grow it into another count (c = -1.9 + 2^-130 i leaves the real axis and
// escapes); so rows whose imaginary part lies below 2^-60, and is not 0, go
// to the portable loop. Elsewhere a value that small is lost anyway in a
// sum with a far larger one, or the whole orbit stays tiny and inside.
bool rowMeetsSubnormals(int row)
{
    const float cy = (float)((double)row * app.stepY + app.yMin);
    return cy != 0.0f && std::fabs(cy) < 0x1p-60f;
}

template <RowKernel Neon, bool Check>
bool keepingSubnormals(int row, int maxIters)
{
    return rowMeetsSubnormals(row) ? portableLoopForms()[Check](row, maxIters) : Neon(row, maxIters);
}

}  // namespace

KernelPair neonLoopForms()
{
    return {{keepingSubnormals<fourLaneRow<NeonFloat>, false>,
             keepingSubnormals<vectorFormSse<NeonFloat, SlotCounts<1>, true>, true>}};
}

VectorForms neonForms()
{
    // Around what sixteen registers hold; no double lanes.
    using Slots = SlotCounts<2, 4>;
    VectorForms forms = floatFormTable<NeonFloat, Slots>();
    forms.sse = {{keepingSubnormals<vectorFormSse<NeonFloat, Slots, false>, false>,
                  keepingSubnormals<vectorFormSse<NeonFloat, Slots, true>, true>}};
    return forms;
}

#endif

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
