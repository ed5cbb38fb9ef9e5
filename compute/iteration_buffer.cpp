// The iteration buffer's class-wide storage. Only the main thread constructs
// and destroys it, and only while no worker computes.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "compute/compute.h"

namespace {

int32_t* values = nullptr;
RowRecord* rowRecords = nullptr;
int columnCount = 0;
int rowCount = 0;

// Back to no storage: both arrays released, both sizes 0.
void releaseStorage()
{
    free(values);
    free(rowRecords);
    values = nullptr;
    rowRecords = nullptr;
    columnCount = 0;
    rowCount = 0;
}

bool rowInRange(int row)
{
    return rowRecords && row >= 0 && row < rowCount;
}

}  // namespace

IterationBuffer::IterationBuffer(int columns, int rows)
{
    // Sizes are worked out in 64 bits and refused when negative or larger
    // than memory can address, rather than wrapping to a small block.
    int64_t cells = (int64_t)columns * (int64_t)rows;
    bool sane = columns >= 0 && rows >= 0 && (uint64_t)cells <= SIZE_MAX / sizeof(int32_t);
    int32_t* newValues = nullptr;
    RowRecord* newRecords = nullptr;
    if (sane) {
        newValues = (int32_t*)malloc(cells > 0 ? (size_t)cells * sizeof(int32_t) : 1);
        newRecords = (RowRecord*)malloc(rows > 0 ? (size_t)rows * sizeof(RowRecord) : 1);
    }
    if (!newValues || !newRecords) {
        fputs("ERROR: Failed to allocate pixel buffer\n", stdout);
        free(newValues);
        free(newRecords);
        releaseStorage();
        return;
    }
    for (int r = 0; r < rows; ++r) {
        new (&newRecords[r].done) std::atomic<uint8_t>(0);
        newRecords[r].pointer = nullptr;
    }
    values = newValues;
    rowRecords = newRecords;
    columnCount = columns;
    rowCount = rows;
}

IterationBuffer::~IterationBuffer()
{
    releaseStorage();
}

int32_t* IterationBuffer::rowValues(int row) const
{
    return rowInRange(row) ? values + (int64_t)row * columnCount : nullptr;
}

bool IterationBuffer::isRowDone(int row) const
{
    return rowInRange(row) && rowRecords[row].done.load(std::memory_order_acquire) != 0;
}

void IterationBuffer::setRowDone(int row, int flag)
{
    if (rowInRange(row))
        rowRecords[row].done.store((uint8_t)flag, std::memory_order_release);
}

void* IterationBuffer::rowPointer(int row) const
{
    return rowInRange(row) ? rowRecords[row].pointer : nullptr;
}

void IterationBuffer::setRowPointer(int row, void* pointer)
{
    if (rowInRange(row))
        rowRecords[row].pointer = pointer;
}

void IterationBuffer::resetRow(int row)
{
    setRowDone(row, 0);
    setRowPointer(row, nullptr);
}

int IterationBuffer::columns() const { return columnCount; }
int IterationBuffer::rows() const { return rowCount; }
int64_t IterationBuffer::cellCount() const { return (int64_t)columnCount * rowCount; }

uint32_t IterationBuffer::sumIterations(int limit, int marker) const
{
    uint32_t total = 0;
    for (int r = 0; r < rowCount; ++r) {
        if (!isRowDone(r))
            continue;
        const int32_t* p = rowValues(r);
        for (int c = 0; c < columnCount; ++c)
            total += (uint32_t)(p[c] == marker ? limit : p[c]);
    }
    return total;
}

void IterationBuffer::clear()
{
    if (cellCount() > 0)
        memset(values, 0, (size_t)cellCount() * sizeof(int32_t));
}
