// vexa_bench: the start-up view at 500 x 500 and limit 9999 on one thread,
// once per available kernel, with throughput counted as the console
// benchmark counts it (inside points at the full limit).
#include <cstdio>

#include "bench/bench.h"
#include "compute/compute.h"
#include "platform/platform.h"
#include "render/render.h"
#include "state/app_state.h"

namespace {

struct KernelRun {
    const char* name;
    int mode;                  // the frame pass's mode, or -1 for none
    bool (*kernel)(int, int);  // called directly when there is no mode
};

const KernelRun runs[] = {
    {"kernelSse", ModeSse, nullptr},
    {"kernelFpuAsm", ModeFpuAsm, nullptr},
    {"kernelFpuC", ModeFpuC, nullptr},
    {"kernelFpuLongDouble", -1, kernelFpuLongDouble},
};

// A row of a run that has no mode: its kernel, by index into runs.
bool computeRowDirect(int row, int maxIters, int runIndex)
{
    if (!runs[runIndex].kernel(row, maxIters))
        return false;
    app.iterationBuffer->setRowDone(row, true);
    return true;
}

}  // namespace

int main()
{
    if (!platformCounterFrequency(&app.counterFrequency) || app.counterFrequency <= 0) {
        fputs("ERROR: System does not support performance counters.\n", stdout);
        return 1;
    }
    useBenchmarkSettings();
    app.iterationBuffer = new IterationBuffer(BenchmarkSize, BenchmarkSize);
    if (app.iterationBuffer->rows() == 0)
        return 1;
    printf("%d*%d, maxiters %d, one thread\n", app.width, app.height, app.maxIters);
    for (int i = 0; i < (int)(sizeof runs / sizeof runs[0]); ++i) {
        const KernelRun& run = runs[i];
        if (run.mode == ModeSse && !(probeSse() && modeHasKernel(ModeSse))) {
            printf("%-20s not available\n", run.name);
            continue;
        }
        app.iterationBuffer->clear();
        BenchmarkFigures figures = run.mode >= 0 ? timePass(computeRow, run.mode)
                                                 : timePass(computeRowDirect, i);
        printf("%-20s %8.3f sec %10.3f MegaIters/sec\n", run.name, figures.seconds,
               figures.megaItersPerSecond);
    }
    return 0;
}
