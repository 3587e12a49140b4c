// The sums of one trial frequency, written once for every vector width.
// Included inside an unnamed namespace by each kernel's file after it has
// defined, for its vector type Lanes of Width doubles and its StepVectors
// (vectors taken per loop step):
//   Broadcast(x), Load(p), Store(p, v), Add, Sub, Mul,
//   ProductError(a, b, p) = a * b - p exactly (p being the rounded a * b),
//   MulAddApart(a, b, c) = a * b + c (fused or not: only compared),
//   LanesDiffer(a, b), OutlyingLanes(x) and
//   TurnByQuadrants(shifted, sine, cosine).
//
// Every kernel performs the same roundings in the same order; a fused
// multiply-add serves only ProductError, whose result is exact, and
// MulAddApart, whose result is only compared.  So the sine, the cosine and
// each partial sum of a term are the same doubles in all kernels, and so
// are the sums.
//
// The angle of each observation is the double of the reference: the
// extended product E * f (E = angleHigh + angleLow) rounded to a double.
// The product is formed as hi + lo, exact to about 2^-105 of its size, and
// hi is the product rounded once.  Rounding first to extended precision
// (64 bits) and then to a double gives another result only when the
// product lies within half an extended unit (2^-12 units of hi) of a point
// halfway between two doubles.  Such lanes are found as those where hi + lo (1 - 2^-10) and
// hi + lo (1 + 2^-10) round to different doubles, which also covers the
// midpoint a quarter unit below a power of two; they are rounded the
// reference's way, one by one.  That happens for about one observation in
// a thousand.  The marking may differ between kernels (MulAddApart may be
// fused), but not the angles: an unmarked lane's hi is the reference's.
//
// The sine and cosine of the angle a: the phase q = a * 2 / pi in quarter
// turns is formed as a double pair exact to about 2^-57 turns below 2^49
// radians; q less its nearest whole number k (an exact subtraction) plus
// the low part is the remainder r in [-1/2, 1/2], and sin(pi/2 r),
// cos(pi/2 r) come from polynomials of degree 13 and 14 (errors below
// 5e-17); k mod 4 turns them into the sine and cosine of a.

// A kernel narrower than the eight lanes sweeps each block once for every
// group of Width lanes (its vectors SpectrumLanes terms apart), so that it
// needs only seven accumulators and each lane still takes its terms in
// increasing order.  A step spans StepTerms observations.
const int LaneVectors = SpectrumLanes / Width;
const int StepTerms = StepVectors * SpectrumLanes;

// 2 / pi as a pair of doubles, high + low, to 107 bits.
const double QuartersPerRadianHigh = 0x1.45f306dc9c883p-1;
const double QuartersPerRadianLow = -0x1.6b01ec5417056p-55;
// Added to and taken from a number below 2^51, it rounds it to the nearest
// whole number, ties to even; the sum's lowest bits are that number's.
const double RoundingShift = 0x1.8p52;

// sin(pi/2 r) = r (S1 + S3 r^2 + ... + S13 r^12) and cos(pi/2 r) = 1 + C2 r^2
// + ... + C14 r^14 for |r| <= 1/2: the Taylor polynomials to degree 15 and
// 16 with their last term folded into the lower ones by Chebyshev
// economisation (errors below 5e-17 and 3e-18).
const double S1 = 0x1.921fb54442d18p+0, S3 = -0x1.4abbce625be20p-1, S5 = 0x1.466bc67756705p-4,
             S7 = -0x1.32d2cce11f39ap-8, S9 = 0x1.50782e5c0ffd2p-13, S11 = -0x1.e2ff3bad52847p-19,
             S13 = 0x1.e3916956cfd5cp-25;
const double C2 = -0x1.3bd3cc9be45dep+0, C4 = 0x1.03c1f081b5aacp-2, C6 = -0x1.55d3c7e3c9099p-6,
             C8 = 0x1.e1f506834aadep-11, C10 = -0x1.a6d1ec6dc2b5bp-16, C12 = 0x1.f9cc352f44998p-22,
             C14 = -0x1.b25f3693f472fp-28;

