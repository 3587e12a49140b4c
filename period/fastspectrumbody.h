// The sums of one trial frequency, written once for every vector width.
// Included inside an unnamed namespace by each kernel's file after it has
// defined, for its vector type Lanes of Width doubles:
//   Zero(), Broadcast(x), Load(p), Store(p, v), Add, Sub, Mul,
//   MulAdd(a, b, c) = a * b + c, ProductError(a, b, p) = a * b - p exactly
//   (p being the rounded a * b), NearMidpointLanes(hi, lo),
//   SinCos(x, sine, cosine) and LaneSum(v).
//
// The angle of each observation must be the double of the reference:
// the extended product angleExtended * f rounded to a double.  The product
// is formed as hi + lo, exact to about 2^-105 of its size, and hi is the
// product rounded once.  Rounding first to extended precision (64 bits)
// and then to a double gives another result only when the product lies
// within half an extended unit of a point halfway between two doubles;
// NearMidpointLanes marks such lanes (with a wide margin) and they are
// rounded the reference's way, one by one.  That happens for a few in a
// thousand observations.

// The angles of observations i .. i + Width - 1 at the frequency.
Lanes AnglesAt(const SpectrumTerms &terms, int i, Lanes f, double frequency)
{
    const Lanes high = Load(terms.angleHigh + i);
    const Lanes low = Load(terms.angleLow + i);
    const Lanes product = Mul(high, f);
    const Lanes rest = MulAdd(low, f, ProductError(high, f, product));
    const Lanes hi = Add(product, rest);
    const Lanes lo = Sub(rest, Sub(hi, product));
    const int near = NearMidpointLanes(hi, lo);
    if (near == 0)
        return hi;
    alignas(64) double angle[Width];
    Store(angle, hi);
    for (int lane = 0; lane < Width; ++lane)
        if (near & (1 << lane))
            angle[lane] = ExtendedAngle(terms, i + lane, frequency);
    return Load(angle);
}

SpectrumSums SumsOfLanes(const SpectrumTerms &terms, double frequency)
{
    const Lanes f = Broadcast(frequency);
    Lanes scc = Zero(), sc = Zero(), sss = Zero(), ss = Zero();
    Lanes ssc = Zero(), syc = Zero(), sys = Zero();
    const int n = terms.count;
    for (int i = 0; i < n; i += Width) {
        Lanes si, co;
        SinCos(AnglesAt(terms, i, f, frequency), si, co);
        if (i + Width > n) {
            // The last group reaches into the padding: its terms count 0.
            const Lanes w = Load(terms.weight + i);
            si = Mul(si, w);
            co = Mul(co, w);
        }
        const Lanes y = Load(terms.magnitude + i);
        scc = MulAdd(co, co, scc);
        sc = Add(sc, co);
        sss = MulAdd(si, si, sss);
        ss = Add(ss, si);
        ssc = MulAdd(si, co, ssc);
        syc = MulAdd(y, co, syc);
        sys = MulAdd(y, si, sys);
    }
    return {LaneSum(scc), LaneSum(sc), LaneSum(sss), LaneSum(ss), LaneSum(ssc), LaneSum(syc), LaneSum(sys)};
}
