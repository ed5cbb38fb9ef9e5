// Whole frames through the real GL: pixels read back against counts computed
// here, the hand-off under stress, reshapes, and the frame pass when buffers
// cannot be had.
#include <GL/gl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <cfenv>
#include <chrono>
#include <climits>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "app/app.h"
#include "compute/compute.h"
#include "gl_support.h"
#include "reference.h"
#include "platform/platform.h"
#include "render/render.h"

#ifdef __SSE__
#include <xmmintrin.h>
#endif

namespace {

std::vector<Rgb> expectedPicture(int w, int h, int maxIters)
{
    std::vector<Rgb> picture;
    for (int r = 0; r < h; ++r)
        for (int n : referenceRowDouble(app.xMin, app.yMin, app.stepX, w, r, maxIters)) {
            const uint8_t* c = app.palette + 3 * (n < 0 ? 0 : n);
            picture.push_back(n < 0 ? Rgb{0, 0, 0} : Rgb{c[0], c[1], c[2]});
        }
    return picture;
}

// "" when the pictures agree, else where the first difference lies.
std::string firstDifference(const std::vector<Rgb>& a, const std::vector<Rgb>& b, int w)
{
    for (size_t i = 0; i < a.size(); ++i)
        if (!(a[i] == b[i]))
            return "row " + std::to_string(i / w) + " column " + std::to_string(i % w);
    return "";
}

}  // namespace

TEST(GlFrame, WholeFrameEqualsPaletteColoursOfCounts)
{
    for (int participants : {1, 2, 3}) {
        resetAppForGl(500, 500, ModeFpuC);
        app.cpuCount = participants;
        renderFrame(app.maxIters, app.computeMode);
        EXPECT_EQ(firstDifference(readPixelsTopDown(500, 500), expectedPicture(500, 500, 40), 500), "")
            << participants << " participants";
    }
}

TEST(GlFrame, FirstAndLastRowsAndColumnsLandOnTheirOwnPixels)
{
    // An odd size so that nothing lines up by luck.
    resetAppForGl(211, 173, ModeFpuC);
    app.cpuCount = 2;
    renderFrame(app.maxIters, app.computeMode);
    EXPECT_EQ(firstDifference(readPixelsTopDown(211, 173), expectedPicture(211, 173, 40), 211), "");
}

TEST(GlFrame, ArrayAndPointPathsDrawTheSamePixels)
{
    resetAppForGl(300, 200, ModeSse);
    app.cpuCount = 2;
    renderFrame(app.maxIters, app.computeMode);
    std::vector<Rgb> arrays = readPixelsTopDown(300, 200);
    app.arraysAvailable = false;
    renderFrame(app.maxIters, app.computeMode);
    EXPECT_EQ(firstDifference(arrays, readPixelsTopDown(300, 200), 300), "");
    // Without scratch arrays rows take the point path instead of writing through null.
    app.arraysAvailable = true;
    free(app.rowColors);
    app.rowColors = nullptr;
    glClear(GL_COLOR_BUFFER_BIT);
    for (int r = 0; r < 200; ++r)
        EXPECT_TRUE(drawRow(r, ModeSse));
    EXPECT_EQ(firstDifference(arrays, readPixelsTopDown(300, 200), 300), "");
    app.resizePending = true;
}

TEST(GlFrame, NoPaletteDrawsNothing)
{
    resetAppForGl(100, 100, ModeFpuC);
    renderFrame(app.maxIters, app.computeMode);
    uint8_t* palette = app.palette;
    app.palette = nullptr;
    glClear(GL_COLOR_BUFFER_BIT);
    EXPECT_FALSE(drawRow(0, ModeFpuC));
    renderFrame(app.maxIters, app.computeMode);  // computes, draws nothing, ends
    for (const Rgb& p : readPixelsTopDown(100, 100))
        ASSERT_EQ(p, (Rgb{0, 0, 0}));
    app.palette = palette;
}

