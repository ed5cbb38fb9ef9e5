// The display and reshape callbacks and the projection.
#include <GL/glu.h>
#include <GL/glut.h>

#include "app/app.h"
#include "gpu/gpu.h"
#include "render/render.h"

void onDisplay()
{
    renderFrame(app.maxIters, app.computeMode);
    if (app.doubleBuffered)
        glutSwapBuffers();
}

void onReshape(int w, int h)
{
    app.resizePending = true;
    app.width = w;
    app.height = h;
    // A minimised window reports 0: keep the steps and the view as they are.
    if (w > 0 && h > 0) {
        app.stepX = (app.xMax - app.xMin) / w;
        app.stepY = app.stepX;
    }
    updateTitle();
    glViewport(0, 0, w > 0 ? w : 0, h > 0 ? h : 0);
    updateProjection();
    glutPostRedisplay();
}

void updateProjection()
{
    if (app.width <= 0 || app.height <= 0)
        return;
    app.stepX = (app.xMax - app.xMin) / (double)app.width;
    app.stepY = app.stepX;
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    if (app.computeMode == ModeGpu) {
        applyGpuProjection();
        return;
    }
    // One unit per pixel, origin top-left, y down. Shifted by half a pixel so
    // that a point at integer (k, r) falls on the centre of pixel (k, r)
    // rather than on its corner, where the rasterizer may pick a neighbour.
    gluOrtho2D(-0.5, app.width - 0.5, app.height - 0.5, -0.5);
}
