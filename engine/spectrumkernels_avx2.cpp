// The spectrum kernel for processors with AVX2 and FMA: four observations
// per vector, four vectors per step.  This file alone is compiled for those
// units; it runs only when the processor has them.
#include <cmath>
#include <immintrin.h>

#include "kernelterms.h"

namespace {

typedef __m256d Lanes;
const int Width = 4;
const int StepVectors = 4;

inline Lanes Broadcast(double x) { return _mm256_set1_pd(x); }
inline Lanes Load(const double *p) { return _mm256_load_pd(p); }
inline void Store(double *p, Lanes v) { _mm256_store_pd(p, v); }
inline Lanes Add(Lanes a, Lanes b) { return _mm256_add_pd(a, b); }
inline Lanes Sub(Lanes a, Lanes b) { return _mm256_sub_pd(a, b); }
inline Lanes Mul(Lanes a, Lanes b) { return _mm256_mul_pd(a, b); }
inline Lanes ProductError(Lanes a, Lanes b, Lanes p) { return _mm256_fmsub_pd(a, b, p); }
inline Lanes Abs(Lanes x) { return _mm256_andnot_pd(_mm256_set1_pd(-0.0), x); }

inline Lanes MulAddApart(Lanes a, Lanes b, Lanes c) { return _mm256_fmadd_pd(a, b, c); }
inline int LanesDiffer(Lanes a, Lanes b) { return _mm256_movemask_pd(_mm256_cmp_pd(a, b, _CMP_NEQ_UQ)); }

// Lanes whose angle is 2^49 or more in magnitude, or not a number.
inline int OutlyingLanes(Lanes x)
{
    return _mm256_movemask_pd(_mm256_cmp_pd(Abs(x), Broadcast(0x1p49), _CMP_NLT_UQ));
}

// Turns sin r, cos r into the sine and cosine of r + k quarter turns, k mod
// 4 being the lowest bits of 'shifted'.
inline void TurnByQuadrants(Lanes shifted, Lanes &sine, Lanes &cosine)
{
    const __m256i k = _mm256_castpd_si256(shifted);
    const __m256i two = _mm256_set1_epi64x(2);
    const Lanes odd = _mm256_castsi256_pd(_mm256_slli_epi64(k, 63));
    const __m256i s = _mm256_castpd_si256(_mm256_blendv_pd(sine, cosine, odd));
    const __m256i c = _mm256_castpd_si256(_mm256_blendv_pd(cosine, sine, odd));
    const __m256i sineSign = _mm256_slli_epi64(_mm256_and_si256(k, two), 62);
    const __m256i cosineSign = _mm256_slli_epi64(_mm256_and_si256(_mm256_add_epi64(k, _mm256_set1_epi64x(1)), two), 62);
    sine = _mm256_castsi256_pd(_mm256_xor_si256(s, sineSign));
    cosine = _mm256_castsi256_pd(_mm256_xor_si256(c, cosineSign));
}

#include "kernelbody.h"

} // namespace

void SpectrumLaneSumsAvx2(const SpectrumTerms &terms, int begin, int end, double frequency, SpectrumLaneSums &sums)
{
    AddLaneSums(terms, begin, end, frequency, sums);
}
