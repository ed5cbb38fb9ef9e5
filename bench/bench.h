// The console benchmark: the three processor kernels timed on one fixed
// 500 x 500 view, on the main thread alone, inside the keyboard callback.
#pragma once

#include <cstdint>

class IterationBuffer;

constexpr int BenchmarkSize = 500;      // columns and rows, a multiple of four
constexpr int BenchmarkMaxIters = 9999;

void runBenchmark();

// Puts the start-up view, its 500-column steps, the 500 x 500 size and the
// limit 9999 into AppState; the benchmark program shares it.
void useBenchmarkSettings();

// Where the benchmark gets its counter and its buffer. They default to the
// platform's counter and a plain construction; tests put failing ones in.
struct BenchmarkSources {
    bool (*counterFrequency)(int64_t* countsPerSecond);
    bool (*counterRead)(int64_t* counts);
    IterationBuffer* (*makeBuffer)(int columns, int rows);
};
extern BenchmarkSources benchmarkSources;

// One timed pass over every row of the current buffer (app.height rows),
// each through `compute` (computeRow, or a stand-in with its signature), with
// the counts' total, inside points at the limit, over the time between two
// readings of the benchmark's counter. The counter's frequency must be in
// app.counterFrequency.
struct BenchmarkFigures {
    double seconds;
    double megaItersPerSecond;
};
BenchmarkFigures timePass(bool (*compute)(int row, int maxIters, int mode), int mode);
