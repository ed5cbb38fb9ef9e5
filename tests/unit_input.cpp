// Interaction decisions without a window: zoom and pan arithmetic, the key
// table for every code, the limit rules and the palette rotation.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <vector>

#include "input/input.h"

namespace {

const SavedView defaultView = {-2.0, -1.5, 1.0, 1.5};
const double defaultStep = 3.0 / 500;

void expectView(const SavedView& v, double xMin, double xMax, double yMin, double yMax)
{
    EXPECT_DOUBLE_EQ(v.xMin, xMin);
    EXPECT_DOUBLE_EQ(v.xMax, xMax);
    EXPECT_DOUBLE_EQ(v.yMin, yMin);
    EXPECT_DOUBLE_EQ(v.yMax, yMax);
}

bool sameBits(const SavedView& a, const SavedView& b)
{
    return a.xMin == b.xMin && a.yMin == b.yMin && a.xMax == b.xMax && a.yMax == b.yMax;
}

}  // namespace

TEST(Zoom, OneStepInAndOutFromTheDefaultView)
{
    SavedView v = defaultView;
    double step = defaultStep;
    ASSERT_TRUE(zoomView(&v, &step, 500, false));
    expectView(v, -1.94, 0.94, -1.44, 1.44);
    EXPECT_DOUBLE_EQ(step, 0.00576);

    v = defaultView;
    step = defaultStep;
    ASSERT_TRUE(zoomView(&v, &step, 500, true));
    expectView(v, -2.06, 1.06, -1.56, 1.56);
    EXPECT_DOUBLE_EQ(step, 0.00624);
}

TEST(Zoom, ExtentScalesByTwentyPixelsAndCentreStays)
{
    // Each step scales the extent by 1 -/+ 20 / width about a fixed centre.
    for (int width : {100, 333, 1280}) {
        SavedView v = defaultView;
        double step = 3.0 / width;
        ASSERT_TRUE(zoomView(&v, &step, width, false));
        EXPECT_NEAR(v.xMax - v.xMin, 3.0 * (1.0 - 20.0 / width), 1e-12);
        EXPECT_NEAR((v.xMax + v.xMin) / 2, -0.5, 1e-12);
        EXPECT_NEAR(step, (v.xMax - v.xMin) / width, 1e-15);
        ASSERT_TRUE(zoomView(&v, &step, width, true));
        EXPECT_NEAR((v.xMax + v.xMin) / 2, -0.5, 1e-12);
    }
}

TEST(Zoom, StepThatWouldCollapseTheViewIsNotTaken)
{
    // 20 pixels wide: one step in makes the extent zero; narrower inverts it.
    for (int width : {20, 10, 1}) {
        SavedView v = defaultView;
        double step = 3.0 / width;
        EXPECT_FALSE(zoomView(&v, &step, width, false)) << width;
        EXPECT_TRUE(sameBits(v, defaultView));
        EXPECT_EQ(step, 3.0 / width);
        // Zooming out still works from there.
        EXPECT_TRUE(zoomView(&v, &step, width, true));
    }
    SavedView v = defaultView;
    double step = 3.0 / 21;
    EXPECT_TRUE(zoomView(&v, &step, 21, false));
    EXPECT_GT(v.xMax - v.xMin, 0.0);
}

TEST(Zoom, LongZoomInStopsWhileTheViewCanStillRecover)
{
    SavedView v = defaultView;
    double step = defaultStep;
    int taken = 0;
    while (taken < 5000 && zoomView(&v, &step, 500, false))
        ++taken;
    // The precision of doubles runs out after roughly 900 steps of 0.96.
    EXPECT_GT(taken, 500);
    EXPECT_LT(taken, 5000);
    EXPECT_GT(v.xMax - v.xMin, 0.0);
    EXPECT_GT(step, 0.0);
    SavedView stuck = v;
    double stuckStep = step;
    EXPECT_FALSE(zoomView(&v, &step, 500, false));
    EXPECT_TRUE(sameBits(v, stuck));
    EXPECT_EQ(step, stuckStep);
    // Zooming out brings back a view as wide as the first.
    int out = 0;
    while (out < 5000 && v.xMax - v.xMin < 3.0 && zoomView(&v, &step, 500, true))
        ++out;
    EXPECT_GE(v.xMax - v.xMin, 3.0);
    EXPECT_NEAR(step, (v.xMax - v.xMin) / 500, 1e-15);
}

