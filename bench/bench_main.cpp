// vexa_bench: the start-up view at 500 x 500 and limit 9999 on one thread,
// once per available kernel, with throughput counted as the console
// benchmark counts it (inside points at the full limit).
#include <cstdio>

#include "app/app.h"
#include "bench/bench.h"
#include "compute/compute.h"
#include "platform/platform.h"
#include "render/render.h"

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

void computeFrame(const KernelRun& run)
{
    for (int r = 0; r < app.height; ++r) {
        if (run.mode >= 0) {
            computeRow(r, app.maxIters, run.mode);
        } else if (run.kernel(r, app.maxIters)) {
            app.iterationBuffer->setRowDone(r, true);
        }
    }
}

}  // namespace

int main()
{
    int64_t frequency = 0, start = 0, end = 0;
    if (!platformCounterFrequency(&frequency) || frequency <= 0) {
        fputs("ERROR: System does not support performance counters.\n", stdout);
        return 1;
    }
    useBenchmarkSettings();
    app.iterationBuffer = new IterationBuffer(BenchmarkSize, BenchmarkSize);
    if (app.iterationBuffer->rows() == 0)
        return 1;
    printf("%d*%d, maxiters %d, one thread\n", app.width, app.height, app.maxIters);
    for (const KernelRun& run : runs) {
        if (run.mode == ModeSse && !(probeSse() && modeHasKernel(ModeSse))) {
            printf("%-20s not available\n", run.name);
            continue;
        }
        app.iterationBuffer->clear();
        platformCounterRead(&start);
        computeFrame(run);
        platformCounterRead(&end);
        double seconds = (double)(end - start) / (double)frequency;
        uint32_t total = app.iterationBuffer->sumIterations(app.maxIters, InsideMarker);
        printf("%-20s %8.3f sec %10.3f MegaIters/sec\n", run.name, seconds,
               (double)total / seconds / 1000000.0);
    }
    return 0;
}
