// The kernels against independent computations, their edge points, and the
// iteration buffer's storage rules.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "app/app.h"
#include "compute/compute.h"
#include "reference.h"

namespace {

// A view of `width` columns from (x0, y0) with square pixels of `step`.
void setView(int width, double x0, double y0, double step)
{
    app.width = width;
    app.xMin = x0;
    app.yMin = y0;
    app.stepX = step;
    app.stepY = step;
    app.bailout = 4.0;
}

void makeBuffer(int columns, int rows)
{
    delete app.iterationBuffer;
    app.iterationBuffer = new IterationBuffer(columns, rows);
}

// Runs `kernel` on `row` and returns the first `count` values of the row.
std::vector<int32_t> runRow(bool (*kernel)(int, int), int maxIters, int count, int row = 0)
{
    int32_t* p = app.iterationBuffer->rowValues(row);
    for (int i = 0; i < app.iterationBuffer->columns(); ++i)
        p[i] = 12345;
    EXPECT_TRUE(kernel(row, maxIters));
    return std::vector<int32_t>(p, p + count);
}

// Scalar emulation of one lane of the four-lane kernel in float arithmetic.
int referenceFloat(float cx, float cy, int maxIters)
{
    float zr = cx, zi = cy;
    int count = 0;
    for (int n = 0; n < maxIters; ++n) {
        float zr2 = zr * zr, zi2 = zi * zi, t = zi * zr;
        if (!(zi2 + zr2 < 4.0f))
            break;
        ++count;
        zi = (t + t) + cy;
        zr = (zr2 - zi2) + cx;
    }
    return count == maxIters ? -1 : count;
}

std::vector<int32_t> referenceSseRow(int row, int maxIters)
{
    int groups = app.width > 0 ? (app.width + 3) / 4 : 0;
    float xf = (float)app.xMin;
    float yf = (float)((double)row * app.stepY + app.yMin);
    float s = (float)app.stepY;
    float offsets[4] = {0.0f, s, s + s, 3.0f * s};
    float advance = 4.0f * (float)app.stepX;
    float cx[4];
    for (int k = 0; k < 4; ++k)
        cx[k] = xf + offsets[k];
    std::vector<int32_t> out;
    for (int g = 0; g < groups; ++g) {
        // A group runs until all its lanes escaped; a lane's count stops at its escape.
        for (int k = 0; k < 4; ++k)
            out.push_back(referenceFloat(cx[k], yf, maxIters));
        for (int k = 0; k < 4; ++k)
            cx[k] = cx[k] + advance;
    }
    return out;
}

class Kernels : public ::testing::Test {
protected:
    void SetUp() override { makeBuffer(512, 4); }
    void TearDown() override
    {
        delete app.iterationBuffer;
        app.iterationBuffer = nullptr;
    }
};

}  // namespace

TEST_F(Kernels, EdgePointsOfTheScalarKernels)
{
    // Columns: c = -2, 1, 0, 3 (|c|^2 > 4) on the real axis.
    for (auto kernel : {kernelFpuC, kernelFpuAsm, kernelFpuLongDouble}) {
        setView(1, -2.0, 0.0, 1.0);
        bool isC = kernel == kernelFpuC;
        EXPECT_EQ(runRow(kernel, 40, 1)[0], isC ? -1 : 0) << "c = -2";
        setView(1, 1.0, 0.0, 1.0);
        EXPECT_EQ(runRow(kernel, 40, 1)[0], isC ? 2 : 1) << "c = 1";
        setView(1, 0.0, 0.0, 1.0);
        EXPECT_EQ(runRow(kernel, 40, 1)[0], -1) << "c = 0";
        setView(1, 3.0, 0.0, 1.0);
        EXPECT_EQ(runRow(kernel, 40, 1)[0], 0) << "c = 3";
        // maxIters 1: inside the first test stores -1, outside 0.
        setView(4, -0.5, 0.0, 1.0);  // c = -0.5, 0.5, 1.5, 2.5
        std::vector<int32_t> one = runRow(kernel, 1, 4);
        EXPECT_EQ(one, (std::vector<int32_t>{-1, -1, -1, 0}));
        // Width 0 writes nothing.
        setView(0, 0.0, 0.0, 1.0);
        EXPECT_EQ(runRow(kernel, 40, 1)[0], 12345);
    }
}