TEST(GlFrame, DrawRowWithoutBufferAndComputeRowInGpuMode)
{
    resetAppForGl(100, 100, ModeFpuC);
    EXPECT_FALSE(drawRow(0, ModeFpuC));  // before the first CPU frame
    renderFrame(app.maxIters, ModeFpuC);
    EXPECT_TRUE(app.iterationBuffer->isRowDone(5));
    EXPECT_FALSE(computeRow(5, 40, ModeGpu));
    EXPECT_FALSE(app.iterationBuffer->isRowDone(5));
    EXPECT_FALSE(computeRow(5, 40, 2));
}

namespace {

// Kernels that refuse rows, as a kernel missing from a build would.
bool refuseEveryRow(int, int)
{
    return false;
}

bool refuseOddRows(int row, int maxIters)
{
    return row % 2 == 0 && kernelFpuC(row, maxIters);
}

// Ends the test program if a frame has not come back within a minute: a
// pass that waits for a row nobody will finish never returns.
struct FrameWatchdog {
    std::atomic<bool> finished{false};
    std::thread watcher{[this] {
        for (int waited = 0; waited < 60000 && !finished; waited += 10)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        if (!finished) {
            fputs("the frame pass waited for rows no kernel computed\n", stderr);
            _exit(1);
        }
    }};
    ~FrameWatchdog()
    {
        finished = true;
        watcher.join();
    }
};

}  // namespace

TEST(GlFrame, RowsAKernelRefusesNeitherHangNorShowOldCounts)
{
    for (int participants : {1, 3}) {
        resetAppForGl(100, 100, ModeFpuC);
        app.cpuCount = participants;
        renderFrame(app.maxIters, app.computeMode);  // the buffer holds a picture now
        const std::vector<Rgb> picture = readPixelsTopDown(100, 100);
        {
            FrameWatchdog watchdog;
            modeKernelStandIn = refuseEveryRow;
            renderFrame(app.maxIters, app.computeMode);
            EXPECT_EQ(readPixelsTopDown(100, 100), std::vector<Rgb>(100 * 100, Rgb{0, 0, 0}))
                << participants << " participants";
            // Half the rows refused: the others are drawn, the refused stay black.
            modeKernelStandIn = refuseOddRows;
            renderFrame(app.maxIters, app.computeMode);
            modeKernelStandIn = nullptr;
        }
        std::vector<Rgb> expected = picture;
        for (int r = 1; r < 100; r += 2)
            std::fill(expected.begin() + r * 100, expected.begin() + (r + 1) * 100, Rgb{0, 0, 0});
        EXPECT_EQ(firstDifference(readPixelsTopDown(100, 100), expected, 100), "")
            << participants << " participants";
        // The workers are ready for the next frame, which is whole again.
        renderFrame(app.maxIters, app.computeMode);
        EXPECT_EQ(firstDifference(readPixelsTopDown(100, 100), picture, 100), "");
    }
}

namespace {

std::thread::id mainThread;

// The main thread's rows refused, as a kernel missing there would; the
// workers' rows computed.
bool refuseOnTheMainThread(int row, int maxIters)
{
    return std::this_thread::get_id() != mainThread && kernelFpuC(row, maxIters);
}

// Slows each row a worker computes, so that the main thread's scans run
// long before the workers are done.
void slowRow(int)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(3));
}

}  // namespace

