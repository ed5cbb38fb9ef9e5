// The keyboard commands: back-end choice, iteration limit, palette rotation,
// buffering, help, stats, benchmark and the end of the program. Main thread
// only, between frames; every key but Escape ends by refreshing the title.
#include <cstdio>
#include <cstdlib>

#include <GL/glut.h>
#include <GL/glext.h>

#include "bench/bench.h"
#include "gpu/gpu.h"
#include "input/input.h"
#include "state/app_state.h"

namespace {

constexpr int32_t LimitCeiling = 9999;  // a new limit must stay below this

KeyCommand commandOf(unsigned char k)
{
    switch (k) {
    case '1': return KeyFpuC;
    case '2': return KeyFpuAsm;
    case '3': return KeySse;
    case '4': return KeyGpu;
    case ' ': return KeyRedraw;
    case '-':
    case '+': return KeyLimit;
    case '*': return KeyRotateUp;
    case '/': return KeyRotateDown;
    case 'd': return KeyBuffering;
    case 's': return KeyStats;
    case 'h': return KeyHelp;
    case 'b': return KeyBenchmark;
    default: return KeyNone;
    }
}

// Leaving the GPU mode switches its program off; in the CPU modes the
// disable has no effect.
void enterCpuMode(int32_t mode)
{
    app.computeMode = mode;
    glDisable(GL_VERTEX_PROGRAM_NV);
    refreshProjection();
    glutPostRedisplay();
}

void enterGpuMode()
{
    app.maxIters = cappedForGpu(app.maxIters);
    // A failed build leaves mode, projection and title as they were; only the
    // lowered limit remains.
    if (!buildIterationProgram())
        return;
    app.computeMode = ModeGpu;
    refreshProjection();
    glutPostRedisplay();
    refreshTitle();
}

void changeLimit(int step)
{
    app.maxIters = steppedLimit(app.maxIters, step);
    if (app.computeMode == ModeGpu) {
        if (step > 0)
            app.maxIters = cappedForGpu(app.maxIters);
        buildIterationProgram();
    }
    glutPostRedisplay();
}

void toggleBuffering()
{
    app.doubleBuffered = !app.doubleBuffered;
    glDrawBuffer(app.doubleBuffered ? GL_BACK : GL_FRONT);
    glutPostRedisplay();
}

}  // namespace

KeyAction decodeKey(unsigned char code, bool shift)
{
    if (code == 27)
        return {KeyQuit, 0};
    const unsigned char k = (unsigned char)(code | 0x20);
    KeyCommand command = commandOf(k);
    if (command != KeyLimit)
        return {command, 0};
    const int size = shift ? 20 : 1;
    return {KeyLimit, k == '+' ? size : -size};
}

int32_t steppedLimit(int32_t maxIters, int step)
{
    // Worked out in 64 bits so that no limit set elsewhere can overflow here.
    const int64_t n = (int64_t)maxIters + step;
    if (step > 0)
        return n < LimitCeiling ? (int32_t)n : maxIters;
    return n > 0 ? (int32_t)n : maxIters;
}

int32_t cappedForGpu(int32_t maxIters)
{
    return maxIters > GpuIterationCap ? GpuIterationCap : maxIters;
}

void runKey(unsigned char code, int modifiers)
{
    const KeyAction action = decodeKey(code, (modifiers & GLUT_ACTIVE_SHIFT) != 0);
    switch (action.command) {
    case KeyQuit:
        exit(0);
    case KeyFpuC:
        enterCpuMode(ModeFpuC);
        break;
    case KeyFpuAsm:
        enterCpuMode(ModeFpuAsm);
        break;
    case KeySse:
        if (app.sseAvailable)
            enterCpuMode(ModeSse);
        break;
    case KeyGpu:
        enterGpuMode();
        return;  // titles itself, and only when the mode changed
    case KeyRedraw:
        glutPostRedisplay();
        break;
    case KeyLimit:
        changeLimit(action.limitStep);
        break;
    case KeyRotateUp:
        rotatePalette(+1);
        break;
    case KeyRotateDown:
        rotatePalette(-1);
        break;
    case KeyBuffering:
        toggleBuffering();
        break;
    case KeyStats:
        fputs("Stats not yet supported.\n", stdout);
        break;
    case KeyHelp:
        showHelp();
        break;
    case KeyBenchmark:
        runBenchmark();
        glutPostRedisplay();
        break;
    case KeyNone:
        break;
    }
    refreshTitle();
}

void onKeyboard(unsigned char key, int, int)
{
    app.modifiers = glutGetModifiers();
    runKey(key, app.modifiers);
}
