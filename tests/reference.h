// Independent escape-time counts for the tests, written without the
// program's code: plain double arithmetic, strict escape test against 4;
// one lane of the four-lane loop in float arithmetic; and the x87 kernel's
// steps in extended precision. Then whole rows of each, laid out as each
// mode lays out a row.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/arch.h"
#include "platform/platform.h"

inline int referenceCountDouble(double cx, double cy, int maxIters)
{
    double zr = cx, zi = cy;
    int n = 0;
    for (; n < maxIters; ++n) {
        double zr2 = zr * zr, zi2 = zi * zi;
        if (zr2 + zi2 > 4.0)
            break;
        double nzi = 2.0 * zi * zr + cy;
        zr = zr2 - zi2 + cx;
        zi = nzi;
    }
    return n == maxIters ? -1 : n;
}

// A float result as IEEE single precision gives it: where floats are
// computed on the x87 (32-bit x86), a store drops the bits it keeps beyond.
inline float asFloat(float value)
{
#ifdef VEXA_X87_FLOAT_MATH
    volatile float stored = value;
    return stored;
#else
    return value;
#endif
}

// One lane of the four-lane loop alone: escape once |z|^2 is not below 4,
// as long as no sibling lane keeps its group running.
inline int referenceCountFloat(float cx, float cy, int maxIters)
{
    float zr = cx, zi = cy;
    int n = 0;
    for (; n < maxIters; ++n) {
        float zr2 = asFloat(zr * zr), zi2 = asFloat(zi * zi), t = asFloat(zi * zr);
        if (!(asFloat(zi2 + zr2) < 4.0f))
            break;
        zi = asFloat(asFloat(t + t) + cy);
        zr = asFloat(asFloat(zr2 - zi2) + cx);
    }
    return n == maxIters ? -1 : n;
}

// The x87 kernel's steps: test |z|^2 against the bailout with >=, then the
// limit, then step. amd64's counts only where long double is the x87's
// 80-bit format and the x87 rounds to its full 64 bits.
inline int referenceCountExtended(long double cx, long double cy, long double bailout, int maxIters)
{
    long double zr = cx, zi = cy;
    int n = 0;
    for (;;) {
        long double zr2 = zr * zr, zi2 = zi * zi;
        if (zr2 + zi2 >= bailout)
            break;
        long double nzr = (zr2 - zi2) + cx;
        if (n == maxIters)
            break;
        ++n;
        zi = (zr + zr) * zi + cy;
        zr = nzr;
    }
    return n == maxIters ? -1 : n;
}

using ReferenceRow = std::vector<int32_t>;

// Row `row` of `width` columns from the corner (x0, y0) with square pixels
// of `step`: the real part runs on by adding the step, the imaginary part is
// row * step + y0 in double.
inline ReferenceRow referenceRowDouble(double x0, double y0, double step, int width, int row, int limit)
{
    ReferenceRow out;
    const double y = (double)row * step + y0;
    double x = x0;
    for (int k = 0; k < width; ++k, x = x + step)
        out.push_back(referenceCountDouble(x, y, limit));
    return out;
}

inline ReferenceRow referenceRowExtended(double x0, double y0, double step, int width, int row, int limit)
{
    ReferenceRow out;
    const long double y = (double)row * step + y0;
    // The imaginary part above in double; the steps in all 64 bits, where
    // 32-bit builds keep 53 for their doubles.
    const int precision = platformX87Precision();
    platformSetX87Precision(64);
    long double x = x0;
    for (int k = 0; k < width; ++k, x = x + (long double)step)
        out.push_back(referenceCountExtended(x, y, 4.0L, limit));
    platformSetX87Precision(precision);
    return out;
}

// Whole groups of four lanes: lanes start at x0 + {0, 1, 2, 3} steps and
// advance by four steps per group, all in float.
inline ReferenceRow referenceRowFourLanes(double x0, double y0, double step, int width, int row, int limit)
{
    const int groups = width > 0 ? (width + 3) / 4 : 0;
    const float s = asFloat((float)step), y = asFloat((float)((double)row * step + y0));
    float cx[4] = {0.0f, s, asFloat(s + s), asFloat(3.0f * s)};
    for (float& x : cx)
        x = asFloat(x + asFloat((float)x0));
    const float advance = asFloat(4.0f * s);
    ReferenceRow out;
    for (int g = 0; g < groups; ++g)
        for (float& x : cx) {
            out.push_back(referenceCountFloat(x, y, limit));
            x = asFloat(x + advance);
        }
    return out;
}
