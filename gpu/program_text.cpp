// Text of the unrolled iteration program (NV_vertex_program 1.0). Pure: no GL.
// R0 holds z packed as (Re z, Im z, 0, -Im z), R4 the constant term
// (Re c, 0, Im c / 2, -Im c / 2); one MAD/ADD pair is one step z <- z^2 + c.
#include <cstring>

#include "gpu/gpu.h"

const char iterationHeader[] =
    "!!VP1.0\n"
    "DP4   o[HPOS].x, c[4], v[OPOS];"
    "DP4   o[HPOS].y, c[5], v[OPOS];"
    "DP4   o[HPOS].z, c[6], v[OPOS];"
    "DP4   o[HPOS].w, c[7], v[OPOS];"
    "MUL R0, v[0].xyzy, c[0].xxxy;"
    "MUL R4, R0.xzyw, c[0].xxww;";

const char iterationStep[] = "MAD R1, R0.xyxx, R0.xyyw, R4;ADD R0.xyw, R1.xzww, -R1.ywwz;";

const char iterationTrailer[] = "MOV o[COL0].xyz, R1.xyzw;END";

static_assert(sizeof iterationHeader - 1 == IterationHeaderLength, "header length");
static_assert(sizeof iterationStep - 1 == IterationStepLength, "step length");
static_assert(sizeof iterationTrailer - 1 == IterationTrailerLength, "trailer length");

int writeIterationProgram(char* out, int capacity, int steps)
{
    if (steps < 0)
        steps = 0;
    long length =
        IterationHeaderLength + (long)IterationStepLength * steps + IterationTrailerLength;
    if (length + 1 > capacity)
        return -1;
    char* p = out;
    memcpy(p, iterationHeader, IterationHeaderLength);
    p += IterationHeaderLength;
    for (int i = 0; i < steps; ++i, p += IterationStepLength)
        memcpy(p, iterationStep, IterationStepLength);
    memcpy(p, iterationTrailer, IterationTrailerLength + 1);
    return (int)length;
}
