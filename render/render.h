// Frame rendering: the frame pass that shares a frame's rows between the main
// thread and the workers, the worker routine, the row dispatch to the kernels
// and the drawing of rows. Only the main thread draws.
#pragma once

#include <cstdint>

bool renderFrame(int maxIters, int mode);           // main thread; always true
bool computeRow(int row, int maxIters, int mode);   // any thread
bool drawRow(int row, int mode);                    // main thread
void workerMain(int index);                         // never returns

// Which rows a participant takes: [first, end). The main thread always has a
// share when rows > 0; a worker may have none.
struct RowShare {
    int first;
    int end;
};
RowShare mainThreadShare(int participants, int rows);
bool workerShare(int index, int participants, int rows, RowShare* share);
int workersInFrame(int participants, int rows);  // the value the counter starts at

// A frame's ticket carries a sequence number with the frame's participant and
// row counts, so a worker decides its share from the frame it saw, never from
// fields the main thread may already have changed for the next frame.
uint64_t packFrameTicket(uint32_t sequence, int participants, int rows);
void unpackFrameTicket(uint64_t ticket, uint32_t* sequence, int* participants, int* rows);

// Makes the row scratch arrays hold `columns` columns; without memory the
// rows are drawn point by point.
void reserveRowScratch(int columns);

// Rows the current buffer holds that the window also shows: after a resize
// or a benchmark the buffer can differ from the window until the next frame
// re-creates it, and rows beyond it have no storage to read or compute.
int bufferedRows();

// Called from computeRow on the computing thread after each row, before its
// done flag is set; null normally. Lets tests count who computed what.
extern void (*rowComputedHook)(int row);

// The main thread's time in the frame pass computing its own rows and
// drawing rows, in counter ticks. Counted only while this points somewhere
// (the frame benchmark sets it); otherwise a frame reads no clock.
struct FramePassCounters {
    int64_t computeTicks;
    int64_t drawTicks;
};
extern FramePassCounters* framePassCounters;

// Whether the pass has a processor kernel for `mode` in this build.
bool modeHasKernel(int mode);
