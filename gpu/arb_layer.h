// The NV entry points the GPU mode calls, provided on top of
// ARB_vertex_program for drivers without NV_vertex_program. Main thread only.
#pragma once

#include "gpu/gpu.h"

// Looks up the ARB entry points the layer needs; when all are there, fills
// the slots of `table` the layer provides (gen, bind, load, parameter, track,
// delete), leaves the others null and returns true.
bool fillArbLayer(VertexProgramEntryPoints* table);
