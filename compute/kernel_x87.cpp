// The x87 form of ModeFpuAsm, its plain form: the whole row runs on the
// register stack in 80-bit extended precision. bailout, cx and cy stay
// loaded, and at the deepest point of the loop all eight registers are in
// use. The checked kernel adds the cycle check of the scalar kernels (kernel_fpu.cpp): the saved z
// lives in memory as two 80-bit values, since no register is left for it.
// The same machine code runs in 32- and 64-bit builds; the control word the
// thread had (53-bit precision where C's double runs on the x87) comes back
// at the end of each row.
#include "compute/kernel_forms.h"

#ifdef VEXA_X86

namespace {

// What the machine code of one row reads, prepared in C.
struct X87Row {
    int32_t* p;
    int remaining;  // columns to compute
    int32_t limit;
    uint16_t control;  // the thread's x87 control word, put back after the row
    double bailout, xMin, y, stepX;
};

// False without storage; with no column to compute, remaining is 0.
bool prepareX87Row(int row, int maxIters, X87Row* r)
{
    int columns = 0;
    r->p = clippedRowStorage(row, &columns);
    r->remaining = columns > 0 ? columns : 0;
    r->limit = maxIters;
    r->control = 0;
    r->bailout = app.bailout;
    r->xMin = app.xMin;
    r->y = (double)row * app.stepY + app.yMin;  // rounded to double, as loaded
    r->stepX = app.stepX;
    return r->p != nullptr;
}

// The text both forms share. The start loads the row's constants and runs
// one iteration up to the next z, leaving zi' zr' cy cx B; the end drops a
// column's values (label 3 after an escape, 4 at the limit, 7 with only z
// left), stores its count and moves to the next column.
#define VEXA_X87_ROW_START                                                  \
    "fnstcw %[control]\n\t"                                                  \
    "fninit\n\t"             /* extended precision, round to nearest */     \
    "fldl %[bailout]\n\t"    /* B */                                        \
    "fldl %[xMin]\n\t"       /* cx B */                                     \
    "fldl %[y]\n\t"          /* cy cx B */                                  \
    "1:\n\t"                 /* next column */                              \
    "fld %%st(1)\n\t"        /* zr cy cx B */                               \
    "fld %%st(1)\n\t"        /* zi zr cy cx B */                            \
    "xorl %%ecx, %%ecx\n\t"  /* n = 0 */                                    \
    "2:\n\t"                 /* next iteration */                           \
    "fld %%st(1)\n\t"                                                       \
    "fmul %%st(0), %%st\n\t"       /* zr2 zi zr cy cx B */                  \
    "fld %%st(1)\n\t"                                                       \
    "fmul %%st(0), %%st\n\t"       /* zi2 zr2 zi zr cy cx B */              \
    "fld %%st(1)\n\t"              /* zr2 zi2 zr2 zi zr cy cx B */          \
    "fadd %%st(1), %%st\n\t"       /* s zi2 zr2 zi zr cy cx B */            \
    "fcomip %%st(7), %%st\n\t"     /* zi2 zr2 zi zr cy cx B */              \
    "jae 3f\n\t"                   /* s >= B: escaped */                    \
    "fsubrp %%st, %%st(1)\n\t"     /* zr2-zi2 zi zr cy cx B */              \
    "fadd %%st(4), %%st\n\t"       /* zr' zi zr cy cx B */                  \
    "cmpl %[limit], %%ecx\n\t"                                              \
    "je 4f\n\t"                                                             \
    "incl %%ecx\n\t"                                                        \
    "fxch %%st(2)\n\t"             /* zr zi zr' cy cx B */                  \
    "fadd %%st(0), %%st\n\t"       /* 2zr zi zr' cy cx B */                 \
    "fmulp %%st, %%st(1)\n\t"      /* 2zr*zi zr' cy cx B */                 \
    "fadd %%st(2), %%st\n\t"       /* zi' zr' cy cx B */

#define VEXA_X87_ROW_END                                                    \
    "3:\n\t"                       /* escaped: drop zi2 */                  \
    "fstp %%st(0)\n\t"                                                      \
    "4:\n\t"                       /* limit: drop zr' */                    \
    "fstp %%st(0)\n\t"                                                      \
    "7:\n\t"                       /* drop z */                             \
    "fstp %%st(0)\n\t"                                                      \
    "fstp %%st(0)\n\t"                                                      \
    "cmpl %[limit], %%ecx\n\t"                                              \
    "jne 5f\n\t"                                                            \
    "movl $-1, %%ecx\n\t"                                                   \
    "5:\n\t"                                                                \
    "movl %%ecx, (%[p])\n\t"                                                \
    "add $4, %[p]\n\t"                                                      \
    "fxch %%st(1)\n\t"             /* cx cy B */                            \
    "faddl %[stepX]\n\t"                                                    \
    "fxch %%st(1)\n\t"             /* cy cx B */                            \
    "decl %[remaining]\n\t"                                                 \
    "jnz 1b\n\t"                                                            \
    "fstp %%st(0)\n\t"                                                      \
    "fstp %%st(0)\n\t"                                                      \
    "fstp %%st(0)\n\t"                                                      \
    "fldcw %[control]\n\t"

#define VEXA_X87_INPUTS                                                     \
    [bailout] "m"(r.bailout), [xMin] "m"(r.xMin), [y] "m"(r.y),             \
        [stepX] "m"(r.stepX), [limit] "r"(r.limit)

#define VEXA_X87_CLOBBERS                                                   \
    "ecx", "cc", "memory", "st", "st(1)", "st(2)", "st(3)", "st(4)", "st(5)", \
        "st(6)", "st(7)"

bool x87Row(int row, int maxIters)
{
    X87Row r;
    if (!prepareX87Row(row, maxIters, &r))
        return false;
    if (r.remaining == 0)
        return true;
    __asm__ volatile(VEXA_X87_ROW_START
                     "jmp 2b\n\t"
                     VEXA_X87_ROW_END
                     : [p] "+r"(r.p), [remaining] "+r"(r.remaining), [control] "+m"(r.control)
                     : VEXA_X87_INPUTS
                     : VEXA_X87_CLOBBERS);
    return true;
}

// The same code with the check after every fourth z, which only delays
// finding a cycle and keeps the comparison off most iterations. Until n = 16
// z is compared with c itself, still loaded as cx and cy; from then on with
// the z saved in memory at each power of two, 80-bit stores being dear.
bool x87RowChecked(int row, int maxIters)
{
    X87Row r;
    if (!prepareX87Row(row, maxIters, &r))
        return false;
    if (r.remaining == 0)
        return true;
    long double savedR = 0.0L, savedI = 0.0L;
    __asm__ volatile(VEXA_X87_ROW_START
                     "testl $3, %%ecx\n\t"
                     "jnz 2b\n\t"
                     "cmpl $16, %%ecx\n\t"
                     "ja 8f\n\t"
                     "fucomi %%st(2), %%st\n\t"     // zi' against cy
                     "jne 9f\n\t"
                     "jp 9f\n\t"
                     "fxch %%st(1)\n\t"             // zr' zi' cy cx B
                     "fucomi %%st(3), %%st\n\t"     // zr' against cx; fxch keeps the flags
                     "fxch %%st(1)\n\t"             // zi' zr' cy cx B
                     "jne 9f\n\t"
                     "jnp 10f\n\t"
                     "9:\n\t"
                     "cmpl $16, %%ecx\n\t"
                     "jne 2b\n\t"
                     "jmp 11f\n\t"                  // the first save
                     "8:\n\t"
                     "fldt %[savedR]\n\t"
                     "fucomip %%st(2), %%st\n\t"    // equal: ZF=1 and PF=0
                     "jne 6f\n\t"
                     "jp 6f\n\t"
                     "fldt %[savedI]\n\t"
                     "fucomip %%st(1), %%st\n\t"
                     "jne 6f\n\t"
                     "jp 6f\n\t"
                     "10:\n\t"
                     "movl %[limit], %%ecx\n\t"     // periodic: inside
                     "jmp 7f\n\t"
                     "6:\n\t"
                     "leal -1(%%ecx), %%edx\n\t"
                     "testl %%edx, %%ecx\n\t"
                     "jnz 2b\n\t"                   // n is no power of two
                     "11:\n\t"
                     "fld %%st(0)\n\t"
                     "fstpt %[savedI]\n\t"
                     "fld %%st(1)\n\t"
                     "fstpt %[savedR]\n\t"
                     "jmp 2b\n\t"
                     VEXA_X87_ROW_END
                     : [p] "+r"(r.p), [remaining] "+r"(r.remaining), [control] "+m"(r.control),
                       [savedR] "+m"(savedR), [savedI] "+m"(savedI)
                     : VEXA_X87_INPUTS
                     : VEXA_X87_CLOBBERS, "edx");
    return true;
}

}  // namespace

KernelPair x87Forms()
{
    return {{x87Row, x87RowChecked}};
}

#else

KernelPair x87Forms()
{
    return {};
}

#endif
