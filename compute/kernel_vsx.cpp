// The VSX forms of 64-bit POWER: several vectors of 4 float or 2 double
// lanes in flight, with and without the cycle check. Every lane does the
// IEEE operations of its mode's plain form in the same order, so the counts
// are those of the four-lane loop and the plain double loop.
#include "compute/kernel_forms.h"
#include "compute/vsx_traits.h"

#ifdef VEXA_VSX

#define VEXA_TARGET
#include "compute/vector_forms.h"

VectorForms vsxForms()
{
    // Four vectors in flight, as NEON: 64 vector registers leave room for
    // more, but no POWER machine has timed the alternatives yet.
    return vectorFormTable<VsxFloat, SlotCounts<2, 4, 6>, VsxDouble, SlotCounts<2, 4, 6>>();
}

#else

VectorForms vsxForms()
{
    return {};
}

#endif
