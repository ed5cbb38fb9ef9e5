// Binding of the vertex-program entry points (main thread, context current):
// NV_vertex_program's own when the driver offers them, otherwise our layer
// over ARB_vertex_program (arb_layer.cpp) in the same slots.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "gpu/arb_layer.h"
#include "gpu/gpu.h"
#include "platform/platform.h"

VertexProgramEntryPoints vertexProgram = {};

#define VEXA_NV_NAME(type, name) #name,
const char* const vertexProgramEntryNames[VertexProgramEntryCount] = {
    VEXA_NV_ENTRY_POINTS(VEXA_NV_NAME)};
#undef VEXA_NV_NAME

namespace {

// A private copy of the driver's extension string; null without a context
// or without memory. The caller frees it.
char* copyExtensions()
{
    const char* extensions = (const char*)glGetString(GL_EXTENSIONS);
    if (!extensions)
        return nullptr;
    size_t size = strlen(extensions) + 1;
    char* copy = (char*)malloc(size);
    if (copy)
        memcpy(copy, extensions, size);
    return copy;
}

bool bindNvEntryPoints()
{
    VertexProgramEntryPoints fresh;
#define VEXA_NV_LOOKUP(type, name) fresh.name = (type)platformGetProcAddress(#name);
    VEXA_NV_ENTRY_POINTS(VEXA_NV_LOOKUP)
#undef VEXA_NV_LOOKUP
    if (!vertexProgramTableUsable(fresh))
        return false;
    vertexProgram = fresh;
    return true;
}

bool bindArbEntryPoints()
{
    VertexProgramEntryPoints fresh = {};
    if (!fillArbLayer(&fresh) || !vertexProgramTableUsable(fresh))
        return false;
    static bool announced = false;
    if (!announced)
        fputs("NV_vertex_program not available: GPU mode runs through ARB_vertex_program.\n",
              stdout);
    announced = true;
    vertexProgram = fresh;
    return true;
}

}  // namespace

bool vertexProgramTableUsable(const VertexProgramEntryPoints& table)
{
    return table.glGenProgramsNV && table.glBindProgramNV && table.glLoadProgramNV &&
           table.glProgramParameter4fNV && table.glTrackMatrixNV;
}

bool extensionListed(const char* extensions, const char* name)
{
    return extensions && name && strstr(extensions, name) != nullptr;
}

VertexProgramPath chooseVertexProgramPath(const char* extensions)
{
    if (extensionListed(extensions, "NV_vertex_program"))
        return VertexProgramNv;
    if (extensionListed(extensions, "ARB_vertex_program"))
        return VertexProgramArb;
    return VertexProgramNone;
}

bool hasExtension(const char* name)
{
    char* copy = copyExtensions();
    bool found = extensionListed(copy, name);
    free(copy);
    return found;
}

bool bindVertexProgramEntryPoints()
{
    char* copy = copyExtensions();
    VertexProgramPath path = chooseVertexProgramPath(copy);
    bool arbListed = extensionListed(copy, "ARB_vertex_program");
    free(copy);
    if (path == VertexProgramNv && bindNvEntryPoints())
        return true;
    // An NV driver with a hole in its table still runs the mode through ARB.
    return arbListed && bindArbEntryPoints();
}
