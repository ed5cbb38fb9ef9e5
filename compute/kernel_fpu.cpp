// The scalar kernels. kernelFpuC is the plain double reference; the
// extended-precision kernel is x87 machine code where the processor has an
// x87 unit, and a long double build of the same steps elsewhere.
#include <algorithm>

#include "compute/compute.h"
#include "state/app_state.h"

namespace {

// The row's storage, clipped to the columns the buffer really has.
int32_t* rowStorage(int row, int* columns)
{
    if (!app.iterationBuffer)
        return nullptr;
    int32_t* p = app.iterationBuffer->rowValues(row);
    *columns = std::min(app.width, app.iterationBuffer->columns());
    return p;
}

}  // namespace

bool kernelFpuC(int row, int maxIters)
{
    int columns = 0;
    int32_t* p = rowStorage(row, &columns);
    if (!p)
        return false;
    const double y = (double)row * app.stepY + app.yMin;
    double x = app.xMin;
    for (int k = 0; k < columns; ++k) {
        double zr = x, zi = y;
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
        }
        x = x + app.stepX;
        *p++ = n == maxIters ? InsideMarker : n;
    }
    return true;
}

bool kernelFpuLongDouble(int row, int maxIters)
{
    int columns = 0;
    int32_t* p = rowStorage(row, &columns);
    if (!p)
        return false;
    const long double bailout = app.bailout;
    const long double cy = (double)((double)row * app.stepY + app.yMin);
    long double cx = app.xMin;
    for (int k = 0; k < columns; ++k) {
        long double zr = cx, zi = cy;
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
        }
        *p++ = n == maxIters ? InsideMarker : n;
        cx = cx + (long double)app.stepX;
    }
    return true;
}

#if defined(__i386__) || defined(__x86_64__)

// The whole row runs on the x87 register stack: bailout, cx and cy stay
// loaded, and the iteration loop touches no memory. At its deepest point
// all eight registers are in use.
bool kernelFpuAsm(int row, int maxIters)
{
    int columns = 0;
    int32_t* p = rowStorage(row, &columns);
    if (!p)
        return false;
    if (columns <= 0)
        return true;
    const double y = (double)row * app.stepY + app.yMin;
    const double bailout = app.bailout;
    const double xMin = app.xMin;
    const double stepX = app.stepX;
    int remaining = columns;
    int32_t limit = maxIters;
    __asm__ volatile(
        "fninit\n\t"             // extended precision, round to nearest, all masked
        "fldl %[bailout]\n\t"    // B
        "fldl %[xMin]\n\t"       // cx B
        "fldl %[y]\n\t"          // cy cx B
        "1:\n\t"                 // next column
        "fld %%st(1)\n\t"        // zr cy cx B
        "fld %%st(1)\n\t"        // zi zr cy cx B
        "xorl %%ecx, %%ecx\n\t"  // n = 0
        "2:\n\t"                 // next iteration
        "fld %%st(1)\n\t"
        "fmul %%st(0), %%st\n\t"       // zr2 zi zr cy cx B
        "fld %%st(1)\n\t"
        "fmul %%st(0), %%st\n\t"       // zi2 zr2 zi zr cy cx B
        "fld %%st(1)\n\t"              // zr2 zi2 zr2 zi zr cy cx B
        "fadd %%st(1), %%st\n\t"       // s zi2 zr2 zi zr cy cx B
        "fcomip %%st(7), %%st\n\t"     // zi2 zr2 zi zr cy cx B
        "jae 3f\n\t"                   // s >= B: escaped
        "fsubrp %%st, %%st(1)\n\t"     // zr2-zi2 zi zr cy cx B
        "fadd %%st(4), %%st\n\t"       // zr' zi zr cy cx B
        "cmpl %[limit], %%ecx\n\t"
        "je 4f\n\t"
        "incl %%ecx\n\t"
        "fxch %%st(2)\n\t"             // zr zi zr' cy cx B
        "fadd %%st(0), %%st\n\t"       // 2zr zi zr' cy cx B
        "fmulp %%st, %%st(1)\n\t"      // 2zr*zi zr' cy cx B
        "fadd %%st(2), %%st\n\t"       // zi' zr' cy cx B
        "jmp 2b\n\t"
        "3:\n\t"                       // escaped: drop zi2, then as below
        "fstp %%st(0)\n\t"
        "4:\n\t"                       // limit reached: drop zr' zi zr
        "fstp %%st(0)\n\t"
        "fstp %%st(0)\n\t"
        "fstp %%st(0)\n\t"
        "cmpl %[limit], %%ecx\n\t"
        "jne 5f\n\t"
        "movl $-1, %%ecx\n\t"
        "5:\n\t"
        "movl %%ecx, (%[p])\n\t"
        "add $4, %[p]\n\t"
        "fxch %%st(1)\n\t"             // cx cy B
        "faddl %[stepX]\n\t"
        "fxch %%st(1)\n\t"             // cy cx B
        "decl %[remaining]\n\t"
        "jnz 1b\n\t"
        "fstp %%st(0)\n\t"
        "fstp %%st(0)\n\t"
        "fstp %%st(0)\n\t"
        : [p] "+r"(p), [remaining] "+r"(remaining)
        : [bailout] "m"(bailout), [xMin] "m"(xMin), [y] "m"(y), [stepX] "m"(stepX),
          [limit] "r"(limit)
        : "ecx", "cc", "memory", "st", "st(1)", "st(2)", "st(3)", "st(4)", "st(5)", "st(6)",
          "st(7)");
    return true;
}

#else

bool kernelFpuAsm(int row, int maxIters)
{
    return kernelFpuLongDouble(row, maxIters);
}

#endif
