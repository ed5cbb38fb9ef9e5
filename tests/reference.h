// Independent escape-time counts for the tests, written without the
// program's code: plain double arithmetic, strict escape test against 4.
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
