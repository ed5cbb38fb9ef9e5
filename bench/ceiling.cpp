// The ceiling lines of vexa_bench: how fast this processor runs a vector
// form's operations with nothing else to do, the bound of every form of
// those lanes. The best rate over the numbers of vectors the run offers:
// more vectors hide more latency until the registers run out.
#include "bench/bench.h"
#include "compute/compute.h"
#include "state/app_state.h"

namespace {

// A point of the main cardioid whose orbit settles far from any escape.
constexpr double CeilingCx = -0.5, CeilingCy = 0.25;
// A pass lasts at least this long; passes go on for the second figure, at
// most MostCeilingPasses of them, and the fastest counts.
constexpr double ShortestPassSeconds = 0.004, CeilingSeconds = 0.05;
constexpr int MostCeilingPasses = 10;

// Seconds of one pass of `steps`; negative when the counter fails.
double timeCeilingPass(CeilingRun run, int vectors, int64_t steps)
{
    int64_t start = 0, end = 0;
    CeilingEnd last;
    if (!benchmarkSources.counterRead(&start))
        return -1.0;
    run(vectors, steps, CeilingCx, CeilingCy, &last);
    if (!benchmarkSources.counterRead(&end))
        return -1.0;
    return (double)(end - start) / (double)app.counterFrequency;
}

// The fastest pass of `vectors` vectors, in millions of iterations per second.
double fastestCeilingPass(CeilingRun run, int vectors, int lanes)
{
    int64_t steps = 1024;
    double seconds = timeCeilingPass(run, vectors, steps);
    while (seconds >= 0.0 && seconds < ShortestPassSeconds && steps < (int64_t)1 << 30) {
        steps *= 2;
        seconds = timeCeilingPass(run, vectors, steps);
    }
    double best = seconds, spent = seconds;
    for (int pass = 1; pass < MostCeilingPasses && spent < CeilingSeconds && seconds > 0.0; ++pass) {
        seconds = timeCeilingPass(run, vectors, steps);
        spent += seconds;
        if (seconds > 0.0 && seconds < best)
            best = seconds;
    }
    return best > 0.0 ? (double)vectors * lanes * (double)steps / best / 1000000.0 : 0.0;
}

}  // namespace

Ceiling measureCeiling(CeilingRun run)
{
    Ceiling best = {0.0, 0, 0};
    CeilingEnd end;
    for (int vectors : CeilingVectors) {
        const int lanes = run(vectors, 0, CeilingCx, CeilingCy, &end);  // no steps: only asks
        const double rate = lanes ? fastestCeilingPass(run, vectors, lanes) : 0.0;
        if (rate > best.megaItersPerSecond)
            best = {rate, vectors, lanes};
    }
    return best;
}