TEST(Zoom, ZoomOutStopsBeforeTheEdgesOverflow)
{
    SavedView v = defaultView;
    double step = defaultStep;
    int taken = 0;
    while (taken < 100000 && zoomView(&v, &step, 500, true))
        ++taken;
    EXPECT_LT(taken, 100000);
    EXPECT_TRUE(std::isfinite(v.xMin) && std::isfinite(v.xMax) && std::isfinite(v.yMin) &&
                std::isfinite(v.yMax) && std::isfinite(step));
    EXPECT_GT(v.xMax - v.xMin, 1e307);
    // Zooming in still works from the widest view.
    EXPECT_TRUE(zoomView(&v, &step, 500, false));
}

TEST(Zoom, NoWidthNoStep)
{
    // A minimised window reports width 0: no division, nothing moves.
    for (int width : {0, -5}) {
        SavedView v = defaultView;
        double step = defaultStep;
        EXPECT_FALSE(zoomView(&v, &step, width, false));
        EXPECT_FALSE(zoomView(&v, &step, width, true));
        EXPECT_TRUE(sameBits(v, defaultView));
        EXPECT_EQ(step, defaultStep);
    }
}

TEST(Pan, DragMovesAllEdgesByThePointerOffset)
{
    SavedView v = {};
    ASSERT_TRUE(panView(defaultView, 100, 100, 150, 80, defaultStep, defaultStep, &v));
    expectView(v, -2.3, 0.7, -1.38, 1.62);
    // Rebuilt from the snapshot: going back to the press point restores it exactly.
    ASSERT_TRUE(panView(defaultView, 100, 100, 100, 100, defaultStep, defaultStep, &v));
    EXPECT_TRUE(sameBits(v, defaultView));
}

TEST(Pan, OffsetThatWouldOverflowIsIgnored)
{
    const SavedView wide = {-1e308, -1e308, 1.7e308, 1.7e308};
    SavedView v = defaultView;
    EXPECT_FALSE(panView(wide, 0, 0, -1000, -1000, 1e306, 1e306, &v));
    EXPECT_TRUE(sameBits(v, defaultView));
}

namespace {

// The commands by the codes that reach them, written out rather than folded:
// each command's character and the one 0x20 below it.
std::map<int, KeyCommand> expectedCommands()
{
    return {
        {0x00, KeyRedraw},     {0x20, KeyRedraw},     {0x11, KeyFpuC},       {'1', KeyFpuC},
        {0x12, KeyFpuAsm},     {'2', KeyFpuAsm},      {0x13, KeySse},        {'3', KeySse},
        {0x14, KeyGpu},        {'4', KeyGpu},         {0x0D, KeyLimit},      {'-', KeyLimit},
        {0x0B, KeyLimit},      {'+', KeyLimit},       {0x0A, KeyRotateUp},   {'*', KeyRotateUp},
        {0x0F, KeyRotateDown}, {'/', KeyRotateDown},  {'D', KeyBuffering},   {'d', KeyBuffering},
        {'S', KeyStats},       {'s', KeyStats},       {'H', KeyHelp},        {'h', KeyHelp},
        {'B', KeyBenchmark},   {'b', KeyBenchmark},   {27, KeyQuit},
    };
}

}  // namespace

TEST(Keys, EveryCodeWithAndWithoutShift)
{
    const std::map<int, KeyCommand> expected = expectedCommands();
    const std::map<int, int> limitSteps = {{0x0D, -1}, {'-', -1}, {0x0B, 1}, {'+', 1}};
    for (int shift = 0; shift < 2; ++shift) {
        for (int code = 0; code < 256; ++code) {
            KeyAction a = decodeKey((unsigned char)code, shift != 0);
            auto it = expected.find(code);
            EXPECT_EQ(a.command, it == expected.end() ? KeyNone : it->second)
                << "code " << code << " shift " << shift;
            auto step = limitSteps.find(code);
            int wanted = step == limitSteps.end() ? 0 : step->second * (shift ? 20 : 1);
            EXPECT_EQ(a.limitStep, wanted) << "code " << code << " shift " << shift;
        }
    }
}

