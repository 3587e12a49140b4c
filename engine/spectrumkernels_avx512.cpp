// The spectrum kernel for processors with AVX-512: eight observations per
// vector, four vectors per step.  This file alone is compiled for those
// units; it runs only when the processor has them.
#include <cmath>
#include <immintrin.h>

#include "kernelterms.h"

namespace {

typedef __m512d Lanes;
const int Width = 8;
const int StepVectors = 4;

inline Lanes Broadcast(double x) { return _mm512_set1_pd(x); }
inline Lanes Load(const double *p) { return _mm512_load_pd(p); }
inline void Store(double *p, Lanes v) { _mm512_store_pd(p, v); }
inline Lanes Add(Lanes a, Lanes b) { return _mm512_add_pd(a, b); }
inline Lanes Sub(Lanes a, Lanes b) { return _mm512_sub_pd(a, b); }
inline Lanes Mul(Lanes a, Lanes b) { return _mm512_mul_pd(a, b); }
inline Lanes ProductError(Lanes a, Lanes b, Lanes p) { return _mm512_fmsub_pd(a, b, p); }

inline Lanes MulAddApart(Lanes a, Lanes b, Lanes c) { return _mm512_fmadd_pd(a, b, c); }
inline int LanesDiffer(Lanes a, Lanes b) { return static_cast<int>(_mm512_cmp_pd_mask(a, b, _CMP_NEQ_UQ)); }

// Lanes whose angle is 2^49 or more in magnitude, or not a number.
inline int OutlyingLanes(Lanes x)
{
    return static_cast<int>(_mm512_cmp_pd_mask(_mm512_abs_pd(x), Broadcast(0x1p49), _CMP_NLT_UQ));
}

// Turns sin r, cos r into the sine and cosine of r + k quarter turns, k mod
// 4 being the lowest bits of 'shifted'.
inline void TurnByQuadrants(Lanes shifted, Lanes &sine, Lanes &cosine)
{
    const __m512i k = _mm512_castpd_si512(shifted);
    const __m512i one = _mm512_set1_epi64(1), two = _mm512_set1_epi64(2);
    const __m512i signBit = _mm512_set1_epi64(static_cast<long long>(0x8000000000000000ULL));
    const __mmask8 odd = _mm512_test_epi64_mask(k, one);
    const __mmask8 sineNegative = _mm512_test_epi64_mask(k, two);
    const __mmask8 cosineNegative = _mm512_test_epi64_mask(_mm512_add_epi64(k, one), two);
    const __m512i s = _mm512_castpd_si512(_mm512_mask_blend_pd(odd, sine, cosine));
    const __m512i c = _mm512_castpd_si512(_mm512_mask_blend_pd(odd, cosine, sine));
    sine = _mm512_castsi512_pd(_mm512_mask_xor_epi64(s, sineNegative, s, signBit));
    cosine = _mm512_castsi512_pd(_mm512_mask_xor_epi64(c, cosineNegative, c, signBit));
}

#include "kernelbody.h"

} // namespace

void SpectrumLaneSumsAvx512(const SpectrumTerms &terms, int begin, int end, double frequency, SpectrumLaneSums &sums)
{
    AddLaneSums(terms, begin, end, frequency, sums);
}
