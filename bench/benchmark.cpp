// Placeholder until the console benchmark lands.
#include "bench/bench.h"

void runBenchmark()
{
}
