// Prints the digests of amd64's counts that tests/unit_kernel_forms.cpp
// holds every architecture to, computed from reference.h's arithmetic
// alone, never from the kernels. Run it on amd64 and paste its lines over
// the table there:
//   build/tests/reference_digests
#include <cstdio>

#include "views.h"

int main()
{
#ifndef VEXA_X86_64
    fputs("reference_digests: amd64's digests need amd64's arithmetic; run this on amd64\n", stderr);
    return 1;
#else
    for (const View& v : views)
        for (int row : v.rows) {
            printf("    {{");
            for (int kind = 0; kind < DigestKinds; ++kind) {
                const uint64_t digest = rowDigest(v, [&](int width, int limit) {
                    return referenceRow((DigestKind)kind, v, width, row, limit);
                });
                printf("0x%016llxull%s", (unsigned long long)digest, kind + 1 < DigestKinds ? ", " : "");
            }
            printf("}},  // %s, row %d\n", v.name, row);
        }
    return 0;
#endif
}
