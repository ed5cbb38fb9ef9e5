// Independent escape-time counts for the tests, written without the
// program's code: plain double arithmetic, strict escape test against 4;
// and one lane of the four-lane loop in float arithmetic.
#pragma once

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
#if defined(__i386__) && !defined(__SSE_MATH__)
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
