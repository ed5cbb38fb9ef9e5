// GPU vertex-program mode: extension binding, program generation and the
// projection in plane coordinates. Main thread only, with the context current;
// the pure pieces (extension decision, program text) need no context.
#pragma once

#include <GL/gl.h>
#include <GL/glext.h>

// The 34 NV_vertex_program entry points in table order, each with its
// signature; the slot's name is the name looked up. The mode calls five of
// them (gen, bind, load, parameter, track) and, when it is bound, the delete.
#define VEXA_NV_ENTRY_POINTS(X)                                             \
    X(PFNGLGENPROGRAMSNVPROC, glGenProgramsNV)                              \
    X(PFNGLBINDPROGRAMNVPROC, glBindProgramNV)                              \
    X(PFNGLLOADPROGRAMNVPROC, glLoadProgramNV)                              \
    X(PFNGLEXECUTEPROGRAMNVPROC, glExecuteProgramNV)                        \
    X(PFNGLPROGRAMPARAMETER4FNVPROC, glProgramParameter4fNV)                \
    X(PFNGLPROGRAMPARAMETER4FVNVPROC, glProgramParameter4fvNV)              \
    X(PFNGLPROGRAMPARAMETERS4FVNVPROC, glProgramParameters4fvNV)            \
    X(PFNGLTRACKMATRIXNVPROC, glTrackMatrixNV)                              \
    X(PFNGLDELETEPROGRAMSNVPROC, glDeleteProgramsNV)                        \
    X(PFNGLAREPROGRAMSRESIDENTNVPROC, glAreProgramsResidentNV)              \
    X(PFNGLGETPROGRAMPARAMETERFVNVPROC, glGetProgramParameterfvNV)          \
    X(PFNGLGETPROGRAMIVNVPROC, glGetProgramivNV)                            \
    X(PFNGLGETPROGRAMSTRINGNVPROC, glGetProgramStringNV)                    \
    X(PFNGLGETTRACKMATRIXIVNVPROC, glGetTrackMatrixivNV)                    \
    X(PFNGLGETVERTEXATTRIBFVNVPROC, glGetVertexAttribfvNV)                  \
    X(PFNGLGETVERTEXATTRIBIVNVPROC, glGetVertexAttribivNV)                  \
    X(PFNGLGETVERTEXATTRIBPOINTERVNVPROC, glGetVertexAttribPointerNV)       \
    X(PFNGLISPROGRAMNVPROC, glIsProgramNV)                                  \
    X(PFNGLREQUESTRESIDENTPROGRAMSNVPROC, glRequestResidentProgramsNV)      \
    X(PFNGLVERTEXATTRIBPOINTERNVPROC, glVertexAttribPointerNV)              \
    X(PFNGLVERTEXATTRIB1FNVPROC, glVertexAttrib1fNV)                        \
    X(PFNGLVERTEXATTRIB1FVNVPROC, glVertexAttrib1fvNV)                      \
    X(PFNGLVERTEXATTRIB2FNVPROC, glVertexAttrib2fNV)                        \
    X(PFNGLVERTEXATTRIB2FVNVPROC, glVertexAttrib2fvNV)                      \
    X(PFNGLVERTEXATTRIB3FNVPROC, glVertexAttrib3fNV)                        \
    X(PFNGLVERTEXATTRIB3FVNVPROC, glVertexAttrib3fvNV)                      \
    X(PFNGLVERTEXATTRIB4FNVPROC, glVertexAttrib4fNV)                        \
    X(PFNGLVERTEXATTRIB4FVNVPROC, glVertexAttrib4fvNV)                      \
    X(PFNGLVERTEXATTRIB4UBVNVPROC, glVertexAttrib4ubvNV)                    \
    X(PFNGLVERTEXATTRIBS1FVNVPROC, glVertexAttribs1fvNV)                    \
    X(PFNGLVERTEXATTRIBS2FVNVPROC, glVertexAttribs2fvNV)                    \
    X(PFNGLVERTEXATTRIBS3FVNVPROC, glVertexAttribs3fvNV)                    \
    X(PFNGLVERTEXATTRIBS4FVNVPROC, glVertexAttribs4fvNV)                    \
    X(PFNGLVERTEXATTRIBS4UBVNVPROC, glVertexAttribs4ubvNV)

#define VEXA_NV_SLOT(type, name) type name;
struct VertexProgramEntryPoints {
    VEXA_NV_ENTRY_POINTS(VEXA_NV_SLOT)
};
#undef VEXA_NV_SLOT

constexpr int VertexProgramEntryCount = 34;

// The process-wide table: all null until the first successful binding, then
// wholly overwritten by every successful binding and left alone by a failed one.
extern VertexProgramEntryPoints vertexProgram;
extern const char* const vertexProgramEntryNames[VertexProgramEntryCount];

// Which interface the driver's extensions let the mode run on.
enum VertexProgramPath { VertexProgramNone, VertexProgramNv, VertexProgramArb };

// Plain substring search, as the driver lists extensions: a longer name that
// begins with `name` counts too. False for a null string.
bool extensionListed(const char* extensions, const char* name);
VertexProgramPath chooseVertexProgramPath(const char* extensions);

// The guard on a binding: every entry point the mode calls is there.
bool vertexProgramTableUsable(const VertexProgramEntryPoints& table);

bool hasExtension(const char* name);
bool bindVertexProgramEntryPoints();

// The unrolled iteration program: header, `steps` copies of the step, trailer.
constexpr int IterationHeaderLength = 188;
constexpr int IterationStepLength = 59;
constexpr int IterationTrailerLength = 28;
extern const char iterationHeader[];
extern const char iterationStep[];
extern const char iterationTrailer[];
// Writes the NUL-terminated text into out (capacity bytes) and returns its
// length, or -1 (out untouched) when it would not fit.
int writeIterationProgram(char* out, int capacity, int steps);

bool buildIterationProgram();
// Loads the first `length` characters of app.programText under a new program
// name, which becomes app.programId, and reports a text the driver rejects.
// Needs a successful binding.
void loadIterationProgram(int length);
// The GPU branch of updateProjection, after the projection matrix has been
// made current and reset: the plane-coordinate projection and its tracking.
void applyGpuProjection();
// Brings registers that follow a matrix up to date before a GPU frame; only
// the ARB layer has any to load, a driver with NV tracking does it itself.
void refreshTrackedMatrices();
