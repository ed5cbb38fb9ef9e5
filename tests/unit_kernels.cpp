// The kernels against independent computations, their edge points, and the
// iteration buffer's storage rules.
#include <gtest/gtest.h>

#include <malloc.h>

#include <climits>
#include <cstddef>
#include <string>
#include <vector>

#include "compute/compute.h"
#include "reference.h"
#include "state/app_state.h"

namespace {

using Counts = std::vector<int32_t>;

// A view of `width` columns from (x0, y0) with square pixels of `step`.
void setView(int width, double x0, double y0, double step)
{
    app.width = width;
    app.xMin = x0;
    app.yMin = y0;
    app.stepX = app.stepY = step;
    app.bailout = 4.0;
}

// Runs `kernel` on `row` and returns the first `count` values of the row.
Counts runRow(bool (*kernel)(int, int), int maxIters, int count, int row = 0)
{
    int32_t* p = app.iterationBuffer->rowValues(row);
    std::fill(p, p + app.iterationBuffer->columns(), 12345);
    EXPECT_TRUE(kernel(row, maxIters));
    return Counts(p, p + count);
}

class Kernels : public ::testing::Test {
protected:
    void SetUp() override { app.iterationBuffer = new IterationBuffer(512, 4); }
    void TearDown() override
    {
        delete app.iterationBuffer;
        app.iterationBuffer = nullptr;
    }
};

}  // namespace

TEST_F(Kernels, EdgePoints)
{
    // The plain kernel tests before it steps; the others after: c = -2 and
    // c = 1 differ by one. maxIters 1: |c|^2 below 4 stores -1.
    struct Case { bool (*kernel)(int, int); int width; double x0, step; int limit; Counts want; };
    const Case cases[] = {
        {kernelFpuC, 4, -2.0, 1.0, 40, {-1, -1, -1, 2}},
        {kernelFpuAsm, 4, -2.0, 1.0, 40, {0, -1, -1, 1}},
        {kernelFpuLongDouble, 4, -2.0, 1.0, 40, {0, -1, -1, 1}},
        {kernelSse, 4, -2.0, 1.0, 40, {0, -1, -1, 1}},
        {kernelSse, 4, 0.0, 3.0, 9998, {-1, 0, 0, 0}},  // one lane inside, three out at once
        {kernelSse, 4, 1e30, 1e30, 50, {0, 0, 0, 0}},   // overflow to infinity keeps the count
        {kernelSse, 4, 1e9, 0.0, 50, {0, 0, 0, 0}},
    };
    // kernelSse where the processor has the four-lane unit: an i686 without
    // SSE has no ModeSse, and its kernel refuses every row.
    const bool sse = kernelForMode(ModeSse) != nullptr;
    for (const Case& c : cases) {
        if (c.kernel == kernelSse && !sse)
            continue;
        setView(c.width, c.x0, 0.0, c.step);
        EXPECT_EQ(runRow(c.kernel, c.limit, 4), c.want) << c.x0 << " step " << c.step;
    }
    for (auto kernel : {kernelFpuC, kernelFpuAsm, kernelFpuLongDouble, kernelSse}) {
        if (kernel == kernelSse && !sse)
            continue;
        setView(4, -0.5, 0.0, 1.0);  // c = -0.5, 0.5, 1.5, 2.5
        EXPECT_EQ(runRow(kernel, 1, 4), (Counts{-1, -1, -1, 0}));
        setView(1, 3.0, 0.0, 1.0);
        EXPECT_EQ(runRow(kernel, 40, 1)[0], 0);
        setView(0, 0.0, 0.0, 1.0);  // width 0 writes nothing
        EXPECT_EQ(runRow(kernel, 40, 1)[0], 12345);
    }
}

