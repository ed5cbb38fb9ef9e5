// The vector forms of kernelSse (float, ModeSse) and kernelFpuC (double,
// ModeFpuC), written once over a traits struct of vector operations.
// Included once per instruction set, inside an anonymous namespace, after
// that set's traits and with VEXA_TARGET naming its target, so that every
// function here is compiled for it and the binary still runs anywhere.
//
// Each vector iterates Lanes points; Blocks vectors run side by side so
// their dependency chains overlap. Every lane does the IEEE operations of
// its mode's plain form in the same order, so the counts are the same.
//
// Float lanes follow the four-lane loop, which counts a lane at every
// iteration in which it is inside while any lane of its group of four is.
// Here a lane counts while it is alive (inside at every iteration so far);
// the two agree unless a lane comes back inside after escaping while its
// group still runs, so any lane inside that is not alive sends the whole
// vector back to the four-lane loop.
//
// The cycle check (Brent, as in the scalar kernels): z is compared with a
// value saved at each power of two. An alive lane that repeats has run
// through inside values only, so it stays inside forever: stored -1 at once
// and frozen outside (zr = inf) so that it is not seen coming back. In the
// four-lane loop that lane's group then runs to the limit, so its escaped
// siblings keep being tested there; before a vector stops early each of
// them must be proven outside forever (provenOutside).
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "compute/kernel_forms.h"
#include "state/app_state.h"

