// Choice of the spectrum kernel, the prepared observations and the plain
// kernel, which runs on any x86-64 (two observations at a time).
#include <cstdlib>
#include <cstring>
#include <emmintrin.h>
#include <sleef.h>

#include "fastspectrumterms.h"

SpectrumTerms PreparedTerms;

namespace {

typedef __m128d Lanes;
const int Width = 2;

inline Lanes Zero() { return _mm_setzero_pd(); }
inline Lanes Broadcast(double x) { return _mm_set1_pd(x); }
inline Lanes Load(const double *p) { return _mm_load_pd(p); }
inline void Store(double *p, Lanes v) { _mm_store_pd(p, v); }
inline Lanes Add(Lanes a, Lanes b) { return _mm_add_pd(a, b); }
inline Lanes Sub(Lanes a, Lanes b) { return _mm_sub_pd(a, b); }
inline Lanes Mul(Lanes a, Lanes b) { return _mm_mul_pd(a, b); }
inline Lanes MulAdd(Lanes a, Lanes b, Lanes c) { return _mm_add_pd(_mm_mul_pd(a, b), c); }
inline Lanes Abs(Lanes x) { return _mm_andnot_pd(_mm_set1_pd(-0.0), x); }

// The high 26 bits of x (Veltkamp's split); x minus it is exact.
inline Lanes HighPart(Lanes x)
{
    const Lanes c = Mul(x, Broadcast(134217729.0));
    return Sub(c, Sub(c, x));
}

// a * b - p exactly, without a fused multiply-add (Dekker's product).
inline Lanes ProductError(Lanes a, Lanes b, Lanes p)
{
    const Lanes ah = HighPart(a), al = Sub(a, ah);
    const Lanes bh = HighPart(b), bl = Sub(b, bh);
    return Add(Add(Add(Sub(Mul(ah, bh), p), Mul(ah, bl)), Mul(al, bh)), Mul(al, bl));
}

// Lanes whose hi + lo lies near a point halfway between two doubles (at
// half a unit of hi, or at a quarter of one below a power of two).
inline int NearMidpointLanes(Lanes hi, Lanes lo)
{
    const Lanes power = _mm_and_pd(hi, _mm_castsi128_pd(_mm_set1_epi64x(0x7FF0000000000000)));
    const Lanes a = Abs(lo);
    const Lanes margin = Mul(power, Broadcast(0x1p-63));
    const Lanes half = Abs(Sub(a, Mul(power, Broadcast(0x1p-53))));
    const Lanes quarter = Abs(Sub(a, Mul(power, Broadcast(0x1p-54))));
    return _mm_movemask_pd(_mm_or_pd(_mm_cmplt_pd(half, margin), _mm_cmplt_pd(quarter, margin)));
}

inline void SinCos(Lanes x, Lanes &sine, Lanes &cosine)
{
    const Sleef___m128d_2 r = Sleef_sincosd2_u35sse2(x);
    sine = r.x;
    cosine = r.y;
}

inline double LaneSum(Lanes v) { return _mm_cvtsd_f64(_mm_add_sd(v, _mm_unpackhi_pd(v, v))); }

#include "fastspectrumbody.h"

bool SpectrumKernelSupported(SpectrumKernel kernel)
{
    switch (kernel) {
    case SpectrumKernelAvx512:
        return __builtin_cpu_supports("avx512f");
    case SpectrumKernelAvx2:
        return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
    case SpectrumKernelPlain:
        break;
    }
    return true;
}

// The kernel named by KALIDOR_SPECTRUM_KERNEL, or the widest one.
SpectrumKernel RequestedSpectrumKernel()
{
    const char *name = std::getenv("KALIDOR_SPECTRUM_KERNEL");
    if (name != nullptr) {
        if (std::strcmp(name, "plain") == 0)
            return SpectrumKernelPlain;
        if (std::strcmp(name, "avx2") == 0)
            return SpectrumKernelAvx2;
    }
    return SpectrumKernelAvx512;
}

bool spectrumKernelChosen = false;
SpectrumKernel spectrumKernel = SpectrumKernelPlain;

} // namespace

SpectrumSums SpectrumSumsPlain(const SpectrumTerms &terms, double frequency)
{
    return SumsOfLanes(terms, frequency);
}

SpectrumKernel WidestSpectrumKernel()
{
    SpectrumKernel kernel = SpectrumKernelAvx512;
    while (!SpectrumKernelSupported(kernel))
        kernel = static_cast<SpectrumKernel>(kernel - 1);
    return kernel;
}

SpectrumKernel SetSpectrumKernel(SpectrumKernel kernel)
{
    while (!SpectrumKernelSupported(kernel))
        kernel = static_cast<SpectrumKernel>(kernel - 1);
    spectrumKernel = kernel;
    spectrumKernelChosen = true;
    return kernel;
}

SpectrumKernel ActiveSpectrumKernel()
{
    if (!spectrumKernelChosen)
        SetSpectrumKernel(RequestedSpectrumKernel());
    return spectrumKernel;
}

const char *SpectrumKernelName(SpectrumKernel kernel)
{
    switch (kernel) {
    case SpectrumKernelAvx512:
        return "avx512";
    case SpectrumKernelAvx2:
        return "avx2";
    case SpectrumKernelPlain:
        break;
    }
    return "plain";
}

void PrepareSpectrumTerms(const double *t, const double *y, int n)
{
    SpectrumTerms &terms = PreparedTerms;
    terms.count = n;
    for (int i = 0; i < n + SpectrumTermPadding; ++i) {
        const bool observed = i < n;
        const long double angle = observed ? (static_cast<long double>(t[i]) - t[0]) * SpectrumTwoPi : 0;
        terms.angleExtended[i] = angle;
        terms.angleHigh[i] = static_cast<double>(angle);
        terms.angleLow[i] = static_cast<double>(angle - terms.angleHigh[i]);
        terms.magnitude[i] = observed ? y[i] : 0;
        terms.weight[i] = observed ? 1 : 0;
    }
}

SpectrumSums PreparedSpectrumSums(double frequency)
{
    switch (ActiveSpectrumKernel()) {
    case SpectrumKernelAvx512:
        return SpectrumSumsAvx512(PreparedTerms, frequency);
    case SpectrumKernelAvx2:
        return SpectrumSumsAvx2(PreparedTerms, frequency);
    case SpectrumKernelPlain:
        break;
    }
    return SpectrumSumsPlain(PreparedTerms, frequency);
}
