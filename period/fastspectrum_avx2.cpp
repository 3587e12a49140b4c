// The spectrum kernel for processors with AVX2 and FMA: four observations
// at a time.  This file alone is compiled for those units; it runs only
// when the processor has them.
#include <immintrin.h>
#include <sleef.h>

#include "fastspectrumterms.h"

namespace {

typedef __m256d Lanes;
const int Width = 4;

inline Lanes Zero() { return _mm256_setzero_pd(); }
inline Lanes Broadcast(double x) { return _mm256_set1_pd(x); }
inline Lanes Load(const double *p) { return _mm256_load_pd(p); }
inline void Store(double *p, Lanes v) { _mm256_store_pd(p, v); }
inline Lanes Add(Lanes a, Lanes b) { return _mm256_add_pd(a, b); }
inline Lanes Sub(Lanes a, Lanes b) { return _mm256_sub_pd(a, b); }
inline Lanes Mul(Lanes a, Lanes b) { return _mm256_mul_pd(a, b); }
inline Lanes MulAdd(Lanes a, Lanes b, Lanes c) { return _mm256_fmadd_pd(a, b, c); }
inline Lanes ProductError(Lanes a, Lanes b, Lanes p) { return _mm256_fmsub_pd(a, b, p); }
inline Lanes Abs(Lanes x) { return _mm256_andnot_pd(_mm256_set1_pd(-0.0), x); }

// Lanes whose hi + lo lies near a point halfway between two doubles (at
// half a unit of hi, or at a quarter of one below a power of two).
inline int NearMidpointLanes(Lanes hi, Lanes lo)
{
    const Lanes power = _mm256_and_pd(hi, _mm256_castsi256_pd(_mm256_set1_epi64x(0x7FF0000000000000)));
    const Lanes a = Abs(lo);
    const Lanes margin = Mul(power, Broadcast(0x1p-63));
    const Lanes half = Abs(_mm256_fnmadd_pd(power, Broadcast(0x1p-53), a));
    const Lanes quarter = Abs(_mm256_fnmadd_pd(power, Broadcast(0x1p-54), a));
    return _mm256_movemask_pd(
        _mm256_or_pd(_mm256_cmp_pd(half, margin, _CMP_LT_OQ), _mm256_cmp_pd(quarter, margin, _CMP_LT_OQ)));
}

inline void SinCos(Lanes x, Lanes &sine, Lanes &cosine)
{
    const Sleef___m256d_2 r = Sleef_sincosd4_u35avx2(x);
    sine = r.x;
    cosine = r.y;
}

inline double LaneSum(Lanes v)
{
    const __m128d pair = _mm_add_pd(_mm256_castpd256_pd128(v), _mm256_extractf128_pd(v, 1));
    return _mm_cvtsd_f64(_mm_add_sd(pair, _mm_unpackhi_pd(pair, pair)));
}

#include "fastspectrumbody.h"

} // namespace

SpectrumSums SpectrumSumsAvx2(const SpectrumTerms &terms, double frequency)
{
    return SumsOfLanes(terms, frequency);
}
