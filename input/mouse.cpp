// Mouse navigation: the left button held zooms in, the right zooms out (one
// step per idle call, hence per frame), a middle-button drag pans. Main
// thread only, between frames.
#include <cmath>

#include <GL/glut.h>

#include "input/input.h"
#include "platform/platform.h"
#include "state/app_state.h"

namespace {

constexpr double ZoomPixels = 10.0;  // pixel steps each edge moves per zoom step

bool allFinite(const SavedView& v)
{
    return std::isfinite(v.xMin) && std::isfinite(v.yMin) && std::isfinite(v.xMax) &&
           std::isfinite(v.yMax);
}

SavedView currentEdges()
{
    return {app.xMin, app.yMin, app.xMax, app.yMax};
}

void setEdges(const SavedView& v)
{
    app.xMin = v.xMin;
    app.yMin = v.yMin;
    app.xMax = v.xMax;
    app.yMax = v.yMax;
}

// Only the GPU projection is in plane coordinates; the CPU one is in pixels.
void followView()
{
    if (app.computeMode == ModeGpu)
        refreshProjection();
    glutPostRedisplay();
}

}  // namespace

bool zoomView(SavedView* edges, double* step, int width, bool zoomOut)
{
    if (width <= 0)
        return false;
    const double d = *step * (zoomOut ? -ZoomPixels : ZoomPixels);
    SavedView next = {edges->xMin + d, edges->yMin + d, edges->xMax - d, edges->yMax - d};
    const double nextStep = (next.xMax - next.xMin) / (double)width;
    if (zoomOut) {
        if (!allFinite(next) || !std::isfinite(nextStep))
            return false;
    } else if (next.xMin == edges->xMin || !(next.xMax - next.xMin > 0.0) || !(nextStep > 0.0)) {
        // Past this point the extent and step would collapse to 0 or below
        // and no later step, in or out, could bring the view back.
        return false;
    }
    *edges = next;
    *step = nextStep;
    return true;
}

bool panView(const SavedView& saved, int pressX, int pressY, int x, int y, double stepX,
             double stepY, SavedView* view)
{
    const double dx = (double)((int64_t)pressX - x) * stepX;
    const double dy = (double)((int64_t)pressY - y) * stepY;
    SavedView next = {saved.xMin + dx, saved.yMin + dy, saved.xMax + dx, saved.yMax + dy};
    if (!allFinite(next))
        return false;
    *view = next;
    return true;
}

void onMouse(int button, int state, int x, int y)
{
    const bool down = state == GLUT_DOWN;
    if (button == GLUT_LEFT_BUTTON)
        app.leftDown = down;
    else if (button == GLUT_MIDDLE_BUTTON)
        app.middleDown = down;
    else if (button == GLUT_RIGHT_BUTTON)
        app.rightDown = down;
    // Every event of any button restarts a pan from here, so pressing or
    // releasing another button mid-drag causes no jump.
    app.savedView = currentEdges();
    app.pressX = x;
    app.pressY = y;
}

void onMotion(int x, int y)
{
    if (!app.middleDown)
        return;
    SavedView view;
    if (!panView(app.savedView, app.pressX, app.pressY, x, y, app.stepX, app.stepY, &view))
        return;
    setEdges(view);
    followView();
}

void onIdle()
{
    SavedView edges = currentEdges();
    double step = app.stepX;
    // Both held: the right button wins and the view zooms out.
    if ((!app.leftDown && !app.rightDown) || !zoomView(&edges, &step, app.width, app.rightDown)) {
        platformSleep(5);
        return;
    }
    setEdges(edges);
    app.stepX = step;
    app.stepY = step;
    followView();
}
