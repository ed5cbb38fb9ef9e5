// vexa_bench --frames: the explorer as start-up makes it (workers, window,
// callbacks, GL state, palette, shell), then frames of the left button held:
// each frame the real idle callback zooms one step and the real display
// callback computes and draws the whole frame. Prints the frame rate and how
// the main thread's time went.
#include <cstdio>

#include <GL/freeglut.h>

#include "app/app.h"
#include "bench/bench.h"
#include "compute/compute.h"
#include "input/input.h"
#include "render/render.h"

namespace {

// The zoom closes in on this point from the start-up extent of 3.
constexpr double CentreX = -0.743644786, CentreY = 0.131825253, HalfExtent = 1.5;

int64_t counterNow()
{
    int64_t counts = 0;
    platformCounterRead(&counts);
    return counts;
}

// Lets GLUT map the window and deliver its first reshape and frame.
bool waitForWindow()
{
    for (int waited = 0; waited < 5000 && app.width == 0; ++waited) {
        glutMainLoopEvent();
        platformSleep(1);
    }
    return app.width > 0;
}

// The centred view, the limit and the mode, the mode through its key.
void prepareView(const BenchOptions& options)
{
    app.xMin = CentreX - HalfExtent;
    app.xMax = CentreX + HalfExtent;
    app.yMin = CentreY - HalfExtent;
    app.yMax = CentreY + HalfExtent;
    app.maxIters = options.maxIters;
    updateProjection();
    if (options.modeKey > 0)
        runKey((unsigned char)('0' + options.modeKey), 0);
    updateTitle();
}

void printFigures(int frames, int64_t ticks, int64_t frequency, const FramePassCounters& counters)
{
    const double seconds = (double)ticks / (double)frequency;
    printf("%d frames, %.3f sec, %.2f frames/sec\n", frames, seconds, frames / seconds);
    printf("main thread: %.1f%% computing rows, %.1f%% drawing\n",
           100.0 * (double)counters.computeTicks / (double)ticks,
           100.0 * (double)counters.drawTicks / (double)ticks);
}

}  // namespace

int runFrameBenchmark(const BenchOptions& options, int argc, char** argv)
{
    prepareConsole();
    int64_t frequency = 0;
    if (!platformCounterFrequency(&frequency) || frequency <= 0) {
        fputs("ERROR: System does not support performance counters.\n", stdout);
        return 1;
    }
    startExplorer(&argc, argv,
                  options.participants > 0 ? options.participants : platformProcessorCount(),
                  false);
    if (!waitForWindow()) {
        fputs("ERROR: The window did not appear.\n", stdout);
        return 1;
    }
    prepareView(options);
    printf("%s\n", app.titleBuffer);

    FramePassCounters counters = {0, 0};
    framePassCounters = &counters;
    app.leftDown = true;
    const int64_t start = counterNow();
    for (int i = 0; i < options.frameCount; ++i) {
        onIdle();
        onDisplay();
    }
    glFinish();
    const int64_t end = counterNow();
    app.leftDown = false;
    framePassCounters = nullptr;
    printFigures(options.frameCount, end - start, frequency, counters);
    return 0;
}