// The sine and cosine of the angles (radians, below 2^49 in magnitude).
[[gnu::always_inline]] inline void SinCosOfAngles(Lanes angle, Lanes &sine, Lanes &cosine)
{
    const Lanes quarters = Mul(angle, Broadcast(QuartersPerRadianHigh));
    const Lanes quartersLow = Add(Mul(angle, Broadcast(QuartersPerRadianLow)),
                                  ProductError(angle, Broadcast(QuartersPerRadianHigh), quarters));
    const Lanes shifted = Add(quarters, Broadcast(RoundingShift));
    const Lanes r = Add(Sub(quarters, Sub(shifted, Broadcast(RoundingShift))), quartersLow);
    // Estrin's scheme: the same number of operations as Horner's but
    // shorter chains, so that the vectors of a step run side by side.
    const Lanes z = Mul(r, r), z2 = Mul(z, z), z4 = Mul(z2, z2);
    const Lanes s01 = Add(Broadcast(S1), Mul(Broadcast(S3), z));
    const Lanes s23 = Add(Broadcast(S5), Mul(Broadcast(S7), z));
    const Lanes s45 = Add(Broadcast(S9), Mul(Broadcast(S11), z));
    const Lanes s03 = Add(s01, Mul(s23, z2));
    const Lanes s46 = Add(s45, Mul(Broadcast(S13), z2));
    Lanes s = Mul(Add(s03, Mul(s46, z4)), r);
    const Lanes c01 = Add(Broadcast(1.0), Mul(Broadcast(C2), z));
    const Lanes c23 = Add(Broadcast(C4), Mul(Broadcast(C6), z));
    const Lanes c45 = Add(Broadcast(C8), Mul(Broadcast(C10), z));
    const Lanes c67 = Add(Broadcast(C12), Mul(Broadcast(C14), z));
    const Lanes c03 = Add(c01, Mul(c23, z2));
    const Lanes c47 = Add(c45, Mul(c67, z2));
    Lanes c = Add(c03, Mul(c47, z4));
    TurnByQuadrants(shifted, s, c);
    sine = s;
    cosine = c;
}

// The sine and cosine of observations i .. i + Width - 1 whose angle is
// near a midpoint (those lanes take the reference's rounding) or outlying
// (those take SpectrumOutlyingTerm).  Out of line: it is rarely needed.
[[gnu::noinline]] void SpecialTermsAt(const SpectrumTerms &terms, int i, double frequency, Lanes angle, int near,
                                      int outlying, Lanes &sine, Lanes &cosine)
{
    alignas(64) double lane[Width];
    Store(lane, angle);
    for (int k = 0; k < Width; ++k)
        if (near & (1 << k))
            lane[k] = ExtendedAngle(terms, i + k, frequency);
    SinCosOfAngles(Load(lane), sine, cosine);
    if (outlying == 0)
        return;
    alignas(64) double cosineLane[Width];
    Store(lane, sine);
    Store(cosineLane, cosine);
    for (int k = 0; k < Width; ++k)
        if (outlying & (1 << k))
            SpectrumOutlyingTerm(terms, i + k, frequency, lane[k], cosineLane[k]);
    sine = Load(lane);
    cosine = Load(cosineLane);
}

// The angles of observations i .. i + Width - 1 at the frequency, with the
// lanes that need SpecialTermsAt.
template <bool MayOutlie>
[[gnu::always_inline]] inline Lanes AnglesAt(const SpectrumTerms &terms, int i, Lanes f, int &near, int &outlying)
{
    const Lanes high = Load(terms.angleHigh + i);
    const Lanes low = Load(terms.angleLow + i);
    const Lanes product = Mul(high, f);
    const Lanes rest = Add(Mul(low, f), ProductError(high, f, product));
    const Lanes angle = Add(product, rest);
    const Lanes below = Sub(rest, Sub(angle, product));
    near = LanesDiffer(MulAddApart(below, Broadcast(1 - 0x1p-10), angle),
                       MulAddApart(below, Broadcast(1 + 0x1p-10), angle));
    outlying = MayOutlie ? OutlyingLanes(product) : 0;
    return angle;
}

// The seven sums of one group of Width lanes.
struct Accumulators {
    Lanes sum[7];
};

[[gnu::always_inline]] inline void AddTerm(Accumulators &acc, Lanes sine, Lanes cosine, Lanes y)
{
    acc.sum[0] = Add(acc.sum[0], Mul(cosine, cosine));
    acc.sum[1] = Add(acc.sum[1], cosine);
    acc.sum[2] = Add(acc.sum[2], Mul(sine, sine));
    acc.sum[3] = Add(acc.sum[3], sine);
    acc.sum[4] = Add(acc.sum[4], Mul(sine, cosine));
    acc.sum[5] = Add(acc.sum[5], Mul(y, cosine));
    acc.sum[6] = Add(acc.sum[6], Mul(y, sine));
}

