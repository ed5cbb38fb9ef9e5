// The console benchmark. Runs synchronously on the main thread inside the
// keyboard callback; the workers stay idle because no frame releases them.
#include <cinttypes>
#include <cstdio>
#include <new>

#include <GL/glut.h>

#include "bench/bench.h"
#include "compute/compute.h"
#include "platform/platform.h"
#include "render/render.h"
#include "state/app_state.h"

namespace {

IterationBuffer* makeBuffer(int columns, int rows)
{
    return new (std::nothrow) IterationBuffer(columns, rows);
}

struct SavedSettings {
    int32_t width, height, maxIters;
    double xMin, yMin, xMax, yMax, bailout;
};

SavedSettings saveSettings()
{
    return {app.width, app.height, app.maxIters, app.xMin, app.yMin, app.xMax, app.yMax, app.bailout};
}

// Back to the window the user had: size, limit, and the steps and projection
// derived from them (otherwise 0.006 stays in force in any window).
void restoreSettings(const SavedSettings& saved, bool withView)
{
    app.maxIters = saved.maxIters;
    app.width = saved.width;
    app.height = saved.height;
    if (withView) {
        app.xMin = saved.xMin;
        app.yMin = saved.yMin;
        app.xMax = saved.xMax;
        app.yMax = saved.yMax;
        app.bailout = saved.bailout;
    }
    refreshProjection();
}

// The buffer is class-wide, so the old one goes before the new one comes.
bool replaceBuffer()
{
    delete app.iterationBuffer;
    app.iterationBuffer = benchmarkSources.makeBuffer(BenchmarkSize, BenchmarkSize);
    if (app.iterationBuffer && app.iterationBuffer->rows() == BenchmarkSize)
        return true;
    if (!app.iterationBuffer)  // the object itself was refused; the constructor never ran
        fputs("ERROR: Failed to allocate pixel buffer\n", stdout);
    return false;
}

void printHeader()
{
    fputs("\nBENCHMARK (Using 1 CPU, no render)\n", stdout);
    printf(" Sys perf timer freq: %" PRId64 " Hz\n", app.counterFrequency);
    printf(" size:\t%d*%d\n", app.width, app.height);
    printf(" maxiters:\t%d\n", app.maxIters);
    printf(" rangex:\t%.2f to %.2f\n", app.xMin, app.xMax);
    printf(" rangey:\t%.2f to %.2f\n", app.yMin, app.yMax);
}

void timeRun(int mode)
{
    app.iterationBuffer->clear();
    BenchmarkFigures figures = timePass(mode);
    printf("    %.3f sec\n", figures.seconds);
    printf("    %.3f MegaIters/sec\n", figures.megaItersPerSecond);
}

}  // namespace

BenchmarkSources benchmarkSources = {platformCounterFrequency, platformCounterRead, makeBuffer};

BenchmarkFigures timePass(int mode, bool (*kernel)(int row, int maxIters))
{
    // Only the row loop lies between the two counter readings.
    benchmarkSources.counterRead(&app.counterStart);
    for (int r = 0; r < app.height; ++r) {
        if (!kernel)
            computeRow(r, app.maxIters, mode);
        else if (kernel(r, app.maxIters))
            app.iterationBuffer->setRowDone(r, true);
    }
    benchmarkSources.counterRead(&app.counterEnd);
    app.elapsedSeconds = (double)(app.counterEnd - app.counterStart) / (double)app.counterFrequency;
    uint32_t total = app.iterationBuffer->sumIterations(app.maxIters, InsideMarker);
    return {app.elapsedSeconds, (double)total / app.elapsedSeconds / 1000000.0};
}

void useBenchmarkSettings()
{
    app.width = BenchmarkSize;
    app.height = BenchmarkSize;
    app.maxIters = BenchmarkMaxIters;
    useStartView();
    app.stepX = (app.xMax - app.xMin) / BenchmarkSize;
    app.stepY = app.stepX;
}

void runBenchmark()
{
    int64_t frequency = 0, probe = 0;
    if (!benchmarkSources.counterFrequency(&frequency) || frequency <= 0 ||
        !benchmarkSources.counterRead(&probe)) {
        fputs("ERROR: System does not support performance counters.\n", stdout);
        return;
    }
    app.counterFrequency = frequency;
    SavedSettings saved = saveSettings();
    useBenchmarkSettings();
    app.resizePending = true;
    if (!replaceBuffer()) {
        // The constructor has said why; the next processor frame tries again.
        restoreSettings(saved, true);
        refreshTitle();
        return;
    }
    printHeader();
    glutSetWindowTitle("BenchMarking... (results in console)");

    fputs("  SSE benchmark:\n", stdout);
    if (app.sseAvailable)  // set only where the SSE kernel runs
        timeRun(ModeSse);
    else
        fputs("    Not supported.\n", stdout);
    fputs("  FPU ASM benchmark:\n", stdout);
    timeRun(ModeFpuAsm);
    fputs("  FPU C benchmark:\n", stdout);
    timeRun(ModeFpuC);

    restoreSettings(saved, false);
    fputs("\n", stdout);
    refreshTitle();
}
