// GPU vertex-program mode: extension binding, program generation and the
// projection in plane coordinates. Main thread only, with the context current.
#pragma once

bool hasExtension(const char* name);
bool bindVertexProgramEntryPoints();
bool buildIterationProgram();
// The GPU branch of updateProjection, after the projection matrix has been
// made current and reset: the plane-coordinate projection and its tracking.
void applyGpuProjection();
