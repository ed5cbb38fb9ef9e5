// The console benchmark, called as the key handler calls it, in the GL test
// window: its report read back from standard output, the state it leaves,
// and its two failures. Each full run takes seconds, so one run serves many
// checks.
#include <gtest/gtest.h>

#include <GL/glut.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <regex>
#include <string>
#include <vector>

#include "app/app.h"
#include "bench/bench.h"
#include "compute/compute.h"
#include "platform/platform.h"
#include "render/render.h"
#include "gl_support.h"
#include "reference.h"

namespace {

// Runs runBenchmark with file descriptor 1 pointed at a temporary file.
std::string captureBenchmark()
{
    fflush(stdout);
    FILE* capture = tmpfile();
    int original = dup(1);
    dup2(fileno(capture), 1);
    runBenchmark();
    fflush(stdout);
    dup2(original, 1);
    close(original);
    std::string text;
    rewind(capture);
    for (int c; (c = fgetc(capture)) != EOF;)
        text += (char)c;
    fclose(capture);
    return text;
}

// Lines without their terminators; a last line without one is kept as
// "<unterminated>...".
std::vector<std::string> splitLines(const std::string& text)
{
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
        lines.push_back(text.substr(start, end - start));
    if (start < text.size())
        lines.push_back("<unterminated>" + text.substr(start));
    return lines;
}

// A figure line "    %.3f <unit>": returns its value, or -1 when malformed.
double figure(const std::string& line, const char* unit)
{
    std::smatch m;
    std::regex pattern(std::string("    ([0-9]+\\.[0-9]{3}) ") + unit);
    return std::regex_match(line, m, pattern) ? atof(m[1].str().c_str()) : -1.0;
}

// The header lines 1 to 7, and the frequency line against the platform's.
void expectHeader(const std::vector<std::string>& lines)
{
    ASSERT_GE(lines.size(), 7u);
    EXPECT_EQ(lines[0], "");
    EXPECT_EQ(lines[1], "BENCHMARK (Using 1 CPU, no render)");
    int64_t frequency = 0;
    ASSERT_TRUE(platformCounterFrequency(&frequency));
    EXPECT_EQ(lines[2], " Sys perf timer freq: " + std::to_string(frequency) + " Hz");
    EXPECT_EQ(lines[3], " size:\t500*500");
    EXPECT_EQ(lines[4], " maxiters:\t9999");
    EXPECT_EQ(lines[5], " rangex:\t-2.00 to 1.00");
    EXPECT_EQ(lines[6], " rangey:\t-1.50 to 1.50");
}

struct Timing {
    double seconds, megaIters;
};

Timing expectTiming(const std::vector<std::string>& lines, size_t at)
{
    Timing t{figure(lines[at], "sec"), figure(lines[at + 1], "MegaIters/sec")};
    EXPECT_GT(t.seconds, 0.0) << lines[at];
    EXPECT_GT(t.megaIters, 0.0) << lines[at + 1];
    return t;
}

// Iterations of the buffer, inside points at 9999, summed wide.
uint64_t bufferTotal()
{
    uint64_t total = 0;
    for (int r = 0; r < 500; ++r) {
        const int32_t* p = app.iterationBuffer->rowValues(r);
        for (int c = 0; c < 500; ++c)
            total += p[c] == -1 ? 9999u : (uint32_t)p[c];
    }
    return total;
}

// Whether seconds x MegaIters/sec, as printed, gives `total` iterations.
void expectTotal(const Timing& t, uint64_t total, double tolerance)
{
    double printed = t.seconds * t.megaIters * 1e6;
    EXPECT_NEAR(printed / (double)total, 1.0, tolerance)
        << "printed " << printed << " iterations, buffer holds " << total;
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
    app.xMin = -0.8;
    app.xMax = -0.7;
    app.yMin = 0.1;
    app.yMax = 0.2;
    app.bailout = 9.0;
    app.sseAvailable = probeSse() && modeHasKernel(ModeSse);
    std::string report = captureBenchmark();
    fputs(report.c_str(), stdout);  // the figures, for the log
    std::vector<std::string> lines = splitLines(report);

    SCOPED_TRACE(::testing::Message() << "report has " << lines.size() << " lines");
    expectHeader(lines);
    ASSERT_EQ(lines.size(), app.sseAvailable ? 17u : 16u);
    size_t at = 7;
    EXPECT_EQ(lines[at++], "  SSE benchmark:");
    Timing sse{0, 0};
    if (app.sseAvailable) {
        sse = expectTiming(lines, at);
        at += 2;
    } else {
        EXPECT_EQ(lines[at++], "    Not supported.");
    }
    EXPECT_EQ(lines[at++], "  FPU ASM benchmark:");
    Timing fpuAsm = expectTiming(lines, at);
    at += 2;
    EXPECT_EQ(lines[at++], "  FPU C benchmark:");
    Timing fpuC = expectTiming(lines, at);
    at += 2;
    EXPECT_EQ(lines[at], "");

    // The buffer stays 500 x 500 with the plain kernel's counts of the
    // start-up view at 9999, every row done.
    ASSERT_NE(app.iterationBuffer, nullptr);
    ASSERT_EQ(app.iterationBuffer->columns(), 500);
    ASSERT_EQ(app.iterationBuffer->rows(), 500);
    for (int r = 0; r < 500; ++r)
        ASSERT_TRUE(app.iterationBuffer->isRowDone(r)) << "row " << r;
    for (int r : {0, 137, 250, 499}) {
        const int32_t* p = app.iterationBuffer->rowValues(r);
        double y = r * 0.006 + -1.5, x = -2.0;
        for (int c = 0; c < 500; ++c, x += 0.006)
            ASSERT_EQ(p[c], referenceCountDouble(x, y, 9999)) << "row " << r << " column " << c;
    }

    // The totals count inside points at the full limit.
    uint64_t total = bufferTotal();
    EXPECT_EQ(app.iterationBuffer->sumIterations(9999, -1), total);
    expectTotal(fpuC, total, 0.0006 / fpuC.seconds + 1e-5);
    expectTotal(fpuAsm, total, 0.02);
    if (app.sseAvailable)
        expectTotal(sse, total, 0.02);

    // The user's window, limit and mode come back; the view is the start-up
    // view with the steps of a 640-wide window.
    EXPECT_EQ(app.width, 640);
    EXPECT_EQ(app.height, 480);
    EXPECT_EQ(app.maxIters, 100);
    EXPECT_EQ(app.computeMode, ModeGpu);
    EXPECT_EQ(app.xMin, -2.0);
    EXPECT_EQ(app.yMin, -1.5);
    EXPECT_EQ(app.xMax, 1.0);
    EXPECT_EQ(app.yMax, 1.5);
    EXPECT_EQ(app.bailout, 4.0);
    EXPECT_EQ(app.stepX, 3.0 / 640);
    EXPECT_EQ(app.stepY, 3.0 / 640);
    EXPECT_TRUE(app.resizePending);
    EXPECT_STREQ(app.titleBuffer, ("Vexa v3.0.0b 640*480 i=100 GPU " +
                                   std::string((const char*)glGetString(GL_RENDERER)))
                                      .c_str());

    // The next frame is a GPU frame: it leaves the benchmark's buffer alone.
    IterationBuffer* left = app.iterationBuffer;
    renderFrame(app.maxIters, app.computeMode);
    EXPECT_EQ(app.iterationBuffer, left);
    EXPECT_EQ(app.iterationBuffer->columns(), 500);
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

    std::vector<std::string> lines = splitLines(captureBenchmark());
    expectHeader(lines);
    ASSERT_EQ(lines.size(), 16u);
    EXPECT_EQ(lines[7], "  SSE benchmark:");
    EXPECT_EQ(lines[8], "    Not supported.");
    EXPECT_EQ(lines[9], "  FPU ASM benchmark:");
    expectTiming(lines, 10);
    EXPECT_EQ(lines[12], "  FPU C benchmark:");
    expectTiming(lines, 13);
    EXPECT_EQ(lines[15], "");
    EXPECT_EQ(app.computeMode, ModeFpuAsm);
    EXPECT_EQ(app.maxIters, 40);

    renderFrame(app.maxIters, app.computeMode);
    EXPECT_TRUE(readPixelsTopDown(500, 500) == before);
}

bool refuseFrequency(int64_t*)
{
    return false;
}

bool refuseRead(int64_t*)
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
    const double stepX = app.stepX;
    std::string title = app.titleBuffer;