// Each refused row counts once: counted twice, the scans would take the
// frame as whole before the workers' rows are done, and leave them undrawn.
TEST(GlFrame, RefusedRowsCountOnceAndEveryComputedRowIsDrawn)
{
    resetAppForGl(100, 100, ModeFpuC);
    app.cpuCount = 3;
    mainThread = std::this_thread::get_id();
    renderFrame(app.maxIters, app.computeMode);
    const std::vector<Rgb> picture = readPixelsTopDown(100, 100);
    const RowShare own = mainThreadShare(3, 100);
    {
        FrameWatchdog watchdog;
        modeKernelStandIn = refuseOnTheMainThread;
        rowComputedHook = slowRow;
        renderFrame(app.maxIters, app.computeMode);
        rowComputedHook = nullptr;
        modeKernelStandIn = nullptr;
    }
    EXPECT_EQ(app.refusedRows.load(), own.end - own.first);
    std::vector<Rgb> expected = picture;
    std::fill(expected.begin() + own.first * 100, expected.begin() + own.end * 100, Rgb{0, 0, 0});
    EXPECT_EQ(firstDifference(readPixelsTopDown(100, 100), expected, 100), "");
    renderFrame(app.maxIters, app.computeMode);  // the workers are done before the test ends
}

namespace {

// What a library on the main thread might leave behind: rounding upward and,
// where this build has SSE, flush-to-zero with denormals-are-zero.
void leaveOddFloatMode()
{
    fesetround(FE_UPWARD);
#ifdef __SSE__
    _mm_setcsr(_mm_getcsr() | 0x8040);
#endif
}

std::atomic<int> rowsComputed{0}, rowsInOddMode{0}, newThreadDefault{-1};

}  // namespace

// The GL driver runs code on the main thread between frames. Whatever float
// mode it leaves, every row of a frame, on every thread, and every thread
// started afterwards compute in the default one.
TEST(GlFrame, RowsAndNewThreadsComputeInTheDefaultFloatMode)
{
    rowsComputed = rowsInOddMode = 0;
    rowComputedHook = [](int) {
        ++rowsComputed;
        rowsInOddMode += !platformFloatModeIsDefault();
    };
    for (int mode : {ModeFpuC, ModeFpuAsm, ModeSse}) {
        if (!modeHasKernel(mode))
            continue;
        resetAppForGl(100, 100, mode);
        app.cpuCount = poolParticipants;
        leaveOddFloatMode();
        ASSERT_FALSE(platformFloatModeIsDefault());
        renderFrame(app.maxIters, mode);
    }
    rowComputedHook = nullptr;
    EXPECT_GE(rowsComputed, 200);
    EXPECT_EQ(rowsInOddMode, 0);

    leaveOddFloatMode();
    newThreadDefault = -1;
    ASSERT_TRUE(platformStartThread([](int) { newThreadDefault = platformFloatModeIsDefault(); }, 0,
                                    nullptr, nullptr));
    while (newThreadDefault < 0)
        platformSleep(1);
    EXPECT_EQ(newThreadDefault, 1) << "a new thread took its creator's float mode";
    platformSetDefaultFloatMode();
}

TEST(GlReshape, WiderWindowKeepsExtentAndTopEdge)
{
    resetAppForGl(500, 500, ModeFpuC);
    onReshape(1000, 500);
    EXPECT_EQ(app.stepX, 0.003);
    EXPECT_EQ(app.stepY, app.stepX);
    EXPECT_EQ(std::make_tuple(app.xMin, app.xMax, app.yMin, app.yMax),
              std::make_tuple(-2.0, 1.0, -1.5, 1.5));
    EXPECT_TRUE(app.resizePending);
    renderFrame(app.maxIters, app.computeMode);
    EXPECT_EQ(app.iterationBuffer->columns(), 1000);
    EXPECT_EQ(app.iterationBuffer->rows(), 500);
    onReshape(501, 3);
    renderFrame(app.maxIters, app.computeMode);
    EXPECT_EQ(app.iterationBuffer->columns(), 504);  // whole groups of four
}

