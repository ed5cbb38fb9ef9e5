// Timing the numbers of vectors in flight a vector form may keep: the
// fastest depends on the processor's units and registers more than on any
// rule, so each form times its candidates once, on sample rows.
#include "compute/kernel_forms.h"
#include "platform/platform.h"

int slotsStandIn = 0;

namespace {

constexpr int MostCandidates = 8, TimedRounds = 16;

// Seconds of one pass of candidate k; negative where the counter fails.
double timePass(int k, void (*run)(int, void*), void* context, int64_t frequency)
{
    int64_t start = 0, end = 0;
    if (!platformCounterRead(&start))
        return -1.0;
    run(k, context);
    if (!platformCounterRead(&end))
        return -1.0;
    return (double)(end - start) / (double)frequency;
}

}  // namespace

int fastestCandidate(int n, void (*run)(int candidate, void* context), void* context)
{
    int64_t frequency = 0;
    if (n < 2 || n > MostCandidates || !platformCounterFrequency(&frequency) || frequency <= 0)
        return 0;
    double best[MostCandidates];
    for (int k = 0; k < n; ++k)
        run(k, context);  // code and sample into the caches
    for (int round = 0; round < TimedRounds; ++round)
        for (int k = 0; k < n; ++k) {
            const double seconds = timePass(k, run, context, frequency);
            if (seconds < 0.0)
                return 0;
            if (round == 0 || seconds < best[k])
                best[k] = seconds;
        }
    return leastTime(best, n);
}

int leastTime(const double* seconds, int n)
{
    int least = 0;
    for (int k = 1; k < n; ++k)
        if (seconds[k] < seconds[least])
            least = k;
    return least;
}