    for (auto failing : {0, 1}) {
        benchmarkSources = saved;
        if (failing == 0)
            benchmarkSources.counterFrequency = refuseFrequency;
        else
            benchmarkSources.counterRead = refuseRead;
        EXPECT_EQ(splitLines(captureBenchmark()),
                  std::vector<std::string>{"ERROR: System does not support performance counters."});
        EXPECT_EQ(app.iterationBuffer, buffer);
        EXPECT_EQ(app.iterationBuffer->columns(), 320);
        EXPECT_EQ(app.width, 320);
        EXPECT_EQ(app.height, 200);
        EXPECT_EQ(app.maxIters, 77);
        EXPECT_EQ(app.xMin, -0.5);
        EXPECT_EQ(app.stepX, stepX);
        EXPECT_FALSE(app.resizePending);
        EXPECT_EQ(app.titleBuffer, title);
    }
}

// No 500 x 500 buffer: the buffer's own error, no runs, the window as it was,
// and the next frame builds a buffer of the window's size again.
TEST_F(Benchmark, WithoutBufferSkipsTheRunsAndRestoresTheWindow)
{
    resetAppForGl(320, 200, ModeFpuAsm);
    app.maxIters = 60;
    app.xMin = -1.0;
    app.yMin = -0.5;
    app.xMax = 0.5;
    app.yMax = 0.5;
    onReshape(320, 200);
    renderFrame(app.maxIters, app.computeMode);
    const double stepX = app.stepX;
    std::string title = app.titleBuffer;
    benchmarkSources.makeBuffer = makeRefusedBuffer;

    EXPECT_EQ(splitLines(captureBenchmark()),
              std::vector<std::string>{"ERROR: Failed to allocate pixel buffer"});
    EXPECT_EQ(app.width, 320);
    EXPECT_EQ(app.height, 200);
    EXPECT_EQ(app.maxIters, 60);
    EXPECT_EQ(app.xMin, -1.0);
    EXPECT_EQ(app.yMin, -0.5);
    EXPECT_EQ(app.xMax, 0.5);
    EXPECT_EQ(app.yMax, 0.5);
    EXPECT_EQ(app.stepX, stepX);
    EXPECT_EQ(app.titleBuffer, title);
    EXPECT_TRUE(app.resizePending);

    renderFrame(app.maxIters, app.computeMode);
    ASSERT_NE(app.iterationBuffer, nullptr);
    EXPECT_EQ(app.iterationBuffer->columns(), 320);
    EXPECT_EQ(app.iterationBuffer->rows(), 200);
    for (int r = 0; r < 200; ++r)
        EXPECT_TRUE(app.iterationBuffer->isRowDone(r)) << "row " << r;
}

}  // namespace
