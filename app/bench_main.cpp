// vexa_bench: the kernel table (bench/), or with --frames whole frames of
// the explorer zooming in (frame_bench.cpp).
#include <cstdio>

#include "app/app.h"
#include "bench/bench.h"

int main(int argc, char** argv)
{
    BenchOptions options;
    const char* fault = nullptr;
    if (!parseBenchOptions(argc, argv, &options, &fault)) {
        fprintf(stderr,
                "vexa_bench: %s\n"
                "usage: vexa_bench [--view]\n"
                "       vexa_bench --frames [--limit N] [--mode 1|2|3|4] [--threads P] "
                "[--count N]\n",
                fault);
        return 2;
    }
    if (options.frames)
        return runFrameBenchmark(options, argc, argv);
    return printKernelTable(options.otherView);
}
