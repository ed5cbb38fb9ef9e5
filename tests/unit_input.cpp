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

bool sameBits(const SavedView& a, const SavedView& b)
{
    return a.xMin == b.xMin && a.yMin == b.yMin && a.xMax == b.xMax && a.yMax == b.yMax;
}

}  // namespace

TEST(Zoom, EachStepMovesEveryEdgeByTenPixels)
{
    // Extent 3 * (1 -/+ 20 / width) about the fixed centre (-0.5, 0).
    for (int width : {100, 333, 500, 1280})
        for (bool out : {false, true}) {
            SavedView v = defaultView;
            double step = 3.0 / width, d = out ? 30.0 / width : -30.0 / width;
            ASSERT_TRUE(zoomView(&v, &step, width, out));
            EXPECT_NEAR(v.xMin, -2.0 - d, 1e-12) << width;
            EXPECT_NEAR(v.xMax, 1.0 + d, 1e-12) << width;
            EXPECT_NEAR(v.yMin, -1.5 - d, 1e-12) << width;
            EXPECT_NEAR(v.yMax, 1.5 + d, 1e-12) << width;
            EXPECT_NEAR(step, (3.0 + 2 * d) / width, 1e-15);
        }
    SavedView v = defaultView;
    double step = defaultStep;
    zoomView(&v, &step, 500, false);
    EXPECT_DOUBLE_EQ(step, 0.00576);
}

TEST(Zoom, StepThatWouldCollapseTheViewIsNotTaken)
{
    // 20 pixels wide: one step in leaves no extent; narrower inverts it;
    // no width at all (a minimised window) gives no step either way.
    for (int width : {20, 10, 1, 0, -5}) {
        SavedView v = defaultView;
        const double before = width > 0 ? 3.0 / width : defaultStep;
        double step = before;
        EXPECT_FALSE(zoomView(&v, &step, width, false)) << width;
        EXPECT_TRUE(sameBits(v, defaultView));
        EXPECT_EQ(step, before);
        EXPECT_EQ(zoomView(&v, &step, width, true), width > 0) << width;
    }
    SavedView v = defaultView;
    double step = 3.0 / 21;
    EXPECT_TRUE(zoomView(&v, &step, 21, false));
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
    EXPECT_FALSE(zoomView(&v, &step, 500, false));
    EXPECT_TRUE(sameBits(v, stuck));
    // Zooming out brings back a view as wide as the first.
    for (int out = 0; out < 5000 && v.xMax - v.xMin < 3.0; ++out)
        ASSERT_TRUE(zoomView(&v, &step, 500, true));
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
    EXPECT_TRUE(zoomView(&v, &step, 500, false));  // zooming in still works from there
}

TEST(Pan, DragMovesAllEdgesByThePointerOffset)
{
    SavedView v = {};
    ASSERT_TRUE(panView(defaultView, 100, 100, 150, 80, defaultStep, defaultStep, &v));
    EXPECT_DOUBLE_EQ(v.xMin, -2.3);
    EXPECT_DOUBLE_EQ(v.xMax, 0.7);
    EXPECT_DOUBLE_EQ(v.yMin, -1.38);
    EXPECT_DOUBLE_EQ(v.yMax, 1.62);
    // Rebuilt from the snapshot: going back to the press point restores it exactly.
    ASSERT_TRUE(panView(defaultView, 100, 100, 100, 100, defaultStep, defaultStep, &v));
    EXPECT_TRUE(sameBits(v, defaultView));
    // An offset that would overflow is ignored.
    const SavedView wide = {-1e308, -1e308, 1.7e308, 1.7e308};
    EXPECT_FALSE(panView(wide, 0, 0, -1000, -1000, 1e306, 1e306, &v));
    EXPECT_TRUE(sameBits(v, defaultView));
}

