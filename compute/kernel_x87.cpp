// The x87 form of ModeFpuAsm, its plain form: the whole row runs on the
// register stack in 80-bit extended precision, two orbits at a time. Each
// orbit is a column of the row; the register stack holds both z and the
// bailout as ziA zrA ziB zrB B, and each step of an orbit does the same
// 80-bit operations in the same order as one orbit alone would, so the
// counts are the same, while the two dependency chains overlap in the
// processor (one orbit alone waited on each result in turn). cy and the
// real parts, which would need two registers more, are read from memory:
// cy is a double, and each column's real part is kept there in 80 bits,
// carried on from column to column by adding stepX in 80 bits. An orbit
// whose column is done takes the next; with none left it runs a point far
// outside, which escapes at once and is stored nowhere, until the other is
// done too. The checked kernel adds the cycle check of the scalar kernels
// (kernel_fpu.cpp), its saved z in memory. The same machine code runs in
// 32- and 64-bit builds; the control word the thread had (53-bit precision
// where C's double runs on the x87) comes back at the end of each row.
#include "compute/kernel_forms.h"

#ifdef VEXA_X86
#include <cstddef>

namespace {

// What the machine code of one row reads and keeps, prepared in C.
struct X87Pair {
    long double cxA, cxB, cxNext;  // A's and B's real parts, and the next column's
    long double savedRA, savedIA, savedRB, savedIB;  // the checked kernel's saved z
    double y, stepX, bailout, far;
    intptr_t columnA, columnB;     // -1: the point far outside
    intptr_t next, columns, live;  // the next column; columns not yet stored
    int32_t limit;
    uint16_t control;  // the thread's x87 control word, put back after the row
};

// False without storage; with no column to compute, columns is 0.
bool prepareX87Pair(int row, int maxIters, X87Pair* r, int32_t** p)
{
    int columns = 0;
    *p = clippedRowStorage(row, &columns);
    *r = {};
    r->cxNext = app.xMin;
    r->y = (double)row * app.stepY + app.yMin;  // rounded to double, as loaded
    r->stepX = app.stepX;
    r->bailout = app.bailout;
    r->far = 1e30;
    r->columnA = r->columnB = -1;
    r->columns = r->live = columns > 0 ? columns : 0;
    r->limit = maxIters;
    return *p != nullptr;
}

// Orbit `slot` takes the next column, or the point far outside: its column,
// its real part saved, and z = c pushed as zi zr. `label` is a free number.
#define VEXA_X87_TAKE(slot, label)                                            \
    "mov %c[oNext](%[s]), %[idx]\n\t"                                         \
    "cmp %c[oColumns](%[s]), %[idx]\n\t"                                      \
    "jge " #label "f\n\t"                                                     \
    "mov %[idx], %c[oColumn" #slot "](%[s])\n\t"                              \
    "add $1, %[idx]\n\t"                                                      \
    "mov %[idx], %c[oNext](%[s])\n\t"                                         \
    "fldt %c[oCxNext](%[s])\n\t"   /* c */                                    \
    "fld %%st(0)\n\t"                                                         \
    "fstpt %c[oCx" #slot "](%[s])\n\t"                                        \
    "fld %%st(0)\n\t"                                                         \
    "faddl %c[oStepX](%[s])\n\t"   /* the next column's */                    \
    "fstpt %c[oCxNext](%[s])\n\t"                                             \
    "jmp " #label "9f\n\t"                                                    \
    #label ":\n\t"                                                            \
    "mov $-1, %[idx]\n\t"                                                     \
    "mov %[idx], %c[oColumn" #slot "](%[s])\n\t"                              \
    "fldl %c[oFar](%[s])\n\t"                                                 \
    "fld %%st(0)\n\t"                                                         \
    "fstpt %c[oCx" #slot "](%[s])\n\t"                                        \
    #label "9:\n\t"                                                           \
    "fldl %c[oY](%[s])\n\t"

// Stores the count in `count` for orbit `slot`'s column, if it has one, and
// ends the row (label 9) when no column is left unstored.
#define VEXA_X87_STORE(slot, count, label)                                    \
    "cmpl %c[oLimit](%[s]), " count "\n\t"                                    \
    "jne " #label "f\n\t"                                                     \
    "movl $-1, " count "\n\t"                                                 \
    #label ":\n\t"                                                            \
    "mov %c[oColumn" #slot "](%[s]), %[idx]\n\t"                              \
    "test %[idx], %[idx]\n\t"                                                 \
    "js " #label "9f\n\t"                                                     \
    "movl " count ", (%[p],%[idx],4)\n\t"                                     \
    "mov %c[oLive](%[s]), %[idx]\n\t"                                         \
    "sub $1, %[idx]\n\t"                                                      \
    "mov %[idx], %c[oLive](%[s])\n\t"                                         \
    "jz 9f\n\t"                                                               \
    #label "9:\n\t"

// The start: B, then both orbits on their first columns, at n = 0 (A's
// count in ecx, B's in edx); label 2 is A's step.
#define VEXA_X87_PAIR_START                                                   \
    "fnstcw %c[oControl](%[s])\n\t"                                           \
    "fninit\n\t"                   /* extended precision, round to nearest */ \
    "fldl %c[oBailout](%[s])\n\t"  /* B */                                    \
    VEXA_X87_TAKE(B, 11)           /* ziB zrB B */                            \
    VEXA_X87_TAKE(A, 12)           /* ziA zrA ziB zrB B */                    \
    "xorl %%ecx, %%ecx\n\t"                                                   \
    "xorl %%edx, %%edx\n\t"                                                   \
    "2:\n\t"

// The first part of a step of orbit `slot`, whose zr is at stack place
// `zr` (zi just above it), up to its new zr on top: an escape goes to label
// `escaped` with zi2 zr2 on top, the limit to `limit` with zr' on top. The
// comments show A's step; B's is the same on the pair below.
#define VEXA_X87_STEP_START(slot, count, zr, escaped, limit)                  \
    "fld %%st(" zr ")\n\t"                                                    \
    "fmul %%st(0), %%st\n\t"       /* zr2 ziA zrA ziB zrB B */                \
    "fld %%st(" zr ")\n\t"                                                    \
    "fmul %%st(0), %%st\n\t"       /* zi2 zr2 ziA zrA ziB zrB B */            \
    "fld %%st(1)\n\t"                                                         \
    "fadd %%st(1), %%st\n\t"       /* s zi2 zr2 ziA zrA ziB zrB B */          \
    "fcomip %%st(7), %%st\n\t"                                                \
    "jae " escaped "\n\t"          /* s >= B: escaped */                      \
    "fsubrp %%st, %%st(1)\n\t"     /* zr2-zi2 ziA zrA ziB zrB B */            \
    "fldt %c[oCx" #slot "](%[s])\n\t"                                         \
    "faddp %%st, %%st(1)\n\t"      /* zr' ziA zrA ziB zrB B */                \
    "cmpl %c[oLimit](%[s]), " count "\n\t"                                    \
    "je " limit "\n\t"                                                        \
    "incl " count "\n\t"

// A's step: an escape goes to label 21, the limit to 22.
#define VEXA_X87_STEP_A                                                       \
    VEXA_X87_STEP_START(A, "%%ecx", "1", "21f", "22f")                        \
    "fxch %%st(2)\n\t"             /* zrA ziA zr' ziB zrB B */                \
    "fadd %%st(0), %%st\n\t"                                                  \
    "fmulp %%st, %%st(1)\n\t"      /* 2zrA*ziA zr' ziB zrB B */               \
    "faddl %c[oY](%[s])\n\t"       /* ziA' zrA' ziB zrB B */

// B's step, label 3: an escape goes to 31, the limit to 32.
#define VEXA_X87_STEP_B                                                       \
    "3:\n\t"                                                                  \
    VEXA_X87_STEP_START(B, "%%edx", "3", "31f", "32f")                        \
    "fxch %%st(4)\n\t"             /* zrB ziA zrA ziB zr' B */                \
    "fadd %%st(0), %%st\n\t"                                                  \
    "fmulp %%st, %%st(3)\n\t"      /* ziA zrA 2zrB*ziB zr' B */               \
    "fxch %%st(2)\n\t"                                                        \
    "faddl %c[oY](%[s])\n\t"                                                  \
    "fxch %%st(2)\n\t"             /* ziA zrA ziB' zrB' B */

// The ends of the columns: A's (23 with ziA zrA ziB zrB B on the stack)
// goes on with B's step, B's (33) with A's, so that an orbit running the
// point far outside cannot starve the other; label 9 ends the row.
// The end of orbit `slot`'s column: after an escape (label n1, zi2 zr2 on
// top), at the limit (n2, zr' on top) or when found periodic (n3): its z
// dropped from stack place `z`, its count stored, the next column taken
// (pushed on top of the stack).
#define VEXA_X87_COLUMN_END(slot, count, z, n)                                \
    #n "1:\n\t"                    /* escaped: drop zi2 */                    \
    "fstp %%st(0)\n\t"                                                        \
    #n "2:\n\t"                    /* at the limit: drop zr' */               \
    "fstp %%st(0)\n\t"                                                        \
    #n "3:\n\t"                                                               \
    "fstp %%st(" z ")\n\t"         /* drop the orbit's z */                   \
    "fstp %%st(" z ")\n\t"                                                    \
    VEXA_X87_STORE(slot, count, n##4)                                         \
    VEXA_X87_TAKE(slot, n##5)

// A's column end goes on with B's step, B's with A's, so that an orbit
// running the point far outside cannot starve the other; label 9 ends the
// row.
#define VEXA_X87_PAIR_END                                                     \
    VEXA_X87_COLUMN_END(A, "%%ecx", "0", 2) /* ziA zrA ziB zrB B */           \
    "xorl %%ecx, %%ecx\n\t"                                                   \
    "jmp 3b\n\t"                                                              \
    VEXA_X87_COLUMN_END(B, "%%edx", "2", 3) /* ziB zrB ziA zrA B */           \
    "fxch %%st(2)\n\t"             /* the pairs swapped back */               \
    "fxch %%st(1)\n\t"                                                        \
    "fxch %%st(3)\n\t"                                                        \
    "fxch %%st(1)\n\t"             /* ziA zrA ziB zrB B */                    \
    "xorl %%edx, %%edx\n\t"                                                   \
    "jmp 2b\n\t"                                                              \
    "9:\n\t"                       /* every column stored: three left */      \
    "fstp %%st(0)\n\t"                                                        \
    "fstp %%st(0)\n\t"                                                        \
    "fstp %%st(0)\n\t"                                                        \
    "fldcw %c[oControl](%[s])\n\t"

#define VEXA_X87_OPERANDS                                                     \
    : [idx] "=&r"(idx), "+m"(pair)                                            \
    : [s] "r"(&pair), [p] "r"(p), [oCxA] "i"(offsetof(X87Pair, cxA)),         \
      [oCxB] "i"(offsetof(X87Pair, cxB)), [oCxNext] "i"(offsetof(X87Pair, cxNext)), \
      [oSavedRA] "i"(offsetof(X87Pair, savedRA)), [oSavedIA] "i"(offsetof(X87Pair, savedIA)), \
      [oSavedRB] "i"(offsetof(X87Pair, savedRB)), [oSavedIB] "i"(offsetof(X87Pair, savedIB)), \
      [oY] "i"(offsetof(X87Pair, y)), [oStepX] "i"(offsetof(X87Pair, stepX)), \
      [oBailout] "i"(offsetof(X87Pair, bailout)), [oFar] "i"(offsetof(X87Pair, far)), \
      [oColumnA] "i"(offsetof(X87Pair, columnA)), [oColumnB] "i"(offsetof(X87Pair, columnB)), \
      [oNext] "i"(offsetof(X87Pair, next)), [oColumns] "i"(offsetof(X87Pair, columns)), \
      [oLive] "i"(offsetof(X87Pair, live)), [oLimit] "i"(offsetof(X87Pair, limit)), \
      [oControl] "i"(offsetof(X87Pair, control))                              \
    : "ecx", "edx", "cc", "memory", "st", "st(1)", "st(2)", "st(3)", "st(4)", "st(5)", \
      "st(6)", "st(7)"

bool x87Row(int row, int maxIters)
{
    X87Pair pair;
    int32_t* p = nullptr;
    if (!prepareX87Pair(row, maxIters, &pair, &p))
        return false;
    if (pair.columns == 0)
        return true;
    intptr_t idx = 0;
    __asm__ volatile(VEXA_X87_PAIR_START
                     VEXA_X87_STEP_A
                     VEXA_X87_STEP_B
                     "jmp 2b\n\t"
                     VEXA_X87_PAIR_END
                     VEXA_X87_OPERANDS);
    return true;
}

// The cycle check of one orbit after its step, on every fourth z, which
// only delays finding a cycle and keeps the comparison off most steps.
// Until n = 16 z is compared with c itself, from then on with the z saved
// at each power of two. `zi` and `zr` are the stack places of the orbit's
// new z, `ziPushed` and `zrPushed` the same once one value more is pushed;
// `next` is where the loop goes on,
// `periodic` where an orbit that repeats is stored as inside; `label` is a
// free number.
#define VEXA_X87_CHECK(slot, count, zi, zr, ziPushed, zrPushed, next, periodic, label) \
    "testl $3, " count "\n\t"                                                 \
    "jnz " next "\n\t"                                                        \
    "cmpl $16, " count "\n\t"                                                 \
    "ja " #label "1f\n\t"                                                     \
    "fldl %c[oY](%[s])\n\t"                                                   \
    "fucomip %%st(" ziPushed "), %%st\n\t"        /* zi' against cy */              \
    "jne " #label "2f\n\t"                                                    \
    "jp " #label "2f\n\t"                                                     \
    "fldt %c[oCx" #slot "](%[s])\n\t"                                         \
    "fucomip %%st(" zrPushed "), %%st\n\t"        /* zr' against cx */              \
    "jne " #label "2f\n\t"                                                    \
    "jnp " #label "5f\n\t"                                                    \
    #label "2:\n\t"                                                           \
    "cmpl $16, " count "\n\t"                                                 \
    "jne " next "\n\t"                                                        \
    "jmp " #label "4f\n\t"                  /* the first save */              \
    #label "1:\n\t"                                                           \
    "fldt %c[oSavedR" #slot "](%[s])\n\t"                                     \
    "fucomip %%st(" zrPushed "), %%st\n\t"        /* equal: ZF=1 and PF=0 */        \
    "jne " #label "3f\n\t"                                                    \
    "jp " #label "3f\n\t"                                                     \
    "fldt %c[oSavedI" #slot "](%[s])\n\t"                                     \
    "fucomip %%st(" ziPushed "), %%st\n\t"                                          \
    "jne " #label "3f\n\t"                                                    \
    "jp " #label "3f\n\t"                                                     \
    #label "5:\n\t"                                                           \
    "movl %c[oLimit](%[s]), " count "\n\t"  /* periodic: inside */            \
    "jmp " periodic "\n\t"                                                    \
    #label "3:\n\t"                                                           \
    "leal -1(" count "), %k[idx]\n\t"                                         \
    "testl %k[idx], " count "\n\t"                                            \
    "jnz " next "\n\t"                      /* n is no power of two */        \
    #label "4:\n\t"                                                           \
    "fld %%st(" zi ")\n\t"                                                  \
    "fstpt %c[oSavedI" #slot "](%[s])\n\t"                                    \
    "fld %%st(" zr ")\n\t"                                                  \
    "fstpt %c[oSavedR" #slot "](%[s])\n\t"                                    \
    "jmp " next "\n\t"

bool x87RowChecked(int row, int maxIters)
{
    X87Pair pair;
    int32_t* p = nullptr;
    if (!prepareX87Pair(row, maxIters, &pair, &p))
        return false;
    if (pair.columns == 0)
        return true;
    intptr_t idx = 0;
    __asm__ volatile(VEXA_X87_PAIR_START
                     VEXA_X87_STEP_A
                     VEXA_X87_CHECK(A, "%%ecx", "0", "1", "1", "2", "3f", "23f", 4)
                     VEXA_X87_STEP_B
                     VEXA_X87_CHECK(B, "%%edx", "2", "3", "3", "4", "2b", "33f", 5)
                     VEXA_X87_PAIR_END
                     VEXA_X87_OPERANDS);
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
