// The body of the vector forms of kernelSse (float lanes, ModeSse) and
// kernelFpuC (double lanes, ModeFpuC), written once over traits structs of
// vector operations. Not an ordinary header: a file of one instruction set
// includes it once, after defining that set's traits and VEXA_TARGET (the
// target attribute of every function here), so that the body is compiled
// for that set alone and the binary still runs on any processor. It puts
// its functions in an anonymous namespace and undefines its macros at the end.
//
// Each vector iterates Lanes points; Slots vectors run side by side so that
// their dependency chains overlap, each taking the row's next chunk when it
// is done. A form is built for a few slot counts and times them on first
// use (pickSlots). Every lane does the IEEE operations of its mode's plain
// form in the same order, so the counts are the same whatever the count.
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
// and, in float vectors, frozen outside (zr = inf) so that it is not seen
// coming back. In the four-lane loop that lane's group then runs to the
// limit, so its escaped siblings keep being tested there; before a float
// vector stops early each of them must be proven outside forever
// (proveEscapedOutside).
#ifndef VEXA_TARGET
#error "vector_forms.h is the body of one instruction set's vector forms: define VEXA_TARGET and that set's traits, then include it once"
#endif
#ifdef VEXA_INLINE
#error "vector_forms.h is included once per file"
#endif

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <type_traits>

#include "compute/four_lane_loop.h"
#include "compute/kernel_forms.h"
#include "state/app_state.h"

#define VEXA_INLINE VEXA_TARGET inline __attribute__((always_inline))

