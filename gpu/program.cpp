// Building and loading the iteration program, and the projection in plane
// coordinates that its tracked registers follow. Main thread only, inside
// GLUT callbacks, with the window's context current.
#include <cassert>
#include <cstdio>

#include <GL/glu.h>

#include "gpu/gpu.h"
#include "state/app_state.h"

namespace {

// Program names are never reused: each build drops the previous one.
void deleteProgram(GLuint id)
{
    if (id != 0 && vertexProgram.glDeleteProgramsNV)
        vertexProgram.glDeleteProgramsNV(1, &id);
}

}  // namespace

void loadIterationProgram(int length)
{
    GLuint previous = app.programId;
    GLuint id = 0;
    vertexProgram.glGenProgramsNV(1, &id);
    app.programId = id;
    vertexProgram.glBindProgramNV(GL_VERTEX_PROGRAM_NV, id);
    vertexProgram.glLoadProgramNV(GL_VERTEX_PROGRAM_NV, id, length,
                                  (const GLubyte*)app.programText);
    if (glGetError() == GL_INVALID_OPERATION)
        fputs("ERROR: glLoadProgramNV has returned an invalid operation!\n", stdout);
    if (previous != id)
        deleteProgram(previous);
}

bool buildIterationProgram()
{
    if (!bindVertexProgramEntryPoints()) {
        fputs("Error: Your card does not support the NV_Vertex_Program Extension!\n", stdout);
        return false;
    }
    // The keys cap the limit at 60, which is what the text buffer holds.
    int length = writeIterationProgram(app.programText, ProgramTextSize, app.maxIters);
    assert(length >= 0);
    if (length < 0)
        return false;
    loadIterationProgram(length);
    vertexProgram.glProgramParameter4fNV(GL_VERTEX_PROGRAM_NV, 0, 1.0f, -1.0f, 0.0f, 0.5f);
    vertexProgram.glProgramParameter4fNV(GL_VERTEX_PROGRAM_NV, 1, 0.2f, 1.0f, 0.4f, 0.0f);
    vertexProgram.glProgramParameter4fNV(GL_VERTEX_PROGRAM_NV, 2, 10.0f, 10.0f, 10.0f, 10.0f);
    // The program reads the projection through its tracked registers, so the
    // shell must set it now, with the program bound.
    refreshProjection();
    glEnable(GL_VERTEX_PROGRAM_NV);
    return true;
}

void applyGpuProjection()
{
    // Row r lies at yMin + r * stepY, growing downwards; the bottom edge comes
    // from the height so pixels stay square. Shifted by half a step so that
    // each point falls on its pixel's centre, not on a corner.
    double halfX = app.stepX / 2, halfY = app.stepY / 2;
    double bottom = app.yMin + app.height * app.stepY;
    gluOrtho2D(app.xMin - halfX, app.xMax - halfX, bottom - halfY, app.yMin - halfY);
    if (vertexProgram.glTrackMatrixNV)
        vertexProgram.glTrackMatrixNV(GL_VERTEX_PROGRAM_NV, 4, GL_PROJECTION, GL_IDENTITY_NV);
}
