// The console benchmark: the three processor kernels timed on one fixed
// 500 x 500 view, on the main thread alone, inside the keyboard callback.
#pragma once

#include <cstdint>

#include "compute/compute.h"

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
// each through computeRow in `mode`, or with `kernel` set through that
// kernel alone, with the counts' total, inside points at the limit, over the
// time between two readings of the benchmark's counter. The counter's
// frequency must be in app.counterFrequency.
struct BenchmarkFigures {
    double seconds;
    double megaItersPerSecond;
};
BenchmarkFigures timePass(int mode, bool (*kernel)(int row, int maxIters) = nullptr);

// The ceiling of a vector form's lanes here: the best rate of its run over
// the numbers of vectors it offers, the fastest of a few passes each, timed
// with the benchmark's counter (its frequency in app.counterFrequency).
struct Ceiling {
    double megaItersPerSecond;  // 0 where no pass could be timed
    int vectors, lanes;
};
Ceiling measureCeiling(CeilingRun run);

// The options of vexa_bench. Without --frames it prints the kernel table of
// the benchmark view, or with --view of the view without inside points;
// with --frames it times whole frames of the explorer zooming in.
struct BenchOptions {
    bool otherView;    // --view
    bool frames;       // --frames
    int maxIters;      // --limit N, frames only
    int modeKey;       // --mode 1|2|3|4 (the mode keys), frames only; 0: start-up's mode
    int participants;  // --threads P, frames only; 0: every processor
    int frameCount;    // --count N, frames only
    bool help;         // --help: print the usage, nothing else
    bool version;      // --version: print the version, nothing else
    int size;          // --size N, the table's view in N x N pixels (default 500)
};
// Reads the options after the program name; --help or --version ends the
// reading. Returns false on an unknown option, a missing value, a value that
// is not a plain decimal number in range, or options that do not go
// together, with a line in `fault` (at least faultSize bytes) that names
// the offending argument.
bool parseBenchOptions(int argc, const char* const* argv, BenchOptions* options, char* fault,
                       int faultSize);

// The fastest of a few timed passes per kernel: the mode lines (what each
// mode runs here), then each vector or plain form without the cycle check,
// one thread, inside points counted at the limit, on `size` x `size` pixels
// of the view (a multiple of four, at most 500). Returns the process's exit
// status.
int printKernelTable(bool otherView, int size);
