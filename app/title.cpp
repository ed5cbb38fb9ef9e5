// The window title and the key help.
#include <cstdio>

#include <GL/gl.h>
#include <GL/glut.h>

#include "app/app.h"

void composeTitle(char* out, size_t outSize, const char* title, int width, int height, int maxIters,
                  int mode, int cpuCount, const char* renderer)
{
    // Every part has a bound, so that the whole always fits the 256 bytes of
    // app.titleBuffer: the program title at most 64 characters, three numbers
    // of at most 11, and the mode text, a renderer's long name cut, at most 127.
    char modeText[128];
    switch (mode) {
    case ModeFpuC:
        snprintf(modeText, sizeof modeText, "%dxCPU FPU C", cpuCount);
        break;
    case ModeFpuAsm:
        snprintf(modeText, sizeof modeText, "%dxCPU FPU ASM", cpuCount);
        break;
    case ModeSse:
        snprintf(modeText, sizeof modeText, "%dxCPU SSE", cpuCount);
        break;
    case ModeGpu:
        snprintf(modeText, sizeof modeText, "GPU %s", renderer ? renderer : "");
        break;
    default:
        snprintf(modeText, sizeof modeText, "UNKNOWN!");
        break;
    }
    snprintf(out, outSize, "%.64s %d*%d i=%d %s", title, width, height, maxIters, modeText);
}

void updateTitle()
{
    const char* renderer = nullptr;
    if (app.computeMode == ModeGpu)
        renderer = (const char*)glGetString(GL_RENDERER);
    composeTitle(app.titleBuffer, sizeof app.titleBuffer, app.appTitle, app.width, app.height,
                 app.maxIters, app.computeMode, app.cpuCount, renderer);
    glutSetWindowTitle(app.titleBuffer);
}

void printHelp()
{
    fputs("\nKeys:\n", stdout);
    fputs(" 1: Lame FPU computation, C code.\n", stdout);
    fputs(" 2: Fast FPU computation, 100% machine code.\n", stdout);
    fputs(" 3: Quadfast SSE computation, 100% machine code.\n", stdout);
    fputs(" 4: Experimental GPU Vertex Program computation !\n", stdout);
    fputs(" d: Toggle double/single buffer (you flicker haters).\n", stdout);
    fputs(" +,-: Inc/Dec max iters (press shift for +/-20).\n", stdout);
    fputs(" /,*: Rotate palette.\n", stdout);
    fputs(" h: Shows this help.\n", stdout);
    fputs(" s: Shows stats in console.\n", stdout);
    fputs(" b: Speed benchmark in current mode (resets max iters to 40).\n", stdout);
    fputs("    See result in the console.\n", stdout);
}
