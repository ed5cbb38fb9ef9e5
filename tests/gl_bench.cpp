// The console benchmark, called as the key handler calls it, in the GL test
// window: its report read back from standard output, the state it leaves,
// and its two failures. Each full run takes seconds, so one run serves many
// checks.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <regex>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "app/app.h"
#include "bench/bench.h"
#include "compute/compute.h"
#include "gl_support.h"
#include "platform/platform.h"
#include "reference.h"
#include "render/render.h"

namespace {

// The report's lines without their terminators; every line must have one.
std::vector<std::string> benchmarkLines()
{
    testing::internal::CaptureStdout();
    runBenchmark();
    std::string text = testing::internal::GetCapturedStdout();
    EXPECT_EQ(text.back(), '\n') << text;
    std::istringstream in(text);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

// Compares the report line by line with its shape; returns the printed
// figures, seconds and MegaIters/sec of each section that ran.
std::vector<double> expectReport(const std::vector<std::string>& lines, bool sse)
{
    int64_t frequency = 0;
    EXPECT_TRUE(platformCounterFrequency(&frequency));
    std::vector<std::string> want = {"", "BENCHMARK (Using 1 CPU, no render)",
                                     " Sys perf timer freq: " + std::to_string(frequency) + " Hz",
                                     " size:\t500*500", " maxiters:\t9999",
                                     " rangex:\t-2.00 to 1.00", " rangey:\t-1.50 to 1.50"};
    for (std::string section : {"SSE", "FPU ASM", "FPU C"}) {
        want.push_back("  " + section + " benchmark:");
        if (section == "SSE" && !sse) {
            want.push_back("    Not supported.");
            continue;
        }
        want.push_back("sec");
        want.push_back("MegaIters/sec");
    }
    want.push_back("");
    EXPECT_EQ(lines.size(), want.size());
    std::vector<double> figures;
    for (size_t i = 0; i < std::min(lines.size(), want.size()); ++i) {
        if (want[i] != "sec" && want[i] != "MegaIters/sec") {
            EXPECT_EQ(lines[i], want[i]) << "line " << i;
            continue;
        }
        std::smatch m;
        bool ok = std::regex_match(lines[i], m, std::regex("    ([0-9]+\\.[0-9]{3}) " + want[i]));
        figures.push_back(ok ? atof(m[1].str().c_str()) : -1.0);
        EXPECT_GT(figures.back(), 0.0) << lines[i];
    }
    return figures;
}

// Whether seconds x MegaIters/sec, as printed, gives `total` iterations.
void expectTotal(double seconds, double megaIters, uint64_t total, double tolerance)
{
    EXPECT_NEAR(seconds * megaIters * 1e6 / (double)total, 1.0, tolerance)
        << seconds << " s at " << megaIters << " MegaIters/sec; the buffer holds " << total;
}

// What a failed benchmark must leave as it was, as one comparable text.
std::string userState()
{
    std::ostringstream s;
    s << std::hexfloat << app.width << "*" << app.height << " i=" << app.maxIters << " mode "
      << app.computeMode << " view " << app.xMin << " " << app.yMin << " " << app.xMax << " "
      << app.yMax << " steps " << app.stepX << " " << app.stepY << " " << app.titleBuffer;
    return s.str();
}

class Benchmark : public ::testing::Test {
protected:
    void TearDown() override { benchmarkSources = saved; }
    BenchmarkSources saved = benchmarkSources;
};

// One full run, started in the GPU mode with limit 100 in a 640 x 480 state
// and a zoomed view, with SSE where the processor has it.
TEST_F(Benchmark, ReportAndStateAfterAFullRunFromGpuMode)
{
    resetAppForGl(640, 480, ModeGpu);
    app.maxIters = 100;
    app.xMin = -0.8, app.xMax = -0.7, app.yMin = 0.1, app.yMax = 0.2;
    app.bailout = 9.0;
    app.sseAvailable = sseModeAvailable();
    std::vector<double> figures = expectReport(benchmarkLines(), app.sseAvailable);
    ASSERT_EQ(figures.size(), app.sseAvailable ? 6u : 4u);

    // The buffer stays 500 x 500 with the plain kernel's counts of the
    // start-up view at 9999, every row done.
    ASSERT_NE(app.iterationBuffer, nullptr);
    ASSERT_EQ(app.iterationBuffer->columns(), 500);
    ASSERT_EQ(app.iterationBuffer->rows(), 500);
    uint64_t total = 0;  // inside points count the full limit
    for (int r = 0; r < 500; ++r) {
        ASSERT_TRUE(app.iterationBuffer->isRowDone(r)) << "row " << r;
        const int32_t* p = app.iterationBuffer->rowValues(r);
        double y = r * 0.006 + -1.5, x = -2.0;
        for (int c = 0; c < 500; ++c, x += 0.006) {
            if (r % 137 == 0 || r == 499) {
                ASSERT_EQ(p[c], referenceCountDouble(x, y, 9999)) << "row " << r << " column " << c;
            }
            total += p[c] == -1 ? 9999u : (uint32_t)p[c];
        }
    }
    EXPECT_EQ(app.iterationBuffer->sumIterations(9999, -1), total);
    size_t c = figures.size() - 2;  // FPU C comes last, FPU ASM before it
    expectTotal(figures[c], figures[c + 1], total, 0.0006 / figures[c] + 1e-5);
    for (size_t i = 0; i < c; i += 2)
        expectTotal(figures[i], figures[i + 1], total, 0.02 + 0.0006 / figures[i]);

    // The user's window, limit and mode come back; the view is the start-up
    // view with the steps of a 640-wide window.
    EXPECT_EQ(std::make_tuple(app.width, app.height, app.maxIters, app.computeMode),
              std::make_tuple(640, 480, 100, (int32_t)ModeGpu));
    EXPECT_EQ(std::make_tuple(app.xMin, app.yMin, app.xMax, app.yMax, app.bailout),
              std::make_tuple(-2.0, -1.5, 1.0, 1.5, 4.0));
    EXPECT_EQ(app.stepX, 3.0 / 640);
    EXPECT_EQ(app.stepY, 3.0 / 640);
    EXPECT_TRUE(app.resizePending);
    EXPECT_EQ(std::string(app.titleBuffer),
              "Vexa v3.0.0b 640*480 i=100 GPU " + std::string((const char*)glGetString(GL_RENDERER)));

    // The next frame is a GPU frame: it leaves the benchmark's buffer alone.
    IterationBuffer* left = app.iterationBuffer;
    renderFrame(app.maxIters, app.computeMode);
    EXPECT_EQ(app.iterationBuffer, left);
    EXPECT_TRUE(app.resizePending);
}

// Without SSE the first section says so; the next frame in a processor mode
// draws the same picture as before the benchmark.
TEST_F(Benchmark, WithoutSseReportsNotSupportedAndRedrawsTheWindow)
{
    resetAppForGl(500, 500, ModeFpuAsm);
    app.sseAvailable = false;
    renderFrame(app.maxIters, app.computeMode);
    std::vector<Rgb> before = readPixelsTopDown(500, 500);
    expectReport(benchmarkLines(), false);
    EXPECT_EQ(app.computeMode, ModeFpuAsm);
    EXPECT_EQ(app.maxIters, 40);
    renderFrame(app.maxIters, app.computeMode);
    EXPECT_TRUE(readPixelsTopDown(500, 500) == before);
}

bool refuse(int64_t*)
{
    return false;
}

IterationBuffer* makeRefusedBuffer(int, int)
{
    return new IterationBuffer(-1, -1);  // a size no allocation can meet
}

// A counter that cannot be queried or read: one error line, nothing changed.
TEST_F(Benchmark, WithoutCounterPrintsTheErrorAndChangesNothing)
{
    resetAppForGl(320, 200, ModeFpuC);
    app.maxIters = 77;
    app.xMin = -0.5;
    renderFrame(app.maxIters, app.computeMode);
    IterationBuffer* buffer = app.iterationBuffer;
    const std::string before = userState();
    for (int failing : {0, 1}) {
        benchmarkSources = saved;
        (failing ? benchmarkSources.counterRead : benchmarkSources.counterFrequency) = refuse;
        EXPECT_EQ(benchmarkLines(),
                  std::vector<std::string>{"ERROR: System does not support performance counters."});
        EXPECT_EQ(userState(), before);
        EXPECT_EQ(app.iterationBuffer, buffer);
        EXPECT_EQ(app.iterationBuffer->columns(), 320);
        EXPECT_FALSE(app.resizePending);
    }
}

// No 500 x 500 buffer: the buffer's own error, no runs, the window as it was,
// and the next frame builds a buffer of the window's size again.
TEST_F(Benchmark, WithoutBufferSkipsTheRunsAndRestoresTheWindow)
{
    resetAppForGl(320, 200, ModeFpuAsm);
    app.maxIters = 60;
    app.xMin = -1.0, app.yMin = -0.5, app.xMax = 0.5, app.yMax = 0.5;
    onReshape(320, 200);
    renderFrame(app.maxIters, app.computeMode);
    const std::string before = userState();
    benchmarkSources.makeBuffer = makeRefusedBuffer;
    EXPECT_EQ(benchmarkLines(), std::vector<std::string>{"ERROR: Failed to allocate pixel buffer"});
    EXPECT_EQ(userState(), before);
    EXPECT_TRUE(app.resizePending);

    renderFrame(app.maxIters, app.computeMode);
    ASSERT_NE(app.iterationBuffer, nullptr);
    EXPECT_EQ(app.iterationBuffer->columns(), 320);
    EXPECT_EQ(app.iterationBuffer->rows(), 200);
    for (int r = 0; r < 200; ++r)
        EXPECT_TRUE(app.iterationBuffer->isRowDone(r)) << "row " << r;
}

}  // namespace