TEST_F(Kernels, PlainKernelMatchesIndependentDoubleComputation)
{
    setView(500, -2.0, -1.5, 0.006);
    for (int row = 0; row < 4; ++row) {
        std::vector<int32_t> got = runRow(kernelFpuC, 200, 500, row);
        double y = (double)row * 0.006 + -1.5;
        double x = -2.0;
        for (int k = 0; k < 500; ++k) {
            ASSERT_EQ(got[k], referenceCountDouble(x, y, 200)) << "row " << row << " column " << k;
            x += 0.006;
        }
    }
}

TEST_F(Kernels, MachineCodeAndLongDoubleFormsAgreeOnWholeRows)
{
    // The start-up view and a deep zoom at the boundary of the set.
    struct View { double x0, y0, step; int limit; };
    for (View v : {View{-2.0, -1.5, 0.006, 40}, View{-2.0, -1.5, 0.006, 9999},
                   View{-0.743643887037151, 0.131825904205330, 1e-13, 2000},
                   View{-1.25066, 0.02012, 1.7e-7, 600}}) {
        setView(500, v.x0, v.y0, v.step);
        for (int row = 0; row < 4; ++row) {
            std::vector<int32_t> asmCounts = runRow(kernelFpuAsm, v.limit, 500, row);
            std::vector<int32_t> portable = runRow(kernelFpuLongDouble, v.limit, 500, row);
            ASSERT_EQ(asmCounts, portable) << "row " << row << " step " << v.step;
        }
    }
}

TEST_F(Kernels, FourLaneKernelMatchesFloatEmulation)
{
    struct View { double x0, y0, step; int limit; };
    // The start-up view; a deep zoom where neighbouring columns share a
    // float coordinate; a view with lanes that overflow to infinity.
    for (View v : {View{-2.0, -1.5, 0.006, 40}, View{-2.0, -1.5, 0.006, 1000},
                   View{-0.7436438870, 0.1318259042, 3e-9, 500},
                   View{-1e19, -1e19, 4e16, 30}}) {
        for (int width : {0, 1, 3, 4, 5, 500, 501}) {
            setView(width, v.x0, v.y0, v.step);
            for (int row = 0; row < 4; ++row) {
                std::vector<int32_t> expected = referenceSseRow(row, v.limit);
                int written = (int)expected.size();
                std::vector<int32_t> got = runRow(kernelSse, v.limit, written + 4, row);
                EXPECT_EQ(written, width == 0 ? 0 : ((width + 3) / 4) * 4);
                for (int k = 0; k < written; ++k)
                    ASSERT_EQ(got[k], expected[k]) << "width " << width << " column " << k;
                EXPECT_EQ(got[written], 12345) << "wrote beyond " << written;
            }
        }
    }
}

TEST_F(Kernels, FourLaneEdgeCases)
{
    // c = -2 stores 0 (not below 4), c = 1 stores 1, c = 0 stays inside,
    // c = 3 escapes at once: one lane inside and three escaping keep their counts.
    setView(4, -2.0, 0.0, 1.0);
    EXPECT_EQ(runRow(kernelSse, 40, 4), (std::vector<int32_t>{0, -1, -1, 1}));
    setView(4, 0.0, 0.0, 3.0);  // c = 0, 3, 6, 9
    EXPECT_EQ(runRow(kernelSse, 9998, 4), (std::vector<int32_t>{-1, 0, 0, 0}));
    setView(4, -0.5, 0.0, 1.0);  // maxIters 1: |c|^2 < 4 stores -1
    EXPECT_EQ(runRow(kernelSse, 1, 4), (std::vector<int32_t>{-1, -1, -1, 0}));
    // Lanes that overflow to infinity and then not-a-number keep their count.
    setView(4, 1e30, 0.0, 1e30);
    EXPECT_EQ(runRow(kernelSse, 50, 4), (std::vector<int32_t>{0, 0, 0, 0}));
    setView(4, 1.0e9, 0.0, 0.0);
    app.stepY = 0.0;
    EXPECT_EQ(runRow(kernelSse, 50, 4), (std::vector<int32_t>{0, 0, 0, 0}));
}