TEST(Keys, EveryCodeWithAndWithoutShift)
{
    // Written out rather than folded: each command's character and the code 0x20 below it.
    const std::map<int, KeyCommand> expected = {
        {0x00, KeyRedraw},     {0x20, KeyRedraw},    {0x11, KeyFpuC},     {'1', KeyFpuC},
        {0x12, KeyFpuAsm},     {'2', KeyFpuAsm},     {0x13, KeySse},      {'3', KeySse},
        {0x14, KeyGpu},        {'4', KeyGpu},        {0x0D, KeyLimit},    {'-', KeyLimit},
        {0x0B, KeyLimit},      {'+', KeyLimit},      {0x0A, KeyRotateUp}, {'*', KeyRotateUp},
        {0x0F, KeyRotateDown}, {'/', KeyRotateDown}, {'D', KeyBuffering}, {'d', KeyBuffering},
        {'S', KeyStats},       {'s', KeyStats},      {'H', KeyHelp},      {'h', KeyHelp},
        {'B', KeyBenchmark},   {'b', KeyBenchmark},  {27, KeyQuit},
    };
    const std::map<int, int> limitSteps = {{0x0D, -1}, {'-', -1}, {0x0B, 1}, {'+', 1}};
    for (int shift = 0; shift < 2; ++shift)
        for (int code = 0; code < 256; ++code) {
            KeyAction a = decodeKey((unsigned char)code, shift != 0);
            auto it = expected.find(code);
            auto step = limitSteps.find(code);
            EXPECT_EQ(a.command, it == expected.end() ? KeyNone : it->second) << code << " " << shift;
            EXPECT_EQ(a.limitStep, step == limitSteps.end() ? 0 : step->second * (shift ? 20 : 1))
                << code << " " << shift;
        }
}

TEST(Keys, LimitArithmetic)
{
    // (limit, step, result): the limit stays within 1 ... 9998.
    const int cases[][3] = {
        {40, 1, 41},     {40, 20, 60},    {9998, 1, 9998}, {9997, 1, 9998},
        {9980, 20, 9980}, {9978, 20, 9998}, {9980, 1, 9981}, {1, -1, 1},
        {2, -1, 1},      {20, -20, 20},   {21, -20, 1},    {INT32_MAX, 20, INT32_MAX},
        {INT32_MIN, -20, INT32_MIN},
    };
    for (const auto& c : cases)
        EXPECT_EQ(steppedLimit(c[0], c[1]), c[2]) << c[0] << " " << c[1];
    for (auto [limit, capped] : {std::pair{100, 60}, {61, 60}, {60, 60}, {7, 7}})
        EXPECT_EQ(cappedForGpu(limit), capped);
}

TEST(PaletteRotation, EntriesMoveByOneAndWrap)
{
    // Entry i holds three bytes that name it: i mod 256, i / 256, 7.
    std::vector<uint8_t> numbered(3 * PaletteEntries);
    for (int i = 0; i < PaletteEntries; ++i)
        numbered[3 * i] = (uint8_t)i, numbered[3 * i + 1] = (uint8_t)(i >> 8), numbered[3 * i + 2] = 7;
    // Direction +1 gives entry i the old entry i - 1; any size of direction moves one.
    for (int direction : {+1, -1, +5, -5, 0}) {
        std::vector<uint8_t> t = numbered;
        rotatePaletteTable(t.data(), direction);
        int shift = (direction > 0) - (direction < 0);
        for (int i = 0; i < PaletteEntries; ++i) {
            int from = (i - shift + PaletteEntries) % PaletteEntries;
            ASSERT_TRUE(std::equal(&t[3 * i], &t[3 * i + 3], &numbered[3 * from]))
                << "entry " << i << " direction " << direction;
        }
    }
    // A whole turn comes back.
    std::vector<uint8_t> t = numbered;
    for (int i = 0; i < PaletteEntries; ++i)
        rotatePaletteTable(t.data(), -1);
    EXPECT_EQ(t, numbered);
}
