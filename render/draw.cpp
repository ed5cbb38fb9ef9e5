// Drawing of one row (main thread only). In the processor modes a row's
// counts become palette colours, inside points black; in the GPU mode each
// pixel is sent at its plane coordinate and the vertex program colours it.
#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include <GL/gl.h>

#include "compute/compute.h"
#include "render/render.h"
#include "state/app_state.h"

namespace {

int scratchColumns = 0;  // columns app.rowColors and app.rowVertices both hold

void* reallocOrDrop(void* block, size_t bytes)
{
    void* grown = realloc(block, bytes > 0 ? bytes : 1);
    if (!grown)
        free(block);
    return grown;
}

bool drawGpuRow(int row)
{
    const double y = row * app.stepY + app.yMin;
    double x = app.xMin;
    glBegin(GL_POINTS);
    for (int j = 0; j < app.width; ++j) {
        glVertex2d(x, y);
        x = x + app.stepX;  // accumulated, not recomputed from j
    }
    glEnd();
    return true;
}

// Palette colour of a count; inside points (and anything outside the table) black.
const uint8_t* colourOf(int32_t count)
{
    static const uint8_t black[3] = {0, 0, 0};
    if (count < 0 || count >= PaletteEntries)
        return black;
    return app.palette + 3 * count;
}

void drawArrays(const int32_t* p, int row, int columns)
{
    glEnableClientState(GL_COLOR_ARRAY);
    glEnableClientState(GL_VERTEX_ARRAY);
    for (int j = 0; j < columns; ++j) {
        const uint8_t* c = colourOf(p[j]);
        app.rowColors[3 * j] = c[0];
        app.rowColors[3 * j + 1] = c[1];
        app.rowColors[3 * j + 2] = c[2];
        app.rowVertices[2 * j] = (float)j;
        app.rowVertices[2 * j + 1] = (float)row;
    }
    glColorPointer(3, GL_UNSIGNED_BYTE, 0, app.rowColors);
    glVertexPointer(2, GL_FLOAT, 0, app.rowVertices);
    glDrawArrays(GL_POINTS, 0, columns);
    glDisableClientState(GL_COLOR_ARRAY);
    glDisableClientState(GL_VERTEX_ARRAY);
}

void drawImmediate(const int32_t* p, int row, int columns)
{
    glBegin(GL_POINTS);
    for (int j = 0; j < columns; ++j) {
        if (p[j] == InsideMarker) {
            glColor3d(0, 0, 0);
        } else {
            const uint8_t* c = colourOf(p[j]);
            glColor3ub(c[0], c[1], c[2]);
        }
        glVertex2i(j, row);
    }
    glEnd();
}

}  // namespace

bool drawRow(int row, int mode)
{
    if (mode == ModeGpu)
        return drawGpuRow(row);
    if (!app.iterationBuffer)
        return false;
    const int32_t* p = app.iterationBuffer->rowValues(row);
    if (!p || !app.palette)
        return false;
    // The buffer may be smaller than the window between a resize and the
    // next frame: draw only the columns it holds.
    int columns = std::min(app.width, app.iterationBuffer->columns());
    bool scratch = app.rowColors && app.rowVertices && columns <= scratchColumns;
    if (app.arraysAvailable && scratch)
        drawArrays(p, row, columns);
    else
        drawImmediate(p, row, columns);
    return true;
}

void reserveRowScratch(int columns)
{
    columns = std::max(columns, 0);
    app.rowColors = (uint8_t*)reallocOrDrop(app.rowColors, (size_t)columns * 3);
    if (!app.rowColors)
        fputs("ERROR: allocating row color buffer\n", stdout);
    app.rowVertices = (float*)reallocOrDrop(app.rowVertices, (size_t)columns * 2 * sizeof(float));
    if (!app.rowVertices)
        fputs("ERROR: allocating vertex buffer\n", stdout);
    scratchColumns = app.rowColors && app.rowVertices ? columns : 0;
}
