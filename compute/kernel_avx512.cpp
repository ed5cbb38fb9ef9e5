// The AVX-512F forms: 16 float or 8 double lanes per vector, lane masks in
// the mask registers. Compiled for AVX-512F function by function, in 32- and
// 64-bit builds; called only where the processor and the OS offer it.
#include "compute/kernel_forms.h"
#include "compute/sse_traits.h"

#ifdef VEXA_X86
#include <immintrin.h>

#define VEXA_TARGET __attribute__((target("avx512f")))
#define VEXA_OP static VEXA_TARGET inline __attribute__((always_inline))

namespace {

struct Avx512Float {
    using V = __m512;
    using M = __mmask16;
    using I = __m512i;
    using Scalar = float;
    using Group = SseFloat;  // the four-lane loop's, to fall back on
    static constexpr int Lanes = 16;
    VEXA_OP V load(const float* p) { return _mm512_load_ps(p); }
    VEXA_OP V splat(float a) { return _mm512_set1_ps(a); }
    VEXA_OP V add(V a, V b) { return _mm512_add_ps(a, b); }
    VEXA_OP V sub(V a, V b) { return _mm512_sub_ps(a, b); }
    VEXA_OP V mul(V a, V b) { return _mm512_mul_ps(a, b); }
    VEXA_OP M below(V a, V b) { return _mm512_cmp_ps_mask(a, b, _CMP_LT_OQ); }
    VEXA_OP M notBelow(V a, V b) { return _mm512_cmp_ps_mask(a, b, _CMP_NLT_UQ); }
    VEXA_OP M equal(V a, V b) { return _mm512_cmp_ps_mask(a, b, _CMP_EQ_OQ); }
    VEXA_OP V select(M m, V a, V b) { return _mm512_mask_blend_ps(m, b, a); }
    VEXA_OP M both(M a, M b) { return (M)(a & b); }
    VEXA_OP M either(M a, M b) { return (M)(a | b); }
    VEXA_OP M without(M a, M b) { return (M)(a & ~b); }
    VEXA_OP unsigned bits(M m) { return m; }
    VEXA_OP M fromBits(unsigned b) { return (M)b; }
    VEXA_OP I zeroCount() { return _mm512_setzero_si512(); }
    VEXA_OP I countUp(I c, M m) { return _mm512_mask_add_epi32(c, m, c, _mm512_set1_epi32(1)); }
    // The counts as stored: lanes in `inside` and lanes at the limit are -1.
    VEXA_OP void storeCounts(int32_t* out, I c, unsigned inside, int maxIters)
    {
        M last = (M)(_mm512_cmpeq_epi32_mask(c, _mm512_set1_epi32(maxIters)) | inside);
        _mm512_storeu_si512(out, _mm512_mask_mov_epi32(c, last, _mm512_set1_epi32(-1)));
    }
};

struct Avx512Double {
    using V = __m512d;
    using M = __mmask8;
    using I = __m512i;
    using Scalar = double;
    static constexpr int Lanes = 8;
    VEXA_OP V load(const double* p) { return _mm512_load_pd(p); }
    VEXA_OP V splat(double a) { return _mm512_set1_pd(a); }
    VEXA_OP V add(V a, V b) { return _mm512_add_pd(a, b); }
    VEXA_OP V sub(V a, V b) { return _mm512_sub_pd(a, b); }
    VEXA_OP V mul(V a, V b) { return _mm512_mul_pd(a, b); }
    VEXA_OP M notAbove(V a, V b) { return _mm512_cmp_pd_mask(a, b, _CMP_NGT_UQ); }
    VEXA_OP M atMost(V a, V b) { return _mm512_cmp_pd_mask(a, b, _CMP_LE_OQ); }
    VEXA_OP V select(M m, V a, V b) { return _mm512_mask_blend_pd(m, b, a); }
    VEXA_OP M equal(V a, V b) { return _mm512_cmp_pd_mask(a, b, _CMP_EQ_OQ); }
    VEXA_OP M both(M a, M b) { return (M)(a & b); }
    VEXA_OP M without(M a, M b) { return (M)(a & ~b); }
    VEXA_OP unsigned bits(M m) { return m; }
    VEXA_OP M fromBits(unsigned b) { return (M)b; }
    VEXA_OP I zeroCount() { return _mm512_setzero_si512(); }
    VEXA_OP I countUp(I c, M m) { return _mm512_mask_add_epi64(c, m, c, _mm512_set1_epi64(1)); }
    VEXA_OP void storeCounts(int32_t* out, I c, unsigned inside, int maxIters)
    {
        M last = (M)(_mm512_cmpeq_epi64_mask(c, _mm512_set1_epi64(maxIters)) | inside);
        I counts = _mm512_mask_mov_epi64(c, last, _mm512_set1_epi64(-1));
        _mm512_mask_cvtepi64_storeu_epi32(out, 0xFF, counts);
    }
};

}  // namespace

#include "compute/vector_forms.h"

VectorForms avx512Forms()
{
    // Around what the registers hold: thirty-two in 64-bit code, eight in 32-bit.
    using Slots = std::conditional_t<sizeof(void*) == 8, SlotCounts<4, 6, 8, 12>, SlotCounts<1, 2, 3>>;
    return vectorFormTable<Avx512Float, Slots, Avx512Double, Slots>();
}

#else

VectorForms avx512Forms()
{
    return {};
}

#endif