namespace {

constexpr int PieceGroups = 256;                    // groups of four per piece of a row
constexpr int PieceLanes = 4 * PieceGroups + 4 * 16;  // room for a whole block past the end

template <class T>
VEXA_TARGET inline typename T::M allLanes()
{
    return T::fromBits((1u << T::Lanes) - 1);
}

// Every lane of each group of four that holds a lane of `lanes`.
inline unsigned groupsOf(unsigned lanes)
{
    const unsigned any = (lanes | lanes >> 1 | lanes >> 2 | lanes >> 3) & 0x11111111u;
    return any * 0xFu;
}

inline bool isPowerOfTwo(int n)
{
    return (n & (n - 1)) == 0;
}

// What one float vector leaves when its block stops.
template <class T>
struct FloatVectorEnd {
    typename T::V zr, zi;
    typename T::I count;
    unsigned reentered, periodic, savedEscaped;
    float* savedR;
    float* savedI;
};

// After every lane of a vector has escaped or repeated: iterates on until
// each escaped lane of a group with a repeating lane is proven never to come
// back inside, or to the limit. A lane is proven once zr2 or zi2 is not
// finite (zr then stays inf or NaN, never inside again), or once it repeats
// a value saved after its escape (every value of that cycle was tested
// outside). Returns false when a lane comes back inside.
template <class T>
VEXA_TARGET bool provenOutside(FloatVectorEnd<T> v, unsigned need, const float* cx, float cyValue,
                               int n, int maxIters)
{
    using V = typename T::V;
    const V cy = T::splat(cyValue), four = T::splat(4.0f), inf = T::splat(INFINITY);
    V zr = v.zr, zi = v.zi;
    unsigned proven = 0, savedEscaped = v.savedEscaped;
    for (;;) {
        V zr2 = T::mul(zr, zr), zi2 = T::mul(zi, zi), t = T::mul(zi, zr);
        proven |= T::bits(T::either(T::notBelow(zr2, inf), T::notBelow(zi2, inf)));
        proven |= savedEscaped & T::bits(T::both(T::equal(zr, T::load(v.savedR)),
                                                 T::equal(zi, T::load(v.savedI))));
        if ((need & ~proven) == 0 || n == maxIters)
            return true;
        if (T::bits(T::below(T::add(zi2, zr2), four)))
            return false;
        zi = T::add(T::add(t, t), cy);
        zr = T::add(T::sub(zr2, zi2), T::load(cx));
        if (isPowerOfTwo(++n)) {
            T::store(v.savedR, zr);
            T::store(v.savedI, zi);
            savedEscaped = ~0u;
        }
    }
}

// Stores the counts of one float vector, or recomputes its groups with the
// four-lane loop where the alive counts may differ from it.
template <class T, bool Check>
VEXA_TARGET __attribute__((noinline)) void settleFloatVector(FloatVectorEnd<T> v, const float* cx,
                                                             float cy, int n, int maxIters,
                                                             int32_t* out)
{
    bool exact = v.reentered == 0 && !forceFourLaneFallback;
    const unsigned need = groupsOf(v.periodic) & ~v.periodic;
    if (Check && exact && need && n < maxIters)
        exact = provenOutside<T>(v, need, cx, cy, n, maxIters);
    if (!exact) {
        for (int g = 0; g < T::Lanes; g += 4)
            iterateFourLanes(cx + g, cy, maxIters, out + g);
        return;
    }
    alignas(64) typename T::Count lanes[T::Lanes];
    T::storeCount(lanes, v.count);
    for (int k = 0; k < T::Lanes; ++k)
        out[k] = ((v.periodic >> k) & 1u) || lanes[k] == maxIters ? InsideMarker : (int32_t)lanes[k];
}

// Iterates Blocks float vectors from cx[0 .. Blocks * Lanes) until no lane
// is alive or the limit, then stores their counts at out.
template <class T, int Blocks, bool Check>
VEXA_TARGET void iterateFloatBlock(const float* cx, float cyValue, int maxIters, int32_t* out)
{
    using V = typename T::V;
    using M = typename T::M;
    const V cy = T::splat(cyValue), four = T::splat(4.0f), inf = T::splat(INFINITY);
    V zr[Blocks], zi[Blocks];
    typename T::I count[Blocks];
    M alive[Blocks], reentered[Blocks];
    unsigned periodic[Blocks], savedEscaped[Blocks];
    alignas(64) float savedR[Blocks][T::Lanes];
    alignas(64) float savedI[Blocks][T::Lanes];
#pragma GCC unroll 4
    for (int b = 0; b < Blocks; ++b) {
        zr[b] = T::load(cx + b * T::Lanes);
        zi[b] = cy;
        count[b] = T::zeroCount();
        alive[b] = allLanes<T>();
        reentered[b] = T::fromBits(0);
        periodic[b] = savedEscaped[b] = 0;
        T::store(savedR[b], zr[b]);
        T::store(savedI[b], zi[b]);
    }
    int n = 0;
    for (;;) {
#pragma GCC unroll 4
        for (int b = 0; b < Blocks; ++b) {
            V zr2 = T::mul(zr[b], zr[b]), zi2 = T::mul(zi[b], zi[b]), t = T::mul(zi[b], zr[b]);
            M in = T::below(T::add(zi2, zr2), four);
            reentered[b] = T::either(reentered[b], T::without(in, alive[b]));
            alive[b] = T::both(alive[b], in);
            count[b] = T::countUp(count[b], alive[b]);
            zi[b] = T::add(T::add(t, t), cy);
            zr[b] = T::add(T::sub(zr2, zi2), T::load(cx + b * T::Lanes));
        }
        ++n;
        unsigned anyAlive = 0;
#pragma GCC unroll 4
        for (int b = 0; b < Blocks; ++b) {
            if (Check) {
                M same = T::both(alive[b], T::both(T::equal(zr[b], T::load(savedR[b])),
                                                   T::equal(zi[b], T::load(savedI[b]))));
                if (T::bits(same)) {
                    periodic[b] |= T::bits(same);
                    alive[b] = T::without(alive[b], same);
                    zr[b] = T::select(same, inf, zr[b]);
                }
            }
            anyAlive |= T::bits(alive[b]);
        }
        if (Check && isPowerOfTwo(n)) {
#pragma GCC unroll 4
            for (int b = 0; b < Blocks; ++b) {
                T::store(savedR[b], zr[b]);
                T::store(savedI[b], zi[b]);
                savedEscaped[b] = ~T::bits(alive[b]);
            }
        }
        if (anyAlive == 0 || n == maxIters)
            break;
    }
    for (int b = 0; b < Blocks; ++b) {
        FloatVectorEnd<T> end = {zr[b], zi[b], count[b], T::bits(reentered[b]), periodic[b],
                                 savedEscaped[b], savedR[b], savedI[b]};
        settleFloatVector<T, Check>(end, cx + b * T::Lanes, cyValue, n, maxIters,
                                    out + b * T::Lanes);
    }
}

// Iterates Blocks double vectors from x[0 .. Blocks * Lanes) on row y as the
// scalar double loop does, each lane on its own, and stores their counts.
template <class T, int Blocks, bool Check>
VEXA_TARGET void iterateDoubleBlock(const double* x, double yValue, int maxIters, int32_t* out)
{
    using V = typename T::V;
    using M = typename T::M;
    const V y = T::splat(yValue), four = T::splat(4.0), two = T::splat(2.0);
    V zr[Blocks], zi[Blocks];
    typename T::I count[Blocks];
    M alive[Blocks];
    unsigned periodic[Blocks];
    alignas(64) double savedR[Blocks][T::Lanes];
    alignas(64) double savedI[Blocks][T::Lanes];
#pragma GCC unroll 4
    for (int b = 0; b < Blocks; ++b) {
        zr[b] = T::load(x + b * T::Lanes);
        zi[b] = y;
        count[b] = T::zeroCount();
        alive[b] = allLanes<T>();
        periodic[b] = 0;
        T::store(savedR[b], zr[b]);
        T::store(savedI[b], zi[b]);
    }
    int n = 0;
    for (;;) {
#pragma GCC unroll 4
        for (int b = 0; b < Blocks; ++b) {
            V zr2 = T::mul(zr[b], zr[b]), zi2 = T::mul(zi[b], zi[b]);
            // Not above 4.0, so that a NaN goes on counting as in the scalar loop.
            alive[b] = T::both(alive[b], T::notAbove(T::add(zi2, zr2), four));
            count[b] = T::countUp(count[b], alive[b]);
            zi[b] = T::mul(T::mul(two, zi[b]), zr[b]);
            zr[b] = T::sub(zr2, zi2);
            zr[b] = T::add(zr[b], T::load(x + b * T::Lanes));
            zi[b] = T::add(zi[b], y);
        }
        ++n;
        unsigned anyAlive = 0;
#pragma GCC unroll 4
        for (int b = 0; b < Blocks; ++b) {
            if (Check) {
                M same = T::both(alive[b], T::both(T::equal(zr[b], T::load(savedR[b])),
                                                   T::equal(zi[b], T::load(savedI[b]))));
                periodic[b] |= T::bits(same);
                alive[b] = T::without(alive[b], same);
            }
            anyAlive |= T::bits(alive[b]);
        }
        if (Check && isPowerOfTwo(n)) {
#pragma GCC unroll 4
            for (int b = 0; b < Blocks; ++b) {
                T::store(savedR[b], zr[b]);
                T::store(savedI[b], zi[b]);
            }
        }
        if (anyAlive == 0 || n == maxIters)
            break;
    }
    for (int b = 0; b < Blocks; ++b) {
        alignas(64) typename T::Count lanes[T::Lanes];
        T::storeCount(lanes, count[b]);
        for (int k = 0; k < T::Lanes; ++k)
            out[b * T::Lanes + k] = ((periodic[b] >> k) & 1u) || lanes[k] == maxIters
                                        ? InsideMarker
                                        : (int32_t)lanes[k];
    }
}

template <int BlockLanes>
int paddedLanes(int lanes)
{
    return (lanes + BlockLanes - 1) / BlockLanes * BlockLanes;
}

// ModeSse: the real parts exactly as the four-lane form makes them, piece by
// piece of the row, and ceil(width / 4) whole groups kept to the buffer.
template <class T, int Blocks, bool Check>
VEXA_TARGET bool kernelWideSse(int row, int maxIters)
{
    if (maxIters < 1)
        return kernelSseFourLanesUnchecked(row, maxIters);
    int columns = 0;
    int32_t* p = rowStorage(row, &columns);
    if (!p)
        return false;
    const int64_t groups = app.width > 0 ? ((int64_t)app.width + 3) / 4 : 0;
    const int64_t writable = std::min<int64_t>(4 * groups, columns);
    const float xf = (float)app.xMin;
    const float cy = (float)((double)row * app.stepY + app.yMin);
    const float s = (float)app.stepY;
    const float a = 4.0f * (float)app.stepX;
    float lane[4] = {xf + 0.0f, xf + s, xf + (s + s), xf + 3.0f * s};
    alignas(64) float cx[PieceLanes];
    alignas(64) int32_t counts[PieceLanes];
    for (int64_t g0 = 0; g0 < groups; g0 += PieceGroups) {
        const int lanes = 4 * (int)std::min<int64_t>(PieceGroups, groups - g0);
        for (int i = 0; i < lanes; i += 4)
            for (int k = 0; k < 4; ++k) {
                cx[i + k] = lane[k];
                lane[k] = lane[k] + a;
            }
        const int padded = paddedLanes<Blocks * T::Lanes>(lanes);
        std::fill(cx + lanes, cx + padded, INFINITY);  // outside from the start
        for (int i = 0; i < padded; i += Blocks * T::Lanes)
            iterateFloatBlock<T, Blocks, Check>(cx + i, cy, maxIters, counts + i);
        const int64_t keep = std::min<int64_t>(lanes, writable - 4 * g0);
        if (keep > 0)
            std::copy(counts, counts + keep, p + 4 * g0);
    }
    return true;
}

// ModeFpuC: the real parts by repeated addition in double, as the scalar loop.
template <class T, int Blocks, bool Check>
VEXA_TARGET bool kernelWideFpuC(int row, int maxIters)
{
    if (maxIters < 1)
        return kernelFpuCScalarUnchecked(row, maxIters);
    int columns = 0;
    int32_t* p = rowStorage(row, &columns);
    if (!p)
        return false;
    columns = std::min(app.width, columns);
    const double y = (double)row * app.stepY + app.yMin;
    double xRun = app.xMin;
    alignas(64) double x[PieceLanes];
    alignas(64) int32_t counts[PieceLanes];
    for (int c0 = 0; c0 < columns; c0 += 4 * PieceGroups) {
        const int lanes = std::min(4 * PieceGroups, columns - c0);
        for (int i = 0; i < lanes; ++i) {
            x[i] = xRun;
            xRun = xRun + app.stepX;
        }
        const int padded = paddedLanes<Blocks * T::Lanes>(lanes);
        std::fill(x + lanes, x + padded, INFINITY);  // escapes at once
        for (int i = 0; i < padded; i += Blocks * T::Lanes)
            iterateDoubleBlock<T, Blocks, Check>(x + i, y, maxIters, counts + i);
        std::copy(counts, counts + lanes, p + c0);
    }
    return true;
}

// The table of one instruction set's forms.
template <class F, int FloatBlocks, class D, int DoubleBlocks>
WideKernels wideKernelTable()
{
    return {{kernelWideSse<F, FloatBlocks, false>, kernelWideSse<F, FloatBlocks, true>},
            {kernelWideFpuC<D, DoubleBlocks, false>, kernelWideFpuC<D, DoubleBlocks, true>}};
}

}  // namespace