TEST(Keys, LimitArithmetic)
{
    EXPECT_EQ(steppedLimit(40, 1), 41);
    EXPECT_EQ(steppedLimit(40, 20), 60);
    EXPECT_EQ(steppedLimit(9998, 1), 9998);
    EXPECT_EQ(steppedLimit(9997, 1), 9998);
    EXPECT_EQ(steppedLimit(9980, 20), 9980);  // 10000 would pass the ceiling
    EXPECT_EQ(steppedLimit(9978, 20), 9998);
    EXPECT_EQ(steppedLimit(9980, 1), 9981);
    EXPECT_EQ(steppedLimit(1, -1), 1);
    EXPECT_EQ(steppedLimit(2, -1), 1);
    EXPECT_EQ(steppedLimit(20, -20), 20);
    EXPECT_EQ(steppedLimit(21, -20), 1);
    EXPECT_EQ(steppedLimit(INT32_MAX, 20), INT32_MAX);
    EXPECT_EQ(steppedLimit(INT32_MIN, -20), INT32_MIN);
    EXPECT_EQ(cappedForGpu(100), 60);
    EXPECT_EQ(cappedForGpu(61), 60);
    EXPECT_EQ(cappedForGpu(60), 60);
    EXPECT_EQ(cappedForGpu(7), 7);
}

namespace {

std::vector<uint8_t> numberedTable()
{
    // Entry i holds three bytes that name it: i mod 256, i / 256, 7.
    std::vector<uint8_t> t(3 * PaletteEntries);
    for (int i = 0; i < PaletteEntries; ++i) {
        t[3 * i] = (uint8_t)(i & 0xFF);
        t[3 * i + 1] = (uint8_t)(i >> 8);
        t[3 * i + 2] = 7;
    }
    return t;
}

int entryName(const std::vector<uint8_t>& t, int i)
{
    return t[3 * i] | (t[3 * i + 1] << 8);
}

}  // namespace

TEST(PaletteRotation, EntriesMoveByOneAndWrap)
{
    std::vector<uint8_t> t = numberedTable();
    rotatePaletteTable(t.data(), +1);
    EXPECT_EQ(entryName(t, 0), 9999);
    for (int i = 1; i < PaletteEntries; ++i)
        ASSERT_EQ(entryName(t, i), i - 1) << i;

    t = numberedTable();
    rotatePaletteTable(t.data(), -1);
    EXPECT_EQ(entryName(t, 9999), 0);
    for (int i = 0; i < PaletteEntries - 1; ++i)
        ASSERT_EQ(entryName(t, i), i + 1) << i;

    t = numberedTable();
    rotatePaletteTable(t.data(), 0);
    EXPECT_EQ(t, numberedTable());
}

TEST(PaletteRotation, UpThenDownRestoresTheBuiltPalette)
{
    buildPalette(PaletteEntries, 70, 50, 200);
    std::vector<uint8_t> built(app.palette, app.palette + 3 * PaletteEntries);
    rotatePaletteTable(app.palette, +1);
    EXPECT_EQ(app.palette[0], built[3 * 9999]);
    EXPECT_EQ(app.palette[3], 70);
    EXPECT_EQ(app.palette[4], 50);
    EXPECT_EQ(app.palette[5], 200);
    rotatePaletteTable(app.palette, -5);
    EXPECT_EQ(std::vector<uint8_t>(app.palette, app.palette + 3 * PaletteEntries), built);
    // A whole turn comes back too.
    for (int i = 0; i < PaletteEntries; ++i)
        rotatePaletteTable(app.palette, -1);
    EXPECT_EQ(std::vector<uint8_t>(app.palette, app.palette + 3 * PaletteEntries), built);
}