TEST(GlReshape, EmptyWindowKeepsStepsAndDrawsNothing)
{
    resetAppForGl(500, 500, ModeFpuC);
    renderFrame(app.maxIters, app.computeMode);
    double step = app.stepX;
    for (auto size : {std::pair<int, int>{0, 0}, {0, 500}, {500, 0}}) {
        onReshape(size.first, size.second);
        EXPECT_EQ(app.stepX, step);
        EXPECT_EQ(app.stepY, step);
        EXPECT_EQ(app.xMin, -2.0);
        glClearColor(1, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT);
        glClearColor(0, 0, 0, 1);
        EXPECT_TRUE(renderFrame(app.maxIters, app.computeMode));
        EXPECT_EQ(readPixelsTopDown(1, 1)[0], (Rgb{255, 0, 0}));
    }
    onReshape(500, 500);
    EXPECT_EQ(app.stepX, 0.006);
    renderFrame(app.maxIters, app.computeMode);
    EXPECT_EQ(firstDifference(readPixelsTopDown(500, 500), expectedPicture(500, 500, 40), 500), "");
}

TEST(GlReshape, BufferThatCannotBeHadNeitherHangsNorCrashes)
{
    for (auto size : {std::pair<int, int>{100000, 100000}, {INT_MAX, 2}}) {
        resetAppForGl(500, 500, ModeFpuC);
        app.cpuCount = 3;
        onReshape(size.first, size.second);
        testing::internal::CaptureStdout();
        EXPECT_TRUE(renderFrame(app.maxIters, app.computeMode));
        std::string said = testing::internal::GetCapturedStdout();
        EXPECT_NE(said.find("ERROR: Failed to allocate pixel buffer\n"), std::string::npos) << said;
        EXPECT_EQ(app.iterationBuffer->rowValues(0), nullptr);
        EXPECT_EQ(app.pendingWorkers.load(), 0);
        EXPECT_FALSE(drawRow(0, ModeFpuC));
    }
    // The next usable size works as usual.
    onReshape(500, 500);
    renderFrame(app.maxIters, app.computeMode);
    EXPECT_EQ(firstDifference(readPixelsTopDown(500, 500), expectedPicture(500, 500, 40), 500), "");
}

namespace {

std::atomic<int> computedRows[500];
std::atomic<long> computedTotal{0};

void countRow(int row)
{
    computedRows[row].fetch_add(1, std::memory_order_relaxed);
    computedTotal.fetch_add(1, std::memory_order_relaxed);
}

}  // namespace

TEST(GlHandOff, PoolCreationStoppedAtTheRefusedThread)
{
    EXPECT_EQ(poolParticipants, 8) << poolReport;
    // Workers' greetings may interleave; the refusal is a line of its own.
    std::string report = "\n" + poolReport;
    EXPECT_NE(report.find("\n*ERROR* Failed to create calc thread 8"), std::string::npos) << poolReport;
}

TEST(GlHandOff, ThousandsOfFramesEveryRowExactlyOnce)
{
    // Frames back to back with every participant count from 1 to 8 (more
    // than this machine's cores) and heights 1, 2, 3 and 500: no hang, and
    // each row computed exactly once per frame, none late.
    rowComputedHook = countRow;
    long frames = 0, rowsExpected = 0;
    for (int participants = 1; participants <= 8; ++participants) {
        for (int h : {1, 2, 3, 500}) {
            resetAppForGl(4, h, ModeFpuC);
            app.maxIters = 8;
            app.cpuCount = participants;
            int count = h == 500 ? 40 : 120;
            for (int f = 0; f < count; ++f) {
                for (int r = 0; r < h; ++r)
                    computedRows[r].store(0);
                renderFrame(app.maxIters, app.computeMode);
                for (int r = 0; r < h; ++r)
                    ASSERT_EQ(computedRows[r].load(), 1)
                        << "row " << r << " of " << h << ", " << participants << " participants";
                ++frames;
                rowsExpected += h;
            }
        }
    }
    // Let any straggler show itself before the totals are compared.
    while (app.pendingWorkers.load() != 0)
        platformSleep(1);
    platformSleep(20);
    rowComputedHook = nullptr;
    EXPECT_GE(frames, 2000);
    EXPECT_EQ(computedTotal.load(), rowsExpected);
    EXPECT_EQ(app.pendingWorkers.load(), 0);
    app.cpuCount = poolParticipants;
}
