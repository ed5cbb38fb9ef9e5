// vexa_bench: the kernel table (bench/), or with --frames whole frames of
// the explorer zooming in (frame_bench.cpp).
#include <cstdio>

#include "app/app.h"
#include "bench/bench.h"

namespace {

const char* const usage =
    "usage: vexa_bench [--view] [--size N]\n"
    "       vexa_bench --frames [--limit N] [--mode 1|2|3|4] [--threads P] [--count N]\n"
    "       vexa_bench --help | --version\n";

// The manual page says the same at length; this is the reminder.
const char* const optionHelp =
    "Times the kernels of vexa on one thread, or with --frames whole frames of\n"
    "the explorer zooming in.\n"
    "  --view       a view without points in the set instead of the start-up view\n"
    "  --size N     the view in N x N pixels, a multiple of 4 up to 500 (default 500)\n"
    "  --frames     open the window and time frames zooming in (needs a display)\n"
    "  --limit N    iteration limit of the frames, 1 to 9999 (default 1000)\n"
    "  --mode M     1 plain double, 2 x87, 3 SSE, 4 GPU (default the start-up mode)\n"
    "  --threads P  threads sharing each frame, 1 to 1024 (default every processor)\n"
    "  --count N    frames to time, 1 to 1000000 (default 200)\n"
    "  --help       print this help\n"
    "  --version    print the version\n";

}  // namespace

int main(int argc, char** argv)
{
    BenchOptions options;
    char fault[256];
    if (!parseBenchOptions(argc, argv, &options, fault, (int)sizeof fault)) {
        fprintf(stderr, "vexa_bench: %s\n%s", fault, usage);
        return 2;
    }
    if (options.help) {
        fputs(usage, stdout);
        fputs(optionHelp, stdout);
        return 0;
    }
    if (options.version) {
        fputs("vexa_bench " VEXA_RELEASE "\n", stdout);
        return 0;
    }
    if (options.frames)
        return runFrameBenchmark(options, argc, argv);
    return printKernelTable(options.otherView, options.size);
}
