// Placeholder until the vertex-program mode lands: no driver offers it yet.
#include <cstdio>

#include "gpu/gpu.h"

bool hasExtension(const char*)
{
    return false;
}

bool bindVertexProgramEntryPoints()
{
    return false;
}

bool buildIterationProgram()
{
    fputs("Error: Your card does not support the NV_Vertex_Program Extension!\n", stdout);
    return false;
}

void applyGpuProjection()
{
}
