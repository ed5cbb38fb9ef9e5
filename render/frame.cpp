// The frame pass (main thread) and the worker routine. The main thread
// publishes a frame through the counter and the ticket, computes and draws
// its own rows, then scans until every row of the frame is done.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <new>

#include <GL/gl.h>

#include "compute/compute.h"
#include "gpu/gpu.h"
#include "render/render.h"
#include "state/app_state.h"

void (*rowComputedHook)(int row) = nullptr;
FramePassCounters* framePassCounters = nullptr;

namespace {

int64_t counterNow()
{
    int64_t counts = 0;
    platformCounterRead(&counts);
    return counts;
}

// computeRow and drawRow on the main thread, timed when the counters are on.
bool computeOwnRow(int row, int maxIters, int mode)
{
    if (!framePassCounters)
        return computeRow(row, maxIters, mode);
    const int64_t start = counterNow();
    const bool computed = computeRow(row, maxIters, mode);
    framePassCounters->computeTicks += counterNow() - start;
    return computed;
}

void drawFrameRow(int row, int mode)
{
    if (!framePassCounters) {
        drawRow(row, mode);
        return;
    }
    const int64_t start = counterNow();
    drawRow(row, mode);
    framePassCounters->drawTicks += counterNow() - start;
}

uint32_t frameSequence = 0;

void recreateFrameBuffers()
{
    app.resizePending = false;
    int columns = std::max(app.width, 0);
    reserveRowScratch(columns);
    delete app.iterationBuffer;
    // Rounded up to whole groups of four for the four-lane kernel; a width
    // whose rounding leaves the int range is refused like any other size.
    int64_t rounded = ((int64_t)columns + 3) & ~(int64_t)3;
    int bufferColumns = rounded <= INT32_MAX ? (int)rounded : -1;
    app.iterationBuffer = new (std::nothrow) IterationBuffer(bufferColumns, app.height);
}

void waitForWorkers()
{
    while (app.pendingWorkers.load(std::memory_order_acquire) != 0)
        platformSleep(1);
}

void releaseWorkers(int counter, int participants, int rows)
{
    // The ticket holds 16 bits of sequence; 0 is never used, so a worker that
    // has seen no frame yet (last sequence 0) joins the first one.
    frameSequence = (frameSequence + 1) & 0xFFFFu;
    if (frameSequence == 0)
        frameSequence = 1;
    app.pendingWorkers.store(counter, std::memory_order_relaxed);
    app.refusedRows.store(0, std::memory_order_relaxed);
    app.frameTicket.store(packFrameTicket(frameSequence, participants, rows),
                          std::memory_order_release);
}

// A row whose kernel refused it is never done; the scans stop once every
// row is done or refused, so such a row costs a missing line, not a hang.
void drawUntilAllDone(int rows, int mode)
{
    int done;
    do {
        done = 0;
        for (int r = 0; r < rows; ++r) {
            if (app.iterationBuffer->isRowDone(r)) {
                drawFrameRow(r, mode);
                ++done;
            }
        }
    } while (done + app.refusedRows.load(std::memory_order_acquire) < rows);
}

}  // namespace

bool renderFrame(int maxIters, int mode)
{
    if (app.height <= 0 || app.width <= 0)
        return true;
    glClear(GL_COLOR_BUFFER_BIT);
    waitForWorkers();
    if (mode == ModeGpu) {
        refreshTrackedMatrices();
        for (int r = 0; r < app.height; ++r)
            drawFrameRow(r, mode);
        if (!app.doubleBuffered)
            glFlush();  // show the picture at once in the front buffer
        return true;
    }
    if (app.resizePending)
        recreateFrameBuffers();
    int rows = modeHasKernel(mode) ? bufferedRows() : 0;
    for (int r = 0; r < rows; ++r)
        app.iterationBuffer->setRowDone(r, false);
    if (rows > 0) {
        int participants = std::max(app.cpuCount, 1);
        RowShare own = mainThreadShare(participants, rows);
        // The pause stays as a courtesy to workers still polling; correctness
        // rests on the ticket, not on this margin.
        platformSleep(3);
        releaseWorkers(workersInFrame(participants, rows), participants, rows);
        for (int r = own.first; r < own.end; ++r) {
            if (computeOwnRow(r, maxIters, mode))
                drawFrameRow(r, mode);
        }
        drawUntilAllDone(rows, mode);
    }
    glFlush();
    return true;
}

void workerMain(int index)
{
    printf("Thread %d says: \"I'm a slave, I'm alive.\"\n", index + 1);
    uint32_t lastSequence = 0;
    for (;;) {
        uint64_t ticket = app.frameTicket.load(std::memory_order_acquire);
        uint32_t sequence;
        int participants, rows;
        unpackFrameTicket(ticket, &sequence, &participants, &rows);
        if (sequence == lastSequence) {
            platformSleep(1);
            continue;
        }
        lastSequence = sequence;
        RowShare share;
        if (!workerShare(index, participants, rows, &share))
            continue;  // not counted in this frame: never join it late
        for (int r = share.first; r < share.end; ++r)
            computeRow(r, app.maxIters, app.computeMode);
        platformInterlockedDecrement(app.pendingWorkers);
    }
}

bool computeRow(int row, int maxIters, int mode)
{
    IterationBuffer* buffer = app.iterationBuffer;
    if (buffer)
        buffer->setRowDone(row, false);
    // Counts are exact only in the default float mode; a library on this
    // thread may have left another one since the last row.
    platformSetDefaultFloatMode();
    RowKernel kernel = kernelForMode(mode);
    if (!kernel || !kernel(row, maxIters)) {
        app.refusedRows.fetch_add(1, std::memory_order_release);
        return false;
    }
    if (buffer) {
        if (rowComputedHook)
            rowComputedHook(row);
        buffer->setRowDone(row, true);
    }
    return true;
}

bool modeHasKernel(int mode)
{
    return kernelForMode(mode) != nullptr;
}

int bufferedRows()
{
    if (!app.iterationBuffer)
        return 0;
    return std::min(app.height, app.iterationBuffer->rows());
}
