// The pieces of the float vector forms that no known point reaches, driven
// directly with vector states made up here: the proof that escaped lanes
// stay outside, the settling of a vector's end, the detection of a lane
// that comes back inside, the freezing of periodic lanes and the schedule
// of saved values. The body is compiled here over each four-lane unit this
// build has, as the plain checked form is.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "compute/neon_traits.h"
#include "compute/portable_traits.h"
#include "compute/sse_traits.h"
#include "compute/vsx_traits.h"
#include "reference.h"

#ifdef VEXA_X86
#define VEXA_TARGET VEXA_SSE2_TARGET
#elif defined(VEXA_ARMHF)
#define VEXA_TARGET __attribute__((target("fpu=neon")))
#else
#define VEXA_TARGET
#endif
#include "compute/vector_forms.h"

// A 32-bit build compiles this file's own code for SSE2 or NEON too; each
// test first makes sure the processor has it.
#ifdef VEXA_I386
#pragma GCC target("sse2")
#elif defined(VEXA_ARMHF)
#pragma GCC target("fpu=neon")
#endif

namespace {

// The form whose checked kernel runs on these lanes.
template <class T>
constexpr KernelForm formOf = FormPlain;
#ifndef VEXA_X86
template <>
constexpr KernelForm formOf<PortableFloat> = FormPortable;
#endif
#ifdef VEXA_VSX
template <>
constexpr KernelForm formOf<VsxFloat> = FormVsx;
#endif

template <class T>
class VectorPieces : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!kernelForm(ModeSse, formOf<T>, true))
            GTEST_SKIP() << "this processor cannot run the checked four-lane form of these lanes";
    }
};

#ifdef VEXA_X86
using FourLaneUnits = ::testing::Types<SseFloat>;
#elif defined(VEXA_ARMHF)
// All of this file runs NEON here; the portable lanes are held by the other builds.
using FourLaneUnits = ::testing::Types<NeonFloat>;
#elif defined(VEXA_ARM64)
using FourLaneUnits = ::testing::Types<NeonFloat, PortableFloat>;
#elif defined(VEXA_VSX)
using FourLaneUnits = ::testing::Types<VsxFloat, PortableFloat>;
#else
using FourLaneUnits = ::testing::Types<PortableFloat>;
#endif
// Named by number, as GoogleTest names them; given, since clang's pedantic
// warnings refuse the macro without it.
struct ByNumber {
    template <class T>
    static std::string GetName(int i) { return std::to_string(i); }
};
TYPED_TEST_SUITE(VectorPieces, FourLaneUnits, ByNumber);

using Counts = std::vector<int32_t>;

template <class T>
typename T::V vec(float a, float b, float c, float d)
{
    alignas(16) const float lanes[4] = {a, b, c, d};
    return T::load(lanes);
}

// Count lanes holding a, b, c and d, counted up one iteration at a time.
template <class T>
typename T::I countsOf(int a, int b, int c, int d)
{
    typename T::I count = T::zeroCount();
    for (int n = 0; n < std::max({a, b, c, d}); ++n)
        count = T::countUp(count, T::fromBits((a > n) | (b > n) << 1 | (c > n) << 2 | (d > n) << 3));
    return count;
}

// A vector's end: lane 0 repeated (frozen at zr = inf), lanes 1-3 escaped.
template <class T>
FloatVectorEnd<T> endWithOnePeriodicLane(typename T::V zr, typename T::V zi)
{
    return {zr, zi, T::zeroCount(), 0u, 0x1u, 0u, T::splat(0.0f), T::splat(0.0f)};
}

// Points of a row that every lane escapes on its own, never to come back.
alignas(16) const float escaping[4] = {0.5f, 1.0f, -2.5f, 0.3f};

Counts fourLaneCounts(const float* cx, float cy, int maxIters)
{
    Counts out;
    for (int k = 0; k < 4; ++k)
        out.push_back(referenceCountFloat(cx[k], cy, maxIters));
    return out;
}

}  // namespace

// With c = -6 the point 3 is a fixed point outside; with c = -6.25 the
// point 2.5 lands on 0, inside, at the next step.
TYPED_TEST(VectorPieces, EscapedLanesAreProvenOutsideOnlyByWhatHolds)
{
    using T = TypeParam;
    alignas(16) const float cx[4] = {0.0f, -6.0f, -6.0f, -6.25f};
    const float inf = INFINITY;
    const unsigned need = 0xEu;  // the escaped siblings of lane 0
    // Lane 1's square is not finite, lane 2 repeats a value saved after its
    // escape, lane 3 is at the limit: proven, or nothing more to find.
    FloatVectorEnd<T> v = endWithOnePeriodicLane<T>(vec<T>(inf, 1e30f, 3.0f, 2.5f), vec<T>(0, 0, 0, 0));
    v.savedR = vec<T>(0, 0, 3.0f, 0);
    v.savedEscaped = 0x4u;
    EXPECT_TRUE(proveEscapedOutside<T>(v, need, cx, 0.0f, 99, 99)) << "at the limit";
    // Before the limit, lane 3 comes back inside: not proven.
    EXPECT_FALSE(proveEscapedOutside<T>(v, need, cx, 0.0f, 50, 99));
    // Without lane 3 in the need the rest is proven at once.
    EXPECT_TRUE(proveEscapedOutside<T>(v, 0x6u, cx, 0.0f, 50, 99));
    // A value saved while the lane was still alive proves nothing: lane 2
    // at 2.5 would equal it, yet comes back inside.
    alignas(16) const float back[4] = {0.0f, -6.0f, -6.25f, -6.0f};
    v.zr = vec<T>(inf, 1e30f, 2.5f, 3.0f);
    v.savedR = vec<T>(0, 0, 2.5f, 3.0f);
    v.savedEscaped = 0x8u;
    EXPECT_FALSE(proveEscapedOutside<T>(v, need, back, 0.0f, 50, 99));
    // Lane 3 at the outside fixed point, first saved after its escape at the
    // next power of two (n = 64), then seen repeating it.
    alignas(16) const float fixed[4] = {0.0f, -6.0f, -6.0f, -6.0f};
    v.zr = vec<T>(inf, 1e30f, 3.0f, 3.0f);
    v.savedR = vec<T>(0, 0, 3.0f, 0);
    v.savedEscaped = 0x4u;
    EXPECT_TRUE(proveEscapedOutside<T>(v, need, fixed, 0.0f, 50, 1 << 30));
}

