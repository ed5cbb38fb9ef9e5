// Palette rotation: the colour table moves by one entry and the finished
// rows are drawn again with it, without computing them again. Main thread.
#include <algorithm>
#include <cstring>

#include <GL/glut.h>

#include "compute/compute.h"
#include "input/input.h"
#include "render/render.h"
#include "state/app_state.h"

namespace {

constexpr size_t TableBytes = 3 * PaletteEntries;
constexpr size_t MovedBytes = TableBytes - 3;  // all entries but the one that wraps

}  // namespace

void rotatePaletteTable(uint8_t* table, int direction)
{
    uint8_t wrapped[3];
    if (direction < 0) {
        memcpy(wrapped, table, 3);
        memmove(table, table + 3, MovedBytes);
        memcpy(table + MovedBytes, wrapped, 3);
    } else if (direction > 0) {
        memcpy(wrapped, table + MovedBytes, 3);
        memmove(table + 3, table, MovedBytes);
        memcpy(table, wrapped, 3);
    }
}

void rotatePalette(int direction)
{
    if (app.palette)
        rotatePaletteTable(app.palette, direction);
    const int rows = bufferedRows();
    for (int r = 0; r < rows; ++r) {
        if (app.iterationBuffer->isRowDone(r))
            drawRow(r, app.computeMode);
    }
    // Drawn into the front buffer the rows reach the screen only when flushed.
    if (app.doubleBuffered)
        glutSwapBuffers();
    else
        glFlush();
}