TEST(ProbeSse, AgreesWithTheProcessorFlags)
{
    // The kernel's own list of the processor's features, read independently.
    std::ifstream cpuinfo("/proc/cpuinfo");
    std::string line;
    bool listed = false;
    while (std::getline(cpuinfo, line))
        if (line.rfind("flags", 0) == 0) {
            listed = (line + " ").find(" sse ") != std::string::npos;
            break;
        }
    EXPECT_EQ(probeSse(), listed);
#if defined(__x86_64__)
    EXPECT_TRUE(probeSse());  // every x86-64 processor has SSE
#endif
}

TEST(IterationBufferStorage, RowsColumnsAndAbsentStorage)
{
    {
        IterationBuffer buffer(8, 2);
        EXPECT_EQ(buffer.columns(), 8);
        EXPECT_EQ(buffer.rows(), 2);
        EXPECT_EQ(buffer.cellCount(), 16);
        EXPECT_EQ(buffer.rowValues(1) - buffer.rowValues(0), 8);
        for (int r = 0; r < 2; ++r) {
            EXPECT_FALSE(buffer.isRowDone(r));
            for (int c = 0; c < 8; ++c)
                buffer.rowValues(r)[c] = -1;
        }
        EXPECT_EQ(buffer.sumIterations(40, -1), 0u);  // no row done
        buffer.setRowDone(0, 1);
        buffer.setRowDone(1, 257);  // low 8 bits: 1
        EXPECT_EQ(buffer.sumIterations(40, -1), 40u * 16);
        buffer.rowValues(1)[3] = 7;
        EXPECT_EQ(buffer.sumIterations(40, -1), 40u * 15 + 7);
        buffer.clear();
        EXPECT_EQ(buffer.sumIterations(40, -1), 0u);
        EXPECT_TRUE(buffer.isRowDone(0));  // clear keeps the flags
        buffer.resetRow(0);
        EXPECT_FALSE(buffer.isRowDone(0));
        EXPECT_EQ(buffer.rowPointer(0), nullptr);
        // Rows outside the buffer answer as for absent storage.
        EXPECT_EQ(buffer.rowValues(2), nullptr);
        EXPECT_EQ(buffer.rowValues(-1), nullptr);
        EXPECT_FALSE(buffer.isRowDone(5));
        buffer.setRowDone(5, 1);
    }
    // After destruction the storage is gone.
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
    EXPECT_EQ(huge.columns(), 0);
    EXPECT_EQ(huge.rows(), 0);
    EXPECT_FALSE(huge.isRowDone(0));
    EXPECT_EQ(huge.sumIterations(40, -1), 0u);
    huge.clear();
    // 70000 x 70000 would wrap to a small block in 32 bits.
    testing::internal::CaptureStdout();
    IterationBuffer wraps(70000, 70000 * 4);
    std::string said = testing::internal::GetCapturedStdout();
    if (wraps.rows() == 0)
        EXPECT_EQ(said, "ERROR: Failed to allocate pixel buffer\n");
    else
        EXPECT_EQ(wraps.cellCount(), (int64_t)70000 * 280000);
}

TEST(IterationBufferStorage, KernelsWriteNothingWithoutStorage)
{
    delete app.iterationBuffer;
    app.iterationBuffer = nullptr;
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
