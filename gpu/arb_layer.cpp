// NV_vertex_program's called entry points on top of ARB_vertex_program (main
// thread only). Names and binding map one to one; parameters become program
// environment parameters; a tracked matrix is copied into its four
// parameters when tracking starts and before every GPU frame; a program is
// loaded by translating its NV text to ARB text.
#include <cstdio>
#include <string>

#include "gpu/arb_layer.h"
#include "gpu/nv_to_arb.h"
#include "platform/platform.h"

static_assert(GL_VERTEX_PROGRAM_NV == GL_VERTEX_PROGRAM_ARB, "one enable, one target for both");

namespace {

PFNGLGENPROGRAMSARBPROC arbGenPrograms;
PFNGLBINDPROGRAMARBPROC arbBindProgram;
PFNGLPROGRAMSTRINGARBPROC arbProgramString;
PFNGLPROGRAMENVPARAMETER4FARBPROC arbProgramEnvParameter4f;
PFNGLDELETEPROGRAMSARBPROC arbDeletePrograms;
PFNGLGETPROGRAMIVARBPROC arbGetProgramiv;

// The matrix each block of four parameters follows; GL_NONE when it follows none.
struct TrackedMatrix {
    GLenum matrix;
    GLenum transform;
};
constexpr int TrackedBlocks = 96 / 4;
TrackedMatrix tracked[TrackedBlocks] = {};

// Loading this text fails, so the driver raises GL_INVALID_OPERATION as
// NV's loader does for a bad program, and the name holds no valid program.
const char rejectedProgram[] = "!!ARBvp1.0\nUNTRANSLATABLE;\nEND\n";

void APIENTRY layerGenPrograms(GLsizei n, GLuint* programs)
{
    arbGenPrograms(n, programs);
}

void APIENTRY layerBindProgram(GLenum target, GLuint id)
{
    arbBindProgram(target, id);
}

void APIENTRY layerDeletePrograms(GLsizei n, const GLuint* programs)
{
    arbDeletePrograms(n, programs);
}

void APIENTRY layerProgramParameter4f(GLenum target, GLuint index, GLfloat x, GLfloat y, GLfloat z,
                                      GLfloat w)
{
    arbProgramEnvParameter4f(target, index, x, y, z, w);
}

// NV loads into the named program; ARB into the bound one, so bind it for the load.
void APIENTRY layerLoadProgram(GLenum target, GLuint id, GLsizei length, const GLubyte* program)
{
    std::string arb, error;
    if (length < 0 || !translateNvToArb((const char*)program, (size_t)length, &arb, &error)) {
        printf("Error: vertex program not translated: %s\n", error.c_str());
        arb = rejectedProgram;
    }
    GLint previous = 0;
    arbGetProgramiv(target, GL_PROGRAM_BINDING_ARB, &previous);
    arbBindProgram(target, id);
    arbProgramString(target, GL_PROGRAM_FORMAT_ASCII_ARB, (GLsizei)arb.size(), arb.data());
    if ((GLuint)previous != id)
        arbBindProgram(target, (GLuint)previous);
}

bool readMatrix(GLenum matrix, GLfloat m[16])
{
    switch (matrix) {
    case GL_MODELVIEW: glGetFloatv(GL_MODELVIEW_MATRIX, m); return true;
    case GL_PROJECTION: glGetFloatv(GL_PROJECTION_MATRIX, m); return true;
    case GL_TEXTURE: glGetFloatv(GL_TEXTURE_MATRIX, m); return true;
    default: return false;
    }
}

// Row r of the matrix (or of its transpose) into parameter 4 * block + r.
void loadTrackedBlock(int block)
{
    GLfloat m[16];  // column-major, as GL keeps it
    if (!readMatrix(tracked[block].matrix, m))
        return;
    bool transpose = tracked[block].transform == GL_TRANSPOSE_NV;
    for (int r = 0; r < 4; ++r) {
        const GLfloat* e = transpose ? &m[4 * r] : &m[r];
        int step = transpose ? 1 : 4;
        arbProgramEnvParameter4f(GL_VERTEX_PROGRAM_ARB, 4 * block + r, e[0], e[step], e[2 * step],
                                 e[3 * step]);
    }
}

// Identity and transpose of the modelview, projection and texture matrices;
// any other request stops the block's tracking.
void APIENTRY layerTrackMatrix(GLenum, GLuint address, GLenum matrix, GLenum transform)
{
    if (address % 4 != 0 || address / 4 >= (GLuint)TrackedBlocks)
        return;
    bool supported = (matrix == GL_MODELVIEW || matrix == GL_PROJECTION || matrix == GL_TEXTURE) &&
                     (transform == GL_IDENTITY_NV || transform == GL_TRANSPOSE_NV);
    tracked[address / 4] = {supported ? matrix : (GLenum)GL_NONE, transform};
    loadTrackedBlock(address / 4);
}

template <typename T>
bool lookUp(T* entry, const char* name)
{
    *entry = (T)platformGetProcAddress(name);
    return *entry != nullptr;
}

}  // namespace

bool fillArbLayer(VertexProgramEntryPoints* table)
{
    // Every entry is looked up, none skipped after a miss, so that the
    // pointers never keep a previous context's answers.
    const bool found[] = {
        lookUp(&arbGenPrograms, "glGenProgramsARB"),
        lookUp(&arbBindProgram, "glBindProgramARB"),
        lookUp(&arbProgramString, "glProgramStringARB"),
        lookUp(&arbProgramEnvParameter4f, "glProgramEnvParameter4fARB"),
        lookUp(&arbDeletePrograms, "glDeleteProgramsARB"),
        lookUp(&arbGetProgramiv, "glGetProgramivARB"),
    };
    for (bool entry : found)
        if (!entry)
            return false;
    *table = {};
    table->glGenProgramsNV = layerGenPrograms;
    table->glBindProgramNV = layerBindProgram;
    table->glLoadProgramNV = layerLoadProgram;
    table->glProgramParameter4fNV = layerProgramParameter4f;
    table->glTrackMatrixNV = layerTrackMatrix;
    table->glDeleteProgramsNV = layerDeletePrograms;
    return true;
}

void refreshTrackedMatrices()
{
    for (int block = 0; block < TrackedBlocks; ++block)
        if (tracked[block].matrix != GL_NONE)
            loadTrackedBlock(block);
}
