// The ceiling runs of the vector forms: each runs its form's exact step on
// every vector it says it runs, and counts every step of points that never
// escape. Checked against the step computed here, one point at a time.
#include <gtest/gtest.h>

#include <string>

#include "bench/bench.h"
#include "compute/compute.h"
#include "reference.h"
#include "state/app_state.h"

namespace {

constexpr double Cx = -0.5, Cy = 0.25;
constexpr int Steps = 1000;

// The lanes of each vector form, by the form's name.
int lanesOf(const std::string& name)
{
    const bool floats = name.rfind("kernelSse/", 0) == 0;
    if (name.find("/avx512") != std::string::npos)
        return floats ? 16 : 8;
    if (name.find("/avx2") != std::string::npos)
        return floats ? 8 : 4;
    return floats ? 4 : 2;  // sse, sse2, neon
}

// z after `steps` steps from 0: the four-lane loop's float step, or the
// scalar double loop's.
void floatOrbit(double cxValue, double cyValue, int steps, double* zrOut, double* ziOut)
{
    const float cx = (float)cxValue, cy = (float)cyValue;
    float zr = 0.0f, zi = 0.0f;
    for (int i = 0; i < steps; ++i) {
        const float zr2 = asFloat(zr * zr), zi2 = asFloat(zi * zi), t = asFloat(zi * zr);
        zi = asFloat(asFloat(t + t) + cy);
        zr = asFloat(asFloat(zr2 - zi2) + cx);
    }
    *zrOut = zr;
    *ziOut = zi;
}

void doubleOrbit(double cx, double cy, int steps, double* zrOut, double* ziOut)
{
    double zr = 0.0, zi = 0.0;
    for (int i = 0; i < steps; ++i) {
        const double zr2 = zr * zr, zi2 = zi * zi;
        zi = 2.0 * zi * zr + cy;
        zr = zr2 - zi2 + cx;
    }
    *zrOut = zr;
    *ziOut = zi;
}

// A stand-in ceiling run of 4 lanes on a clock of nanoseconds: each step
// of a pass takes a microsecond, twice that when the pass starts within
// the slow spell [slowFrom, slowUntil).
int64_t clockNs = 0, slowFrom = 0, slowUntil = 0;

bool readClock(int64_t* now)
{
    *now = clockNs;
    return true;
}

int standInRun(int, int64_t steps, double, double, CeilingEnd*)
{
    clockNs += steps * (clockNs >= slowFrom && clockNs < slowUntil ? 2000 : 1000);
    return 4;
}

}  // namespace

TEST(Ceiling, EachVectorRunsTheFormStepAndCountsEveryStep)
{
    int tried = 0;
    for (const FormRow& row : formTable()) {
        if (!ceilingForm(row))
            continue;
        const bool floats = row.mode == ModeSse;
        for (int vectors : CeilingVectors) {
            SCOPED_TRACE(std::string(row.name) + ", " + std::to_string(vectors) + " vectors");
            CeilingEnd end = {0.0, 0.0, 0, 0.0};
            ASSERT_EQ(row.ceiling(vectors, Steps, Cx, Cy, &end), lanesOf(row.name));
            // Vector b iterates c = Cx - b/1024 + Cy i; the sum runs from the last.
            double zr = 0.0, zi = 0.0, sum = 0.0;
            for (int b = vectors - 1; b >= 0; --b) {
                (floats ? floatOrbit : doubleOrbit)(Cx - b / 1024.0, Cy, Steps, &zr, &zi);
                sum += zr + zi + Steps;
            }
            EXPECT_EQ(end.zr, zr);
            EXPECT_EQ(end.zi, zi);
            EXPECT_EQ(end.count, Steps);
            EXPECT_EQ(end.sum, sum);
        }
        // A number of vectors not offered runs nothing.
        CeilingEnd end = {1.0, 2.0, 3, 4.0};
        EXPECT_EQ(row.ceiling(5, Steps, Cx, Cy, &end), 0) << row.name;
        EXPECT_EQ(end.count, 3) << row.name;
        ++tried;
    }
    if (tried == 0)
        GTEST_SKIP() << "this processor runs no vector form of this build";
}

// Every number of vectors runs a step in the same time here, so the most
// vectors give the ceiling: 4 lanes each a microsecond. A spell of a fifth of
// the measurement at half speed, wherever it falls, must not lower it.
TEST(Ceiling, ASlowSpellWhileMeasuringLeavesTheCeilingAsItIs)
{
    const BenchmarkSources saved = benchmarkSources;
    const int64_t savedFrequency = app.counterFrequency;
    benchmarkSources.counterRead = readClock;
    app.counterFrequency = 1000000000;
    const int most = CeilingVectors.back();
    clockNs = slowFrom = slowUntil = 0;
    const Ceiling calm = measureCeiling(standInRun);
    const int64_t total = clockNs;
    EXPECT_EQ(calm.vectors, most);
    EXPECT_EQ(calm.lanes, 4);
    EXPECT_DOUBLE_EQ(calm.megaItersPerSecond, 4.0 * most);
    for (int64_t from = 0; from < total; from += total / 25) {
        SCOPED_TRACE("slow from " + std::to_string(from) + " of " + std::to_string(total) + " ns");
        clockNs = 0;
        slowFrom = from;
        slowUntil = from + total / 5;
        const Ceiling c = measureCeiling(standInRun);
        EXPECT_EQ(c.vectors, most);
        EXPECT_DOUBLE_EQ(c.megaItersPerSecond, 4.0 * most);
    }
    benchmarkSources = saved;
    app.counterFrequency = savedFrequency;
}
