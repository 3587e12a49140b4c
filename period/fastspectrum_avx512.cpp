// The spectrum kernel for processors with AVX-512: eight observations at a
// time.  This file alone is compiled for those units; it runs only when the
// processor has them.
#include <immintrin.h>
#include <sleef.h>

#include "fastspectrumterms.h"

namespace {

typedef __m512d Lanes;
const int Width = 8;

inline Lanes Zero() { return _mm512_setzero_pd(); }
inline Lanes Broadcast(double x) { return _mm512_set1_pd(x); }
inline Lanes Load(const double *p) { return _mm512_load_pd(p); }
inline void Store(double *p, Lanes v) { _mm512_store_pd(p, v); }
inline Lanes Add(Lanes a, Lanes b) { return _mm512_add_pd(a, b); }
inline Lanes Sub(Lanes a, Lanes b) { return _mm512_sub_pd(a, b); }
inline Lanes Mul(Lanes a, Lanes b) { return _mm512_mul_pd(a, b); }
inline Lanes MulAdd(Lanes a, Lanes b, Lanes c) { return _mm512_fmadd_pd(a, b, c); }
inline Lanes ProductError(Lanes a, Lanes b, Lanes p) { return _mm512_fmsub_pd(a, b, p); }

// Lanes whose hi + lo lies near a point halfway between two doubles (at
// half a unit of hi, or at a quarter of one below a power of two).
inline int NearMidpointLanes(Lanes hi, Lanes lo)
{
    const Lanes power = _mm512_castsi512_pd(
        _mm512_and_si512(_mm512_castpd_si512(hi), _mm512_set1_epi64(0x7FF0000000000000)));
    const Lanes a = _mm512_abs_pd(lo);
    const Lanes margin = Mul(power, Broadcast(0x1p-63));
    const Lanes half = _mm512_abs_pd(_mm512_fnmadd_pd(power, Broadcast(0x1p-53), a));
    const Lanes quarter = _mm512_abs_pd(_mm512_fnmadd_pd(power, Broadcast(0x1p-54), a));
    return static_cast<int>(_mm512_cmp_pd_mask(half, margin, _CMP_LT_OQ)) |
           static_cast<int>(_mm512_cmp_pd_mask(quarter, margin, _CMP_LT_OQ));
}

inline void SinCos(Lanes x, Lanes &sine, Lanes &cosine)
{
    const Sleef___m512d_2 r = Sleef_sincosd8_u35avx512f(x);
    sine = r.x;
    cosine = r.y;
}

inline double LaneSum(Lanes v)
{
    alignas(64) double lane[Width];
    Store(lane, v);
    return ((lane[0] + lane[4]) + (lane[1] + lane[5])) + ((lane[2] + lane[6]) + (lane[3] + lane[7]));
}

#include "fastspectrumbody.h"

} // namespace

SpectrumSums SpectrumSumsAvx512(const SpectrumTerms &terms, double frequency)
{
    return SumsOfLanes(terms, frequency);
}
