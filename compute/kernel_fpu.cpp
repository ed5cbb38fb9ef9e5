// The scalar kernels: the plain double loop of ModeFpuC, and the long double
// build of the x87 kernel's steps for processors without an x87 unit. Each
// comes with the cycle check and without it. Where a 32-bit x86 build does
// its doubles on the x87, the thread's 53-bit precision makes each result
// the IEEE double one.
//
// The check (Brent): z is compared, both parts with ==, with a value saved
// whenever the iteration count is a power of two, starting with c. The loop
// goes on only while z passes the escape test, so the saved value passed it;
// when z equals it again the orbit runs through the same tested values
// forever and the point is inside. -0 == +0 is safe: the next z depends on
// squares and on a product plus c, so equal states escape alike. NaN never
// compares equal, so NaN orbits run as without the check.
#include <algorithm>

#include "compute/kernel_forms.h"

namespace {

bool isPowerOfTwo(int n)
{
    return (n & (n - 1)) == 0;
}

template <bool Check>
int32_t countDouble(double x, double y, int maxIters)
{
    double zr = x, zi = y, savedR = x, savedI = y;
    int n = 0;
    while (n < maxIters) {
        double zr2 = zr * zr;
        double zi2 = zi * zi;
        // Strict test against 4.0 itself: c = -2 stays inside here,
        // unlike the kernels that test against bailout with >=.
        if (zi2 + zr2 > 4.0)
            break;
        ++n;
        zi = 2.0 * zi * zr;
        zr = zr2 - zi2;
        zr = zr + x;
        zi = zi + y;
        if (Check) {
            if (zr == savedR && zi == savedI)
                return InsideMarker;
            if (isPowerOfTwo(n))
                savedR = zr, savedI = zi;
        }
    }
    return n == maxIters ? InsideMarker : n;
}

template <bool Check>
bool computeDoubleRow(int row, int maxIters)
{
    int columns = 0;
    int32_t* p = clippedRowStorage(row, &columns);
    if (!p)
        return false;
    const double y = (double)row * app.stepY + app.yMin;
    double x = app.xMin;
    for (int k = 0; k < columns; ++k) {
        *p++ = countDouble<Check>(x, y, maxIters);
        x = x + app.stepX;
    }
    return true;
}

template <bool Check>
int32_t countLongDouble(long double cx, long double cy, long double bailout, int maxIters)
{
    long double zr = cx, zi = cy, savedR = cx, savedI = cy;
    int n = 0;
    for (;;) {
        long double zr2 = zr * zr;
        long double zi2 = zi * zi;
        long double s = zr2 + zi2;
        if (s >= bailout)
            break;
        long double zrNext = (zr2 - zi2) + cx;
        if (n == maxIters)
            break;
        ++n;
        zi = (zr + zr) * zi + cy;
        zr = zrNext;
        // As the x87 code does it: every fourth z, against c until n = 16
        // and then against z saved at the powers of two. Checking less often
        // only delays finding a cycle, and the compiler keeps this loop lean.
        if (Check && __builtin_expect(n % 4 == 0, 0)) {
            if (__builtin_expect(zr == savedR, 0) && zi == savedI)
                return InsideMarker;
            if (__builtin_expect(n >= 16 && isPowerOfTwo(n), 0))
                savedR = zr, savedI = zi;
        }
    }
    return n == maxIters ? InsideMarker : n;
}

template <bool Check>
bool computeLongDoubleRow(int row, int maxIters)
{
    int columns = 0;
    int32_t* p = clippedRowStorage(row, &columns);
    if (!p)
        return false;
    const long double bailout = app.bailout;
    const long double cy = (double)((double)row * app.stepY + app.yMin);
    long double cx = app.xMin;
    // The row's doubles above at the thread's precision; the steps below in
    // the x87's full 64 bits, as the machine code does them, where a 32-bit
    // build keeps 53 for its doubles.
    const int precision = platformX87Precision();
    platformSetX87Precision(64);
    for (int k = 0; k < columns; ++k) {
        *p++ = countLongDouble<Check>(cx, cy, bailout, maxIters);
        cx = cx + (long double)app.stepX;
    }
    platformSetX87Precision(precision);
    return true;
}

}  // namespace

int32_t* rowStorage(int row, int* bufferColumns)
{
    *bufferColumns = 0;
    if (!app.iterationBuffer)
        return nullptr;
    *bufferColumns = app.iterationBuffer->columns();
    return app.iterationBuffer->rowValues(row);
}

int32_t* clippedRowStorage(int row, int* columns)
{
    int32_t* p = rowStorage(row, columns);
    *columns = std::min(app.width, *columns);
    return p;
}

KernelPair scalarDoubleForms()
{
    return {{computeDoubleRow<false>, computeDoubleRow<true>}};
}

KernelPair longDoubleForms()
{
    return {{computeLongDoubleRow<false>, computeLongDoubleRow<true>}};
}

bool kernelFpuLongDouble(int row, int maxIters)
{
    return computeLongDoubleRow<true>(row, maxIters);
}