TEST(IterationBufferStorage, RowsColumnsAndAbsentStorage)
{
    {
        IterationBuffer buffer(8, 2);
        EXPECT_EQ(buffer.cellCount(), 16);
        EXPECT_EQ(buffer.rowValues(1) - buffer.rowValues(0), 8);
        std::fill(buffer.rowValues(0), buffer.rowValues(0) + 16, -1);
        EXPECT_EQ(buffer.sumIterations(40, -1), 0u);  // no row done
        buffer.setRowDone(0, 1);
        buffer.setRowDone(1, 257);  // low 8 bits: 1
        buffer.rowValues(1)[3] = 7;
        EXPECT_EQ(buffer.sumIterations(40, -1), 40u * 15 + 7);
        buffer.clear();
        EXPECT_EQ(buffer.sumIterations(40, -1), 0u);
        EXPECT_TRUE(buffer.isRowDone(0));  // clear keeps the flags
        buffer.resetRow(0);
        EXPECT_FALSE(buffer.isRowDone(0));
        // Rows outside the buffer answer as for absent storage, and setting
        // their flags touches nothing (under the address sanitizer a stray
        // write would also be reported).
        EXPECT_EQ(buffer.rowValues(2), nullptr);
        EXPECT_EQ(buffer.rowValues(-1), nullptr);
        buffer.setRowDone(1, 0);
        buffer.setRowDone(5, 1);
        buffer.setRowDone(-1, 1);
        buffer.setRowDone(2, 1);
        EXPECT_FALSE(buffer.isRowDone(5));
        EXPECT_FALSE(buffer.isRowDone(-1));
        EXPECT_FALSE(buffer.isRowDone(0));
        EXPECT_FALSE(buffer.isRowDone(1));
        std::fill(buffer.rowValues(0), buffer.rowValues(0) + 16, 3);
        EXPECT_EQ(buffer.sumIterations(40, -1), 0u);  // still no row done
    }
    IterationBuffer empty(0, 0);
    EXPECT_EQ(empty.rowValues(0), nullptr);
}

TEST(IterationBufferStorage, SizeThatCannotBeHadFailsWithTheMessage)
{
    // 2^31-1 squared counts: computed in 64 bits, far beyond memory.
    testing::internal::CaptureStdout();
    IterationBuffer huge(INT_MAX, INT_MAX);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "ERROR: Failed to allocate pixel buffer\n");
    EXPECT_EQ(huge.rowValues(0), nullptr);
    EXPECT_EQ(huge.columns() + huge.rows(), 0);
    EXPECT_FALSE(huge.isRowDone(0));
    EXPECT_EQ(huge.sumIterations(40, -1), 0u);
    huge.clear();
    // 65537 x 65537 counts wrap to 131073 in 32 bits: a small block that the
    // sizes would then overrun. Whether 17 GB can be had depends on the
    // machine; either it is refused with the message, or the block really
    // holds every count.
    testing::internal::CaptureStdout();
    IterationBuffer wraps(65537, 65537);
    std::string said = testing::internal::GetCapturedStdout();
    if (wraps.rows() == 0) {
        EXPECT_EQ(said, "ERROR: Failed to allocate pixel buffer\n");
        EXPECT_EQ(wraps.rowValues(0), nullptr);
    } else {
        EXPECT_EQ(said, "");
        // In 64 bits, so that a 32-bit build compiles the same check.
        EXPECT_GE((uint64_t)malloc_usable_size(wraps.rowValues(0)), (uint64_t)65537 * 65537 * 4);
        EXPECT_EQ((int64_t)(wraps.rowValues(65536) - wraps.rowValues(0)), (int64_t)65536 * 65537);
    }
}

TEST(IterationBufferStorage, KernelsWriteNothingWithoutStorage)
{
    setView(4, 0.0, 0.0, 1.0);
    EXPECT_FALSE(kernelFpuC(0, 40));
    EXPECT_FALSE(kernelFpuAsm(0, 40));
    EXPECT_FALSE(kernelSse(0, 40));
    app.iterationBuffer = new IterationBuffer(4, 1);
    EXPECT_FALSE(kernelFpuC(1, 40));  // a row the buffer does not hold
    EXPECT_FALSE(kernelSse(-1, 40));
    delete app.iterationBuffer;
    app.iterationBuffer = nullptr;
}