// A weighted term: one factor of each product carries the weight, so that
// weights of 1 give the very doubles of AddTerm.
[[gnu::always_inline]] inline void AddWeightedTerm(Accumulators &acc, Lanes sine, Lanes cosine, Lanes w, Lanes y)
{
    const Lanes ws = Mul(sine, w), wc = Mul(cosine, w);
    acc.sum[0] = Add(acc.sum[0], Mul(wc, cosine));
    acc.sum[1] = Add(acc.sum[1], wc);
    acc.sum[2] = Add(acc.sum[2], Mul(ws, sine));
    acc.sum[3] = Add(acc.sum[3], ws);
    acc.sum[4] = Add(acc.sum[4], Mul(ws, cosine));
    acc.sum[5] = Add(acc.sum[5], Mul(y, wc));
    acc.sum[6] = Add(acc.sum[6], Mul(y, ws));
}

// One loop step: StepVectors vectors SpectrumLanes observations apart from
// observation i; the terms past the last observation are weighted 0 when
// 'last' is set, and every term by its weight when Weighted.  The angles of all vectors come first, so that their sines
// and cosines run side by side without a branch in between.
template <bool MayOutlie, bool Weighted>
[[gnu::always_inline]] inline void AddStep(const SpectrumTerms &terms, int i, Lanes f, double frequency, bool last,
                                           Accumulators &acc)
{
    Lanes angle[StepVectors], sine[StepVectors], cosine[StepVectors];
    int near[StepVectors], outlying[StepVectors];
    int special = 0;
#pragma GCC unroll 8
    for (int v = 0; v < StepVectors; ++v) {
        angle[v] = AnglesAt<MayOutlie>(terms, i + v * SpectrumLanes, f, near[v], outlying[v]);
        special |= near[v] | outlying[v];
    }
    if (__builtin_expect(special != 0, 0)) {
        for (int v = 0; v < StepVectors; ++v)
            SpecialTermsAt(terms, i + v * SpectrumLanes, frequency, angle[v], near[v], outlying[v], sine[v],
                           cosine[v]);
    } else {
#pragma GCC unroll 8
        for (int v = 0; v < StepVectors; ++v)
            SinCosOfAngles(angle[v], sine[v], cosine[v]);
    }
#pragma GCC unroll 8
    for (int v = 0; v < StepVectors; ++v) {
        const int at = i + v * SpectrumLanes;
        if (Weighted) {
            AddWeightedTerm(acc, sine[v], cosine[v], Load(terms.weight + at), Load(terms.magnitude + at));
            continue;
        }
        if (last) {
            const Lanes w = Load(terms.weight + at);
            sine[v] = Mul(sine[v], w);
            cosine[v] = Mul(cosine[v], w);
        }
        AddTerm(acc, sine[v], cosine[v], Load(terms.magnitude + at));
    }
}

template <bool MayOutlie, bool Weighted>
void AddLaneSumsChecked(const SpectrumTerms &terms, int begin, int end, double frequency, SpectrumLaneSums &sums)
{
    const Lanes f = Broadcast(frequency);
    for (int group = 0; group < LaneVectors; ++group) {
        const int first = group * Width;
        Accumulators acc;
#pragma GCC unroll 8
        for (int s = 0; s < 7; ++s)
            acc.sum[s] = Load(sums.lane[s] + first);
        int i = begin;
        for (; i + StepTerms <= end && i + StepTerms <= terms.count; i += StepTerms)
            AddStep<MayOutlie, Weighted>(terms, i + first, f, frequency, false, acc);
        for (; i < end; i += StepTerms)
            AddStep<MayOutlie, Weighted>(terms, i + first, f, frequency, true, acc);
#pragma GCC unroll 8
        for (int s = 0; s < 7; ++s)
            Store(sums.lane[s] + first, acc.sum[s]);
    }
}

void AddLaneSums(const SpectrumTerms &terms, int begin, int end, double frequency, SpectrumLaneSums &sums)
{
    // No angle can reach 2^49 when the largest time angle times the
    // frequency stays below 2^48; then the lanes need no such check.
    const bool near = terms.largestAngle * std::fabs(frequency) < 0x1p48;
    if (terms.weighted) {
        if (near)
            AddLaneSumsChecked<false, true>(terms, begin, end, frequency, sums);
        else
            AddLaneSumsChecked<true, true>(terms, begin, end, frequency, sums);
    } else if (near) {
        AddLaneSumsChecked<false, false>(terms, begin, end, frequency, sums);
    } else {
        AddLaneSumsChecked<true, false>(terms, begin, end, frequency, sums);
    }
}
