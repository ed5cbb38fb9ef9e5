// The AVX2 forms: 8 float or 4 double lanes per vector, lane masks as
// all-ones lanes. Compiled for AVX2 function by function, in 32- and 64-bit
// builds; called only where the processor and the OS offer it.
#include "compute/kernel_forms.h"
#include "compute/sse_traits.h"

#ifdef VEXA_X86
#include <immintrin.h>

#define VEXA_TARGET __attribute__((target("avx2")))
#define VEXA_OP static VEXA_TARGET inline __attribute__((always_inline))

namespace {

struct Avx2Float {
    using V = __m256;
    using M = __m256;
    using I = __m256i;
    using Scalar = float;
    using Group = SseFloat;  // the four-lane loop's, to fall back on
    static constexpr int Lanes = 8;
    static constexpr int StepsUnrolled = 4;
    VEXA_OP V load(const float* p) { return _mm256_load_ps(p); }
    VEXA_OP V splat(float a) { return _mm256_set1_ps(a); }
    VEXA_OP V add(V a, V b) { return _mm256_add_ps(a, b); }
    VEXA_OP V sub(V a, V b) { return _mm256_sub_ps(a, b); }
    VEXA_OP V mul(V a, V b) { return _mm256_mul_ps(a, b); }
    VEXA_OP M below(V a, V b) { return _mm256_cmp_ps(a, b, _CMP_LT_OQ); }
    VEXA_OP M notBelow(V a, V b) { return _mm256_cmp_ps(a, b, _CMP_NLT_UQ); }
    VEXA_OP M equal(V a, V b) { return _mm256_cmp_ps(a, b, _CMP_EQ_OQ); }
    VEXA_OP V select(M m, V a, V b) { return _mm256_blendv_ps(b, a, m); }
    VEXA_OP M both(M a, M b) { return _mm256_and_ps(a, b); }
    VEXA_OP M either(M a, M b) { return _mm256_or_ps(a, b); }
    VEXA_OP M without(M a, M b) { return _mm256_andnot_ps(b, a); }
    VEXA_OP unsigned bits(M m) { return (unsigned)_mm256_movemask_ps(m); }
    VEXA_OP M fromBits(unsigned b)
    {
        const __m256i lane = _mm256_setr_epi32(1, 2, 4, 8, 16, 32, 64, 128);
        __m256i set = _mm256_and_si256(_mm256_set1_epi32((int)b), lane);
        return _mm256_castsi256_ps(_mm256_cmpeq_epi32(set, lane));
    }
    VEXA_OP I zeroCount() { return _mm256_setzero_si256(); }
    VEXA_OP I countUp(I c, M m) { return _mm256_sub_epi32(c, _mm256_castps_si256(m)); }
    // The counts as stored: lanes in `inside` and lanes at the limit are -1.
    VEXA_OP void storeCounts(int32_t* out, I c, unsigned inside, int maxIters)
    {
        __m256i last = _mm256_cmpeq_epi32(c, _mm256_set1_epi32(maxIters));
        last = _mm256_or_si256(last, _mm256_castps_si256(fromBits(inside)));
        _mm256_storeu_si256((__m256i*)out, _mm256_or_si256(c, last));
    }
};

struct Avx2Double {
    using V = __m256d;
    using M = __m256d;
    using I = __m256i;
    using Scalar = double;
    static constexpr int Lanes = 4;
    static constexpr int StepsUnrolled = 4;
    VEXA_OP V load(const double* p) { return _mm256_load_pd(p); }
    VEXA_OP V splat(double a) { return _mm256_set1_pd(a); }
    VEXA_OP V add(V a, V b) { return _mm256_add_pd(a, b); }
    VEXA_OP V sub(V a, V b) { return _mm256_sub_pd(a, b); }
    VEXA_OP V mul(V a, V b) { return _mm256_mul_pd(a, b); }
    VEXA_OP M notAbove(V a, V b) { return _mm256_cmp_pd(a, b, _CMP_NGT_UQ); }
    VEXA_OP M atMost(V a, V b) { return _mm256_cmp_pd(a, b, _CMP_LE_OQ); }
    VEXA_OP V select(M m, V a, V b) { return _mm256_blendv_pd(b, a, m); }
    VEXA_OP M equal(V a, V b) { return _mm256_cmp_pd(a, b, _CMP_EQ_OQ); }
    VEXA_OP M both(M a, M b) { return _mm256_and_pd(a, b); }
    VEXA_OP M without(M a, M b) { return _mm256_andnot_pd(b, a); }
    VEXA_OP unsigned bits(M m) { return (unsigned)_mm256_movemask_pd(m); }
    VEXA_OP M fromBits(unsigned b)
    {
        const __m256i lane = _mm256_setr_epi64x(1, 2, 4, 8);
        __m256i set = _mm256_and_si256(_mm256_set1_epi64x((long long)b), lane);
        return _mm256_castsi256_pd(_mm256_cmpeq_epi64(set, lane));
    }
    VEXA_OP I zeroCount() { return _mm256_setzero_si256(); }
    VEXA_OP I countUp(I c, M m) { return _mm256_sub_epi64(c, _mm256_castpd_si256(m)); }
    VEXA_OP void storeCounts(int32_t* out, I c, unsigned inside, int maxIters)
    {
        __m256i last = _mm256_cmpeq_epi64(c, _mm256_set1_epi64x(maxIters));
        last = _mm256_or_si256(last, _mm256_castpd_si256(fromBits(inside)));
        __m256i low = _mm256_permutevar8x32_epi32(_mm256_or_si256(c, last),
                                                  _mm256_setr_epi32(0, 2, 4, 6, 0, 2, 4, 6));
        _mm_storeu_si128((__m128i*)out, _mm256_castsi256_si128(low));
    }
};

}  // namespace

#include "compute/vector_forms.h"

VectorForms avx2Forms()
{
    // Around what the registers hold: sixteen in 64-bit code, eight in 32-bit.
    using Slots = std::conditional_t<sizeof(void*) == 8, SlotCounts<2, 3, 4, 5, 6>, SlotCounts<1, 2, 3>>;
    return vectorFormTable<Avx2Float, Slots, Avx2Double, Slots>();
}

#else

VectorForms avx2Forms()
{
    return {};
}

#endif
