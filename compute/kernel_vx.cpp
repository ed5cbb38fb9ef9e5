// The vector form of IBM Z's four float lanes: the portable four-lane
// operations compiled for the vector-enhancements facility (z14 on), which
// adds vector float to the z13's vectors, and run with several vectors in
// flight. Chosen only where the kernel reports that facility. Every lane
// does the IEEE single operations of the four-lane loop in the same order,
// so the counts are the loop's.
#include "compute/kernel_forms.h"

#ifdef VEXA_S390X

#pragma GCC push_options
#pragma GCC target("arch=z14")
#include "compute/portable_traits.h"
#pragma GCC pop_options

#define VEXA_TARGET __attribute__((target("arch=z14")))
#include "compute/vector_forms.h"

VectorForms vxForms()
{
    // Under qemu this form ran 5.9 against the portable loop's 5.4
    // MegaIters/sec (vexa_bench --view, best of seven, four vectors).
    return floatFormTable<PortableFloat, SlotCounts<2, 4>>();
}

#else

VectorForms vxForms()
{
    return {};
}

#endif
