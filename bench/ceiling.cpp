// The ceiling lines of vexa_bench: how fast this processor runs a vector
// form's operations with nothing else to do, the bound of every form of
// those lanes. The best rate over the numbers of vectors the run offers:
// more vectors hide more latency until the registers run out.
#include <vector>

#include "bench/bench.h"
#include "compute/compute.h"
#include "state/app_state.h"

namespace {

// A point of the main cardioid whose orbit settles far from any escape.
constexpr double CeilingCx = -0.5, CeilingCy = 0.25;
// A pass lasts at least this long. Each number of vectors gets passes until
// it has spent the second figure, at most MostCeilingPasses of them, and its
// fastest counts.
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

// The passes of one number of vectors: how long each is, the fastest so far
// and the time spent.
struct CeilingPasses {
    int vectors, lanes;
    int64_t steps;
    double best, spent;
    int passes;
};

// Doubles the steps until a pass lasts ShortestPassSeconds; that pass is the first.
CeilingPasses firstCeilingPass(CeilingRun run, int vectors, int lanes)
{
    int64_t steps = 1024;
    double seconds = timeCeilingPass(run, vectors, steps);
    while (seconds >= 0.0 && seconds < ShortestPassSeconds && steps < (int64_t)1 << 30) {
        steps *= 2;
        seconds = timeCeilingPass(run, vectors, steps);
    }
    return {vectors, lanes, steps, seconds, seconds, 1};
}

bool wantsPass(const CeilingPasses& p)
{
    return p.best > 0.0 && p.passes < MostCeilingPasses && p.spent < CeilingSeconds;
}

// One more pass of every number of vectors that wants one; false when none did.
bool runCeilingRound(CeilingRun run, std::vector<CeilingPasses>& all)
{
    bool ran = false;
    for (CeilingPasses& p : all) {
        if (!wantsPass(p))
            continue;
        const double seconds = timeCeilingPass(run, p.vectors, p.steps);
        p.spent += seconds;
        // A counter that fails ends this number's passes; its fastest stands.
        p.passes = seconds > 0.0 ? p.passes + 1 : MostCeilingPasses;
        if (seconds > 0.0 && seconds < p.best)
            p.best = seconds;
        ran = true;
    }
    return ran;
}

double megaItersPerSecond(const CeilingPasses& p)
{
    return p.best > 0.0 ? (double)p.vectors * p.lanes * (double)p.steps / p.best / 1000000.0 : 0.0;
}

}  // namespace

// The numbers of vectors take turns at their passes, so that a short spell
// in which the machine runs slower, as a shared or virtual one may, costs
// each number a pass or two, not every pass of one number, which then read
// low and could lose to a smaller number.
Ceiling measureCeiling(CeilingRun run)
{
    std::vector<CeilingPasses> all;
    CeilingEnd end;
    for (int vectors : CeilingVectors) {
        const int lanes = run(vectors, 0, CeilingCx, CeilingCy, &end);  // no steps: only asks
        if (lanes)
            all.push_back(firstCeilingPass(run, vectors, lanes));
    }
    while (runCeilingRound(run, all)) {
    }
    Ceiling best = {0.0, 0, 0};
    for (const CeilingPasses& p : all)
        if (megaItersPerSecond(p) > best.megaItersPerSecond)
            best = {megaItersPerSecond(p), p.vectors, p.lanes};
    return best;
}
