// The ceiling runs of the vector forms: each runs its form's exact step on
// every vector it says it runs, and counts every step of points that never
// escape. Checked against the step computed here, one point at a time.
#include <gtest/gtest.h>

#include <string>

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