TYPED_TEST(VectorPieces, SettlingStoresTheVectorOrRecomputesItsGroup)
{
    using T = TypeParam;
    const int limit = 40;
    const Counts want = fourLaneCounts(escaping, 0.25f, limit);
    alignas(16) const float cx[4] = {0.0f, -6.25f, -6.0f, -6.0f};
    // Counts the vector says it has: lane 0 periodic, stored as inside.
    FloatVectorEnd<T> v = endWithOnePeriodicLane<T>(vec<T>(INFINITY, 2.5f, 1e30f, 1e30f), vec<T>(0, 0, 0, 0));
    v.count = countsOf<T>(7, 1, 2, 3);
    int32_t out[4];
    settleFloatVector<T>(v, 0xEu, cx, 0.0f, 10, limit, out);
    // c = 0 stays inside, the others escape at once.
    EXPECT_EQ(Counts(out, out + 4), Counts({-1, 0, 0, 0}))
        << "lane 1 comes back inside: the group is recomputed, not stored";
    v.zr = vec<T>(INFINITY, 1e30f, 1e30f, 1e30f);
    settleFloatVector<T>(v, 0xEu, cx, 0.0f, 10, limit, out);
    EXPECT_EQ(Counts(out, out + 4), Counts({-1, 1, 2, 3})) << "every sibling proven";
    // A lane that came back inside sends the vector to the four-lane loop,
    // whatever its counts say.
    v.reentered = 0x2u;
    settleFloatVector<T>(v, 0u, escaping, 0.25f, 10, limit, out);
    EXPECT_EQ(Counts(out, out + 4), want);
}

// A lane inside that is not alive has come back: the vector is marked, and
// its end is recomputed by the four-lane loop.
TYPED_TEST(VectorPieces, LaneBackInsideIsDetectedAndItsVectorRecomputed)
{
    using T = TypeParam;
    VectorSlots<T, 1> s;
    const float cy = 0.25f;
    startChunk(s, 0, escaping, 0, 1, T::splat(cy));
    // Made up: lane 1 no longer alive but back at 0, lane 2 not alive and
    // outside, lanes 0 and 3 alive and inside.
    s.zr[0] = vec<T>(0.1f, 0.0f, 3.0f, 0.1f);
    s.zi[0] = vec<T>(0, 0, 0, 0);
    s.alive[0] = T::fromBits(0x9u);
    s.count[0] = countsOf<T>(5, 5, 5, 5);
    s.n[0] = 5;
    stepSlots<false>(s, T::splat(cy));
    EXPECT_EQ(T::bits(s.reentered[0]), 0x2u);
    EXPECT_EQ(T::bits(s.alive[0]), 0x9u);
    int32_t out[4] = {99, 99, 99, 99};
    storeChunk<T, 1, true>(s, 0, cy, 40, out);
    EXPECT_EQ(Counts(out, out + 4), fourLaneCounts(escaping, cy, 40));
}

TYPED_TEST(VectorPieces, RepeatingLanesAreFrozenOutsideAndSavesFallOnPowersOfTwo)
{
    using T = TypeParam;
    VectorSlots<T, 1> s;
    startChunk(s, 0, escaping, 0, 1, T::splat(0.0f));
    s.zr[0] = vec<T>(0.5f, 0.25f, 1.0f, 0.75f);
    s.zi[0] = vec<T>(0.5f, 0.5f, 0.5f, 0.5f);
    s.savedR[0] = vec<T>(0.5f, 0.25f, 9.0f, 0.75f);
    s.savedI[0] = vec<T>(0.5f, 0.0f, 0.5f, 0.5f);
    s.alive[0] = T::fromBits(0x7u);  // lane 3 has escaped: its repeat means nothing
    s.n[0] = 12;
    EXPECT_EQ((lookAtSlots<T, 1, true>(s, 1, 1000)), 0u) << "lane 2 is still alive";
    EXPECT_EQ(s.periodic[0], 0x1u) << "only lane 0 repeats both parts while alive";
    EXPECT_EQ(T::bits(s.alive[0]), 0x6u);
    EXPECT_EQ(T::bits(T::equal(s.zr[0], T::splat(INFINITY))), 0x1u) << "frozen outside";
    EXPECT_EQ(T::bits(T::equal(s.savedR[0], vec<T>(0.5f, 0.25f, 9.0f, 0.75f))), 0xFu)
        << "n = 12 is no power of two: nothing saved";
    s.n[0] = 16;
    lookAtSlots<T, 1, true>(s, 1, 1000);
    EXPECT_EQ(T::bits(T::equal(s.savedR[0], s.zr[0])), 0xFu) << "saved at n = 16";
    EXPECT_EQ(s.savedEscaped[0], ~0x6u) << "the lanes not alive when saved";
    s.alive[0] = T::fromBits(0);
    EXPECT_EQ((lookAtSlots<T, 1, true>(s, 1, 1000)), 1u) << "no lane alive: done";
}