namespace {

constexpr int PieceGroups = 256;                   // groups of four per piece of a row
constexpr int PieceLanes = 4 * PieceGroups + 16;  // room to fill the last vector

// Float lanes keep to the four-lane loop's groups; double lanes stand alone.
template <class T>
constexpr bool floatLanes = std::is_same<typename T::Scalar, float>::value;

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

// What one float vector leaves when its chunk is done.
template <class T>
struct FloatVectorEnd {
    typename T::V zr, zi;
    typename T::I count;
    unsigned reentered, periodic, savedEscaped;
    typename T::V savedR, savedI;
};

// After every lane of a vector has escaped or repeated: iterates on until
// each escaped lane of a group with a repeating lane is proven never to come
// back inside, or to the limit. A lane is proven once zr2 or zi2 is not
// finite (zr then stays inf or NaN, never inside again), or once it repeats
// a value saved after its escape (every value of that cycle was tested
// outside). Returns false when a lane comes back inside.
template <class T>
VEXA_TARGET bool proveEscapedOutside(FloatVectorEnd<T> v, unsigned need, const float* cx,
                                     float cyValue, int n, int maxIters)
{
    using V = typename T::V;
    const V cy = T::splat(cyValue), four = T::splat(4.0f), inf = T::splat(INFINITY);
    V zr = v.zr, zi = v.zi, savedR = v.savedR, savedI = v.savedI;
    unsigned proven = 0, savedEscaped = v.savedEscaped;
    for (;;) {
        V zr2 = T::mul(zr, zr), zi2 = T::mul(zi, zi), t = T::mul(zi, zr);
        proven |= T::bits(T::either(T::notBelow(zr2, inf), T::notBelow(zi2, inf)));
        proven |= savedEscaped & T::bits(T::both(T::equal(zr, savedR), T::equal(zi, savedI)));
        if ((need & ~proven) == 0 || n == maxIters)
            return true;
        if (T::bits(T::below(T::add(zi2, zr2), four)))
            return false;
        zi = T::add(T::add(t, t), cy);
        zr = T::add(T::sub(zr2, zi2), T::load(cx));
        if (isPowerOfTwo(++n)) {
            savedR = zr;
            savedI = zi;
            savedEscaped = ~0u;
        }
    }
}

// The end of a float vector whose counts may not yet be the four-lane
// loop's: a lane came back inside, or escaped lanes of a group with a
// repeating lane (`need`) are still to be proven outside. Stores the counts,
// or recomputes the vector's groups with the four-lane loop.
template <class T>
VEXA_TARGET __attribute__((noinline)) void settleFloatVector(FloatVectorEnd<T> v, unsigned need,
                                                             const float* cx, float cy, int n,
                                                             int maxIters, int32_t* out)
{
    bool exact = v.reentered == 0 && !forceFourLaneFallback;
    if (exact && need)
        exact = proveEscapedOutside<T>(v, need, cx, cy, n, maxIters);
    if (!exact) {
        using G = typename T::Group;
        for (int g = 0; g < T::Lanes; g += 4)
            iterateGroup<G>(G::load(cx + g), G::splat(cy), maxIters, out + g);
        return;
    }
    T::storeCounts(out, v.count, v.periodic, maxIters);
}

// Lanes whose c lies within this squared radius (|c| below 1.9975) never
// come back inside once they have escaped: from |z| >= 2, |z^2 + c| is at
// least 4 - |c|, 0.0025 above 2, and every step after widens the gap, while
// a step's rounding near |z| = 2 is some 1e-6 even in float; an overflow
// gives inf or NaN, which never compare inside. Chunks of such lanes need
// neither the alive mask nor the watch for lanes coming back: each step is
// the ceiling's own, the step, one compare and a masked count add.
constexpr double SettledRadiusSquared = 3.99;

// Iterations between two looks at the lanes: every lane is tested and
// counted at every iteration, but whether a vector is done, and the cycle
// check, come once per stride. Comparing z less often only delays finding
// a cycle; saves still fall on powers of two.
constexpr int Stride = 8;

// How many of a stride's steps run unrolled in one go: T::StepsUnrolled
// where the traits set it, else the whole stride. Unrolled eight times, the
// AVX2 forms kept every step's lane mask in memory until the stride's end,
// to add them to the counts there; four at a time, they ran 3 to 8 % faster
// on an AMD EPYC of family 23.
template <class T, class = void>
constexpr int stepsUnrolled = Stride;
template <class T>
constexpr int stepsUnrolled<T, std::void_t<decltype(T::StepsUnrolled)>> = T::StepsUnrolled;

// Slots vectors in flight, each on its own chunk of Lanes points and its
// own iteration count; a slot whose chunk is done takes the next one.
// Double lanes never read `reentered`, and the compiler drops it for them.
template <class T, int Slots>
struct VectorSlots {
    typename T::V zr[Slots], zi[Slots], savedR[Slots], savedI[Slots];
    typename T::I count[Slots];
    typename T::M alive[Slots], reentered[Slots];
    unsigned periodic[Slots], savedEscaped[Slots];
    const typename T::Scalar* cx[Slots];
    int n[Slots], chunk[Slots];
};

// One iteration of every slot, as its mode's plain form does it.
template <bool Settled, class T, int Slots>
VEXA_INLINE void stepSlots(VectorSlots<T, Slots>& s, typename T::V cy)
{
    using V = typename T::V;
    const V four = T::splat(4), two = T::splat(2);
#pragma GCC unroll 16
    for (int b = 0; b < Slots; ++b) {
        V zr2 = T::mul(s.zr[b], s.zr[b]), zi2 = T::mul(s.zi[b], s.zi[b]);
        if constexpr (Settled) {
            // No lane comes back, so the lanes inside are those alive; the
            // ordered compare keeps double lanes that overflowed to NaN out,
            // and an alive one is never NaN.
            typename T::M in;
            if constexpr (floatLanes<T>) {
                V t = T::mul(s.zi[b], s.zr[b]);
                in = T::below(T::add(zi2, zr2), four);
                s.zi[b] = T::add(T::add(t, t), cy);
            } else {
                in = T::atMost(T::add(zi2, zr2), four);
                s.zi[b] = T::add(T::mul(T::mul(two, s.zi[b]), s.zr[b]), cy);
            }
            s.alive[b] = in;
            s.count[b] = T::countUp(s.count[b], in);
        } else if constexpr (floatLanes<T>) {
            // The four-lane loop: strict test, zi from zi*zr doubled by addition.
            V t = T::mul(s.zi[b], s.zr[b]);
            typename T::M in = T::below(T::add(zi2, zr2), four);
            s.reentered[b] = T::either(s.reentered[b], T::without(in, s.alive[b]));
            s.alive[b] = T::both(s.alive[b], in);
            s.count[b] = T::countUp(s.count[b], s.alive[b]);
            s.zi[b] = T::add(T::add(t, t), cy);
        } else {
            // The scalar double loop: not above 4.0, so that a NaN goes on
            // counting as there; zi from 2*zi times zr.
            s.alive[b] = T::both(s.alive[b], T::notAbove(T::add(zi2, zr2), four));
            s.count[b] = T::countUp(s.count[b], s.alive[b]);
            s.zi[b] = T::add(T::mul(T::mul(two, s.zi[b]), s.zr[b]), cy);
        }
        s.zr[b] = T::add(T::sub(zr2, zi2), T::load(s.cx[b]));
    }
}

// Puts chunk `chunk` into slot b, or with none left makes the slot idle:
// not alive, and NaN from its first step, so never inside.
template <class T, int Slots>
VEXA_INLINE void startChunk(VectorSlots<T, Slots>& s, int b, const typename T::Scalar* c,
                            int chunk, int chunks, typename T::V ci)
{
    const bool idle = chunk >= chunks;
    s.chunk[b] = chunk;
    s.cx[b] = c + (idle ? 0 : chunk * T::Lanes);
    s.zr[b] = idle ? T::splat(INFINITY) : T::load(s.cx[b]);
    s.zi[b] = idle ? T::splat(INFINITY) : ci;
    s.count[b] = T::zeroCount();
    s.alive[b] = idle ? T::fromBits(0) : allLanes<T>();
    s.reentered[b] = T::fromBits(0);
    s.n[b] = 0;
    s.periodic[b] = s.savedEscaped[b] = 0;
    s.savedR[b] = s.zr[b];
    s.savedI[b] = s.zi[b];
}

// The cycle check of slot b: alive lanes that repeat their saved value are
// inside for ever. Their zr becomes inf where a lane inside is taken for
// alive, so that they are never seen inside again.
template <bool Settled, class T, int Slots>
VEXA_INLINE void findRepeats(VectorSlots<T, Slots>& s, int b)
{
    // zr first: it seldom repeats alone, and one comparison is cheaper than two.
    typename T::M same = T::both(s.alive[b], T::equal(s.zr[b], s.savedR[b]));
    if (T::bits(same) == 0)
        return;
    same = T::both(same, T::equal(s.zi[b], s.savedI[b]));
    if (T::bits(same) == 0)
        return;
    s.periodic[b] |= T::bits(same);
    s.alive[b] = T::without(s.alive[b], same);
    if constexpr (floatLanes<T> || Settled)
        s.zr[b] = T::select(same, T::splat(INFINITY), s.zr[b]);
}

// After a stride or a step: the check and the saves of every working slot,
// and which of them are done.
template <class T, int Slots, bool Check, bool Settled = false>
VEXA_INLINE unsigned lookAtSlots(VectorSlots<T, Slots>& s, int chunks, int maxIters)
{
    unsigned done = 0;
#pragma GCC unroll 16
    for (int b = 0; b < Slots; ++b) {
        if (s.chunk[b] >= chunks)
            continue;
        if (Check) {
            findRepeats<Settled>(s, b);
            if (isPowerOfTwo(s.n[b])) {
                s.savedR[b] = s.zr[b];
                s.savedI[b] = s.zi[b];
                s.savedEscaped[b] = ~T::bits(s.alive[b]);
            }
        }
        if (T::bits(s.alive[b]) == 0 || s.n[b] == maxIters)
            done |= 1u << b;
    }
    return done;
}

// Iterations the slots may all take in one go: a stride, or one near the limit.
template <class T, int Slots>
VEXA_INLINE int stepsAhead(const VectorSlots<T, Slots>& s, int chunks, int maxIters)
{
    int least = Stride;
#pragma GCC unroll 16
    for (int b = 0; b < Slots; ++b)
        if (s.chunk[b] < chunks)
            least = std::min(least, maxIters - s.n[b]);
    return least >= Stride ? Stride : 1;
}

// Stores the counts of slot b's finished chunk at its place in out. A float
// vector whose lanes may not match the four-lane loop yet is settled first;
// a settled chunk's always do.
template <class T, int Slots, bool Check, bool Settled = false>
VEXA_INLINE void storeChunk(VectorSlots<T, Slots>& s, int b, typename T::Scalar cy, int maxIters,
                            int32_t* out)
{
    int32_t* counts = out + s.chunk[b] * T::Lanes;
    if constexpr (floatLanes<T> && !Settled) {
        const unsigned reentered = T::bits(s.reentered[b]);
        const unsigned need =
            Check && s.n[b] < maxIters ? groupsOf(s.periodic[b]) & ~s.periodic[b] : 0;
        if (reentered != 0 || need != 0 || forceFourLaneFallback) {
            FloatVectorEnd<T> end = {s.zr[b],       s.zi[b],           s.count[b], reentered,
                                     s.periodic[b], s.savedEscaped[b], s.savedR[b], s.savedI[b]};
            settleFloatVector<T>(end, need, s.cx[b], cy, s.n[b], maxIters, counts);
            return;
        }
    }
    T::storeCounts(counts, s.count[b], s.periodic[b], maxIters);
}

// The chunks of a run: how many, the next to start, and how many slots
// still work on one.
struct ChunkQueue {
    int chunks, next, working;
};

// Moves the working slots of s into the first of h, the rest of h idle.
template <class T, int Slots, int Fewer>
VEXA_INLINE void moveWorkingSlots(const VectorSlots<T, Slots>& s, VectorSlots<T, Fewer>& h, int chunks,
                                  const typename T::Scalar* cx, typename T::V cy)
{
    int j = 0;
#pragma GCC unroll 16
    for (int b = 0; b < Slots; ++b) {
        if (s.chunk[b] >= chunks)
            continue;
        h.zr[j] = s.zr[b];
        h.zi[j] = s.zi[b];
        h.savedR[j] = s.savedR[b];
        h.savedI[j] = s.savedI[b];
        h.count[j] = s.count[b];
        h.alive[j] = s.alive[b];
        h.reentered[j] = s.reentered[b];
        h.periodic[j] = s.periodic[b];
        h.savedEscaped[j] = s.savedEscaped[b];
        h.cx[j] = s.cx[b];
        h.n[j] = s.n[b];
        h.chunk[j++] = s.chunk[b];
    }
    for (; j < Fewer; ++j)
        startChunk(h, j, cx, chunks, chunks, cy);
}

// Steps a working slot has run before it counts as long: most orbits that
// have not escaped by then stay inside to the limit or escape much later.
constexpr int LongAfter = 128;

// Whether every working slot has run long.
template <class T, int Slots>
VEXA_INLINE bool allLong(const VectorSlots<T, Slots>& s, const ChunkQueue& q)
{
    bool all = true;
#pragma GCC unroll 16
    for (int b = 0; b < Slots; ++b)
        all &= s.chunk[b] >= q.chunks || s.n[b] >= LongAfter;
    return all;
}

// The next count down that working slots are handed over to: 12 go on in 8,
// 8 in 6, then one fewer at a time. Halving instead stepped up to half the
// slots idle beside the last few long vectors of a row.
constexpr int fewerSlots(int slots)
{
    return slots > 8 ? 8 : slots > 6 ? 6 : slots > 4 ? 4 : slots - 1;
}

// Runs the slots, each slot that is done taking the next chunk, until every
// chunk is done or none is left to take while no more slots than the next
// count down still work: those then go on in that many (handOver), since
// idle slots would still be stepped and a row often ends on a few vectors
// that stay inside to the limit.
template <class T, int Slots, bool Check, bool Settled>
VEXA_INLINE void runSlots(VectorSlots<T, Slots>& s, const typename T::Scalar* cx, ChunkQueue& q,
                          typename T::Scalar cyValue, int maxIters, int32_t* out)
{
    const typename T::V cy = T::splat(cyValue);
    while (q.working > 0 && !(Slots > 1 && q.next >= q.chunks && q.working <= fewerSlots(Slots) && allLong(s, q))) {
        const int steps = stepsAhead(s, q.chunks, maxIters);
        static_assert(stepsUnrolled<T> == 4 || stepsUnrolled<T> == Stride, "a pragma for each");
        if (steps != Stride) {
            stepSlots<Settled>(s, cy);
        } else if constexpr (stepsUnrolled<T> == 4) {
#pragma GCC unroll 4
            for (int j = 0; j < Stride; ++j)
                stepSlots<Settled>(s, cy);
        } else {
#pragma GCC unroll 8
            for (int j = 0; j < Stride; ++j)
                stepSlots<Settled>(s, cy);
        }
#pragma GCC unroll 16
        for (int b = 0; b < Slots; ++b)
            s.n[b] += steps;
        const unsigned done = lookAtSlots<T, Slots, Check, Settled>(s, q.chunks, maxIters);
        if (done == 0)
            continue;
#pragma GCC unroll 16
        for (int b = 0; b < Slots; ++b) {
            if (!((done >> b) & 1u))
                continue;
            storeChunk<T, Slots, Check, Settled>(s, b, cyValue, maxIters, out);
            startChunk(s, b, cx, q.next++, q.chunks, cy);
            q.working -= q.next > q.chunks;
        }
    }
}

template <class T, int Slots, bool Check, bool Settled>
VEXA_INLINE void handOver(const VectorSlots<T, Slots>& s, const typename T::Scalar* cx, ChunkQueue q,
                          typename T::Scalar cyValue, int maxIters, int32_t* out);

// Goes on with the slots of `from`, in a copy of its own that can stay in registers.
template <class T, int Slots, bool Check, bool Settled>
VEXA_TARGET __attribute__((noinline)) void goOn(const VectorSlots<T, Slots>* from, const typename T::Scalar* cx,
                                                ChunkQueue q, typename T::Scalar cyValue, int maxIters,
                                                int32_t* out)
{
    VectorSlots<T, Slots> s = *from;
    runSlots<T, Slots, Check, Settled>(s, cx, q, cyValue, maxIters, out);
    handOver<T, Slots, Check, Settled>(s, cx, q, cyValue, maxIters, out);
}

template <class T, int Slots, bool Check, bool Settled>
VEXA_INLINE void handOver(const VectorSlots<T, Slots>& s, const typename T::Scalar* cx, ChunkQueue q,
                          typename T::Scalar cyValue, int maxIters, int32_t* out)
{
    if constexpr (Slots > 1) {
        if (q.working > 0) {
            VectorSlots<T, fewerSlots(Slots)> h;
            moveWorkingSlots(s, h, q.chunks, cx, T::splat(cyValue));
            goOn<T, fewerSlots(Slots), Check, Settled>(&h, cx, q, cyValue, maxIters, out);
        }
    }
}

// Iterates the vectors cx[0 .. chunks * Lanes) on the row whose imaginary
// part is cyValue until each has no lane alive or reaches the limit, and
// stores their counts at out.
template <class T, int Slots, bool Check, bool Settled>
VEXA_TARGET void iterateChunks(const typename T::Scalar* cx, int chunks, typename T::Scalar cyValue,
                               int maxIters, int32_t* out)
{
    VectorSlots<T, Slots> s;
    ChunkQueue q = {chunks, 0, std::min(chunks, Slots)};
#pragma GCC unroll 16
    for (int b = 0; b < Slots; ++b)
        startChunk(s, b, cx, q.next++, chunks, T::splat(cyValue));
    runSlots<T, Slots, Check, Settled>(s, cx, q, cyValue, maxIters, out);
    handOver<T, Slots, Check, Settled>(s, cx, q, cyValue, maxIters, out);
}

// Whether every lane of chunk k of cx[0 .. lanes) is settled on the row cy;
// the padding past `lanes` is outside from the start, so it counts as
// settled. Never while the float forms are made to fall back, which only
// unsettled chunks do.
template <class T>
VEXA_INLINE bool settledChunk(const typename T::Scalar* cx, int k, int lanes, typename T::Scalar cy)
{
    using V = typename T::V;
    if (forceFourLaneFallback)
        return false;
    const V x = T::load(cx + k * T::Lanes), bound = T::splat(SettledRadiusSquared);
    const V r = T::add(T::mul(x, x), T::splat(cy * cy));
    unsigned settled;
    if constexpr (floatLanes<T>)
        settled = T::bits(T::below(r, bound));
    else
        settled = T::bits(T::atMost(r, bound));  // NaN: not settled
    const unsigned all = (1u << T::Lanes) - 1, real = (1u << std::min(T::Lanes, lanes - k * T::Lanes)) - 1;
    return (settled | (all & ~real)) == all;
}

// Iterates the lanes cx[0 .. lanes) of a row, padded to whole vectors, in
// runs of chunks that are settled or not, each run with its own step.
template <class T, int Slots, bool Check>
VEXA_TARGET void iterateRow(const typename T::Scalar* cx, int lanes, typename T::Scalar cy, int maxIters,
                            int32_t* out)
{
    const int chunks = (lanes + T::Lanes - 1) / T::Lanes;
    for (int first = 0, end; first < chunks; first = end) {
        const bool runSettled = settledChunk<T>(cx, first, lanes, cy);
        for (end = first + 1; end < chunks && settledChunk<T>(cx, end, lanes, cy) == runSettled;)
            ++end;
        const int at = first * T::Lanes;
        if (runSettled)
            iterateChunks<T, Slots, Check, true>(cx + at, end - first, cy, maxIters, out + at);
        else
            iterateChunks<T, Slots, Check, false>(cx + at, end - first, cy, maxIters, out + at);
    }
}

// One of the numbers of vectors a form may keep in flight, and the row
// iteration that keeps them.
template <class T>
struct SlotPick {
    using Scalar = typename T::Scalar;
    void (*iterate)(const Scalar* cx, int lanes, Scalar cy, int maxIters, int32_t* out);
    int slots;
};

// The rows every candidate is timed on, each about as wide as a row of the
// window: on a narrower one, vectors of 16 lanes in many slots spend more of
// the row in its tail than a row does. The first crosses the cardioid, the
// bulb and the needle near the axis, so that lanes stay inside to the limit,
// repeat, escape late and escape at once, in settled and unsettled chunks.
// The second is a stretch of the boundary seen close up, as most exploring
// is: every lane escapes late, each at its own count. It runs twice, so that
// the two weigh about alike. Timed on the first alone, forms chose fewer
// vectors than both views run fastest with; with the first at limit 256 and
// the second once, taking a third of the time, the AVX-512 double form still
// chose 6 vectors on an AMD EPYC where 8 ran 3 % faster on the start-up view
// and 7 % close up.
constexpr int SampleLanes = 512, SampleLimit = 512;

struct SampleRow {
    double x0, width, y;
    int runs;
};
constexpr SampleRow SampleRows[] = {{-2.0, 2.5, 0.125, 1}, {-0.7504, 0.01, 0.1127, 2}};
constexpr int SampleRowCount = sizeof SampleRows / sizeof SampleRows[0];

template <class T>
struct Sample {
    const SlotPick<T>* picks;
    alignas(64) typename T::Scalar cx[SampleRowCount][SampleLanes];
    alignas(64) int32_t counts[SampleLanes];
};

template <class T>
void fillSample(Sample<T>& sample)
{
    for (int r = 0; r < SampleRowCount; ++r)
        for (int i = 0; i < SampleLanes; ++i)
            sample.cx[r][i] = (typename T::Scalar)(SampleRows[r].x0 + SampleRows[r].width * i / SampleLanes);
}

template <class T>
void runSample(int k, void* sample)
{
    Sample<T>& s = *static_cast<Sample<T>*>(sample);
    for (int r = 0; r < SampleRowCount; ++r)
        for (int run = 0; run < SampleRows[r].runs; ++run)
            s.picks[k].iterate(s.cx[r], SampleLanes, (typename T::Scalar)SampleRows[r].y, SampleLimit, s.counts);
}

// The candidate that runs the sample rows fastest here.
template <class T, size_t N>
SlotPick<T> fastestPick(const std::array<SlotPick<T>, N>& picks)
{
    Sample<T> sample;
    sample.picks = picks.data();
    fillSample(sample);
    return picks[fastestCandidate((int)N, runSample<T>, &sample)];
}

// The candidate the kernels run with: the fastest, timed on first use, or
// the stand-in's count where a test has set one that the form offers.
template <class T, bool Check, int... Counts>
SlotPick<T> pickSlots(SlotCounts<Counts...>)
{
    static const std::array<SlotPick<T>, sizeof...(Counts)> picks = {
        {{iterateRow<T, Counts, Check>, Counts}...}};
    static const SlotPick<T> fastest = fastestPick<T>(picks);
    if (slotsStandIn != 0)
        for (const SlotPick<T>& p : picks)
            if (p.slots == slotsStandIn)
                return p;
    return fastest;
}

template <class T, class Counts>
int chosenSlots(bool check)
{
    return check ? pickSlots<T, true>(Counts{}).slots : pickSlots<T, false>(Counts{}).slots;
}

template <int... Counts>
std::vector<int> listSlots(SlotCounts<Counts...>)
{
    return {Counts...};
}

template <class T, class Counts>
void runChosenOnSample(bool check)
{
    const SlotPick<T> pick = check ? pickSlots<T, true>(Counts{}) : pickSlots<T, false>(Counts{});
    Sample<T> sample;
    sample.picks = &pick;
    fillSample(sample);
    runSample<T>(0, &sample);
}

template <class T, class Counts>
SlotChoice slotChoice()
{
    return {chosenSlots<T, Counts>, listSlots(Counts{}), runChosenOnSample<T, Counts>};
}

// ModeSse: the real parts exactly as the four-lane form makes them, and
// ceil(width / 4) whole groups kept to the buffer. Without room for the real
// parts the four-lane loop runs the row: its counts are the same.
template <class T, class Counts, bool Check>
VEXA_TARGET bool vectorFormSse(int row, int maxIters)
{
    const int64_t groups = fourLaneGroups();
    const float* x = maxIters < 1 ? nullptr : fourLaneRowReals(groups);
    if (!x)
        return fourLaneRow<typename T::Group>(row, maxIters);
    int columns = 0;
    int32_t* p = rowStorage(row, &columns);
    if (!p)
        return false;
    const int64_t writable = std::min<int64_t>(4 * groups, columns);
    const SlotPick<T> pick = pickSlots<T, Check>(Counts{});
    const float cy = fourLaneImaginary(row);
    alignas(64) int32_t counts[PieceLanes];
    for (int64_t g0 = 0; g0 < groups; g0 += PieceGroups) {
        const int lanes = 4 * (int)std::min<int64_t>(PieceGroups, groups - g0);
        pick.iterate(x + 4 * g0, lanes, cy, maxIters, counts);
        const int64_t keep = std::min<int64_t>(lanes, writable - 4 * g0);
        if (keep > 0)
            std::copy(counts, counts + keep, p + 4 * g0);
    }
    return true;
}

// ModeFpuC: the real parts by repeated addition in double, as the scalar
// loop makes them; without room for them the scalar loop runs the row.
template <class T, class Counts, bool Check>
VEXA_TARGET bool vectorFormFpuC(int row, int maxIters)
{
    int columns = 0;
    int32_t* p = clippedRowStorage(row, &columns);
    const double* x = maxIters < 1 || !p ? nullptr : doubleRowReals(columns);
    if (!x)
        return scalarDoubleForms()[0](row, maxIters);
    const SlotPick<T> pick = pickSlots<T, Check>(Counts{});
    const double y = (double)row * app.stepY + app.yMin;
    alignas(64) int32_t counts[PieceLanes];
    for (int c0 = 0; c0 < columns; c0 += 4 * PieceGroups) {
        const int lanes = std::min(4 * PieceGroups, columns - c0);
        pick.iterate(x + c0, lanes, y, maxIters, counts);
        std::copy(counts, counts + lanes, p + c0);
    }
    return true;
}

// The ceiling: Vectors vectors of the mode's step, escape compare and
// masked count add, with nothing else to do. Each vector has its own c, all
// inside the main cardioid, so that no two compute the same values; their
// orbits settle on a fixed point, far from zero and from any escape.
template <class T, int Vectors>
VEXA_TARGET __attribute__((noinline)) void ceilingSteps(int64_t steps, double cxValue, double cyValue,
                                                       CeilingEnd* end)
{
    using V = typename T::V;
    using S = typename T::Scalar;
    const V four = T::splat(4), two = T::splat(2), cy = T::splat((S)cyValue);
    V cx[Vectors], zr[Vectors], zi[Vectors];
    typename T::I count[Vectors];
    for (int b = 0; b < Vectors; ++b) {
        cx[b] = T::splat((S)(cxValue - b / 1024.0));
        zr[b] = zi[b] = T::splat(0);
        count[b] = T::zeroCount();
    }
    for (int64_t i = 0; i < steps; ++i) {
#pragma GCC unroll 16
        for (int b = 0; b < Vectors; ++b) {
            V zr2 = T::mul(zr[b], zr[b]), zi2 = T::mul(zi[b], zi[b]);
            if constexpr (floatLanes<T>) {
                V t = T::mul(zi[b], zr[b]);
                count[b] = T::countUp(count[b], T::below(T::add(zi2, zr2), four));
                zi[b] = T::add(T::add(t, t), cy);
            } else {
                count[b] = T::countUp(count[b], T::notAbove(T::add(zi2, zr2), four));
                zi[b] = T::add(T::mul(T::mul(two, zi[b]), zr[b]), cy);
            }
            zr[b] = T::add(T::sub(zr2, zi2), cx[b]);
        }
    }
    alignas(64) S r[T::Lanes], i[T::Lanes];
    alignas(64) int32_t n[T::Lanes];
    double sum = 0.0;
    for (int b = Vectors - 1; b >= 0; --b) {
        // The compiler's own copy: IBM Z cannot inline the library's
        // fortified memcpy into a function compiled for its vector facility.
        __builtin_memcpy(r, &zr[b], sizeof r);
        __builtin_memcpy(i, &zi[b], sizeof i);
        T::storeCounts(n, count[b], 0, -1);  // no lane is at a limit of -1
        sum += (double)r[0] + (double)i[0] + n[0];
    }
    *end = {r[0], i[0], n[0], sum};
}

// The run of `vectors` vectors, one of CeilingCounts.
template <class T, int... Counts>
int ceilingRunOf(std::integer_sequence<int, Counts...>, int vectors, int64_t steps, double cx, double cy,
                 CeilingEnd* end)
{
    const bool offered = ((vectors == Counts && (ceilingSteps<T, Counts>(steps, cx, cy, end), true)) || ...);
    return offered ? T::Lanes : 0;
}

template <class T>
int ceilingRun(int vectors, int64_t steps, double cx, double cy, CeilingEnd* end)
{
    return ceilingRunOf<T>(CeilingCounts{}, vectors, steps, cx, cy, end);
}

// The float kernels of one instruction set's vector forms, each with the
// fastest of FloatSlots vectors in flight, their ceiling and their choice.
template <class F, class FloatSlots>
VectorForms floatFormTable()
{
    return {{{vectorFormSse<F, FloatSlots, false>, vectorFormSse<F, FloatSlots, true>}},
            {},
            ceilingRun<F>,
            nullptr,
            slotChoice<F, FloatSlots>(),
            {}};
}

// The double kernels, their ceiling and their choice, put into `forms`.
template <class D, class DoubleSlots>
VectorForms withDoubleForms(VectorForms forms)
{
    forms.fpuC = {{vectorFormFpuC<D, DoubleSlots, false>, vectorFormFpuC<D, DoubleSlots, true>}};
    forms.fpuCCeiling = ceilingRun<D>;
    forms.fpuCSlots = slotChoice<D, DoubleSlots>();
    return forms;
}

template <class F, class FloatSlots, class D, class DoubleSlots>
VectorForms vectorFormTable()
{
    return withDoubleForms<D, DoubleSlots>(floatFormTable<F, FloatSlots>());
}

}  // namespace

#undef VEXA_INLINE
#undef VEXA_TARGET
