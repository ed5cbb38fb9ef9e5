// Escape-time computation: the iteration buffer that holds one frame's counts
// and the processor kernels. Kernels run on the main thread and on workers at
// once, each call on its own row.
#pragma once

#include <atomic>
#include <cstdint>

struct RowRecord {
    std::atomic<uint8_t> done;  // set with release after the row's counts, read with acquire
    void* pointer;
};

// The counts of the whole window, row-major. The storage is class-wide: at
// most one instance lives at a time, and construction fills the storage and
// destruction empties it. A failed construction leaves no storage, and every
// operation then answers as for an empty buffer; so do rows out of range.
class IterationBuffer {
public:
    IterationBuffer(int columns, int rows);
    virtual ~IterationBuffer();

    int32_t* rowValues(int row) const;  // null without storage
    bool isRowDone(int row) const;
    void setRowDone(int row, int flag);
    void* rowPointer(int row) const;
    void setRowPointer(int row, void* pointer);
    void resetRow(int row);
    int columns() const;
    int rows() const;
    int64_t cellCount() const;
    // Total of the done rows' counts, `marker` counted as `limit`; wraps mod 2^32.
    uint32_t sumIterations(int limit, int marker) const;
    void clear();  // every count becomes 0; done flags stay
};

// Kernels: compute row `row` of the current buffer from the view in AppState.
// They return false, writing nothing, when the row has no storage.
bool kernelFpuC(int row, int maxIters);
bool kernelFpuAsm(int row, int maxIters);
bool kernelFpuLongDouble(int row, int maxIters);  // portable form of kernelFpuAsm
bool kernelSse(int row, int maxIters);
bool probeSse();
