// The console benchmark: the three processor kernels timed on one fixed
// 500 x 500 view, on the main thread alone, inside the keyboard callback.
#pragma once

void runBenchmark();
