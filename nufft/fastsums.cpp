// The sums of every grid frequency by two type-1 transforms: one at the
// frequencies f_k (strengths w and w y), one at 2 f_k (strength w).
//
// With the centre frequency fc = f_0 + kc step (kc = K / 2) the sum at
// f_k = fc + m step, m = k - kc, is
//   sum_j c_j exp(2 pi i fc t'_j) exp(2 pi i m x_j),  x_j = step t'_j mod 1,
// a type-1 transform over the modes -kc .. K - kc of the points x_j with the
// strengths c_j exp(2 pi i fc t'_j).  For 2 f_k the centre is 2 fc and the
// points 2 step t'_j mod 1.  fc t' reaches some 10^7 cycles, so the phases
// and points are taken from the exact product of two doubles (by a fused
// multiply-add) and reduced before any rounding to a double.
#include <algorithm>
#include <cmath>
#include <complex>
#include <new>

#include "nufft.h"
#include "type1.h"

namespace {

const double TwoPi = 6.283185307179586476925286766559;

// A real of twice double precision: hi + lo, |lo| <= ulp(hi).
struct DoubleDouble {
    double hi, lo;
};

// The time t - t0 as hi + lo: exact for times of the same binary order
// (within a factor 2^11 of each other, as the times of any light curve
// are), where the difference fits an extended value and that one two
// doubles.
DoubleDouble TimeFromStart(double t, double t0)
{
    const long double d = static_cast<long double>(t) - t0;
    const double hi = static_cast<double>(d);
    return {hi, static_cast<double>(d - hi)};
}

// rate * time to about 2^-100 relative.
DoubleDouble Cycles(double rate, const DoubleDouble &time)
{
    const double hi = rate * time.hi;
    return {hi, std::fma(rate, time.hi, -hi) + rate * time.lo};
}

// exp(2 pi i cycles), the whole cycles dropped first.
std::complex<double> UnitPhase(const DoubleDouble &cycles)
{
    const double turn = (cycles.hi - std::nearbyint(cycles.hi)) + cycles.lo;
    return {std::cos(TwoPi * turn), std::sin(TwoPi * turn)};
}

// The point of 'cycles' on the unit period, in grid cells.
GridPosition PointOfCycles(const DoubleDouble &cycles, long cells)
{
    return PositionInCells(cycles.hi - std::floor(cycles.hi), cycles.lo, cells);
}

bool ObservationsUsable(const double *t, const double *y, const double *w, long n)
{
    if (n < 0 || (n > 0 && (!t || !y)))
        return false;
    for (long i = 0; i < n; ++i) {
        if (!std::isfinite(t[i]) || !std::isfinite(y[i]))
            return false;
        if (w && !(std::isfinite(w[i]) && w[i] >= 0))
            return false;
    }
    return true;
}

// The grids of one transform, freed when it goes.
struct OwnedGrids {
    Type1Grids grids = {{}, 0};
    OwnedGrids() = default;
    OwnedGrids(const OwnedGrids &) = delete;
    OwnedGrids &operator=(const OwnedGrids &) = delete;
    ~OwnedGrids() { FreeType1Grids(grids); }
};

// What both transforms start from: the phases at the centre and the points.
struct PreparedObservations {
    std::vector<std::complex<double>> phaseOnce, phaseTwice;
    std::vector<GridPosition> pointOnce, pointTwice;
};

void PrepareObservations(const double *t, long n, double centre, double step, long cells, int threads,
                         PreparedObservations &prepared)
{
    const std::size_t size = static_cast<std::size_t>(n);
    prepared.phaseOnce.resize(size);
    prepared.phaseTwice.resize(size);
    prepared.pointOnce.resize(size);
    prepared.pointTwice.resize(size);
    RunParts(threads, [&](int part) {
        for (long i = n * part / threads; i < n * (part + 1) / threads; ++i) {
            const DoubleDouble time = TimeFromStart(t[i], t[0]);
            const std::size_t j = static_cast<std::size_t>(i);
            prepared.phaseOnce[j] = UnitPhase(Cycles(centre, time));
            prepared.phaseTwice[j] = UnitPhase(Cycles(2 * centre, time));
            prepared.pointOnce[j] = PointOfCycles(Cycles(step, time), cells);
            prepared.pointTwice[j] = PointOfCycles(Cycles(2 * step, time), cells);
        }
    });
}

// The strengths factor * phase in the order of the sorted points.
std::vector<std::complex<double>> SortedStrengths(const SortedPoints &points,
                                                  const std::vector<std::complex<double>> &phase, const double *w,
                                                  const double *y)
{
    std::vector<std::complex<double>> strengths(points.order.size());
    for (std::size_t j = 0; j < points.order.size(); ++j) {
        const long i = points.order[j];
        const double factor = (w ? w[i] : 1.0) * (y ? y[i] : 1.0);
        strengths[j] = factor * phase[static_cast<std::size_t>(i)];
    }
    return strengths;
}

// Spreads and transforms one set of points with its strength arrays.
NufftStatus TransformPoints(const Type1Layout &layout, const SortedPoints &points,
                            const std::vector<const std::complex<double> *> &strengths, int threads,
                            OwnedGrids &owned)
{
    if (!AllocateType1Grids(layout, static_cast<int>(strengths.size()), owned.grids))
        return NufftOutOfMemory;
    SpreadType1(layout, points, strengths, owned.grids, threads);
    return TransformType1Grids(layout, owned.grids, threads) ? NufftOk : NufftFftFailed;
}

FastSums RefusedSums(NufftStatus status)
{
    FastSums sums;
    sums.status = status;
    sums.weightSum = 0;
    return sums;
}

// The three transformed grids of a grid's frequencies: w and w y at f_k,
// w at 2 f_k, before the deconvolution.
struct Transformed {
    NufftStatus status;
    Type1Layout layout;
    long centreIndex; // kc
    double weightSum;
    OwnedGrids once;  // w, w y
    OwnedGrids twice; // w
    Type1Quadrature quadrature;
};

void Transform(const double *t, const double *y, const double *w, long n, const FrequencyGrid &grid, int threads,
               Transformed &out)
{
    const long intervals = grid.intervals;
    out.centreIndex = intervals / 2;
    out.layout = MakeType1Layout(out.centreIndex, intervals - out.centreIndex);
    const double centre = GridFrequency(grid, out.centreIndex);
    long double weightSum = 0;
    for (long i = 0; i < n; ++i)
        weightSum += w ? w[i] : 1.0;
    out.weightSum = static_cast<double>(weightSum);
    if (!MakeType1Quadrature(out.layout, out.quadrature)) {
        out.status = NufftOutOfMemory;
        return;
    }

    PreparedObservations prepared;
    PrepareObservations(t, n, centre, grid.step, out.layout.cells, threads, prepared);
    const SortedPoints once = SortPositions(prepared.pointOnce);
    const SortedPoints twice = SortPositions(prepared.pointTwice);
    const std::vector<std::complex<double>> weightOnce = SortedStrengths(once, prepared.phaseOnce, w, nullptr);
    const std::vector<std::complex<double>> valueOnce = SortedStrengths(once, prepared.phaseOnce, w, y);
    const std::vector<std::complex<double>> weightTwice = SortedStrengths(twice, prepared.phaseTwice, w, nullptr);
    prepared = PreparedObservations();

    out.status = TransformPoints(out.layout, once, {weightOnce.data(), valueOnce.data()}, threads, out.once);
    if (out.status == NufftOk)
        out.status = TransformPoints(out.layout, twice, {weightTwice.data()}, threads, out.twice);
}

// Calls visit(k, a, b, c) for every grid frequency k with the deconvolved
// transforms a (of w), b (of w y) and c (of w at 2 f_k); the frequencies
// are split among the threads.
template <class Visit> void ForEachFrequency(const Transformed &data, int threads, const Visit &visit)
{
    const Type1Layout &layout = data.layout;
    const std::complex<double> *weightGrid = data.once.grids.grid[0], *valueGrid = data.once.grids.grid[1];
    const std::complex<double> *twiceGrid = data.twice.grids.grid[0];
    // Mode offsets |m| in blocks: the modes m and -m share their factor.
    const long offsets = std::max(layout.below, layout.above) + 1;
    const long blocks = (offsets + Type1DeconvolutionBlock - 1) / Type1DeconvolutionBlock;
    RunParts(threads, [&](int part) {
        double inverse[Type1DeconvolutionBlock];
        for (long b = blocks * part / threads; b < blocks * (part + 1) / threads; ++b) {
            const long first = b * Type1DeconvolutionBlock;
            const long count = std::min(Type1DeconvolutionBlock, offsets - first);
            DeconvolutionBlock(data.quadrature, first, count, inverse);
            for (long i = 0; i < count; ++i) {
                const long offset = first + i;
                const auto visitMode = [&](long m) {
                    visit(data.centreIndex + m, Type1GridMode(layout, weightGrid, m) * inverse[i],
                          Type1GridMode(layout, valueGrid, m) * inverse[i],
                          Type1GridMode(layout, twiceGrid, m) * inverse[i]);
                };
                if (offset <= layout.above)
                    visitMode(offset);
                if (offset > 0 && offset <= layout.below)
                    visitMode(-offset);
            }
        }
    });
}

// Fits with less room than this share of the weight get their sums taken
// again one term at a time, unless the room is so small that the exact sums
// too leave none (GridPowerOfSums gives 0 below 1e-12 of the weight, and
// the transform's room is within some 1e-13 of the weight of the exact
// one): all times equal, say, would otherwise be summed term by term at
// every frequency.
const double RecheckRoomShare = 1e-2;
const double SurelyNoRoomShare = 0.5e-12;

// The room of the fit from the sums, as GridPowerOfSums computes it: the
// smaller of the cosine's and the sine's.
double RoomOfSums(const GridSums &sums, double weightSum)
{
    const long double room1 = sums.scc - static_cast<long double>(sums.sc) * sums.sc / weightSum;
    if (!(room1 > 0))
        return 0;
    const double a1 = static_cast<double>(std::sqrt(1 / room1));
    const double x = static_cast<double>(sums.ssc - static_cast<long double>(sums.ss) * sums.sc / weightSum);
    const long double room2 =
        sums.sss - static_cast<long double>(sums.ss) * sums.ss / weightSum - static_cast<long double>(a1) * a1 * x * x;
    return static_cast<double>(std::min(room1, room2));
}

bool GridUsable(const FrequencyGrid &grid)
{
    return grid.status == NufftOk && grid.intervals >= 0 && grid.intervals + 1 <= MaxGridFrequencies &&
           grid.first > 0 && grid.step > 0;
}

} // namespace

double GridPowerOfSums(const GridSums &sums, double weightSum, double sumOfSquares)
{
    // Fits with less room than this share of the weight are degenerate.
    const double noRoomShare = 1e-12;
    const double scc = sums.scc, sc = sums.sc, sss = sums.sss, ss = sums.ss;
    const double ssc = sums.ssc, syc = sums.syc, sys = sums.sys;
    const long double room1 = scc - static_cast<long double>(sc) * sc / weightSum;
    if (!(room1 > noRoomShare * weightSum))
        return 0;
    const double a1 = static_cast<double>(std::sqrt(1 / room1));
    const double x = static_cast<double>(ssc - static_cast<long double>(ss) * sc / weightSum);
    const long double room2 =
        sss - static_cast<long double>(ss) * ss / weightSum - static_cast<long double>(a1) * a1 * x * x;
    if (!(room2 > noRoomShare * weightSum))
        return 0;
    const double a2 = static_cast<double>(std::sqrt(1 / room2));
    const double c1 = static_cast<double>(static_cast<long double>(a1) * syc);
    const double c2 = static_cast<double>(a2 * (sys - static_cast<long double>(a1) * c1 * x));
    const double power = static_cast<double>((static_cast<long double>(c1) * c1 + static_cast<long double>(c2) * c2) /
                                             sumOfSquares);
    return std::isfinite(power) ? power : 0;
}

GridSums DirectGridSums(const double *t, const double *y, const double *w, long n, double frequency)
{
    const long double twoPi = 6.283185307179586476925286766559L;
    long double scc = 0, sc = 0, sss = 0, ss = 0, ssc = 0, syc = 0, sys = 0;
    for (long i = 0; i < n; ++i) {
        const DoubleDouble cycles = Cycles(frequency, TimeFromStart(t[i], t[0]));
        const long double turn = static_cast<long double>(cycles.hi - std::nearbyint(cycles.hi)) + cycles.lo;
        const long double co = std::cos(twoPi * turn), si = std::sin(twoPi * turn);
        const long double weight = w ? w[i] : 1.0;
        scc += weight * co * co;
        sc += weight * co;
        sss += weight * si * si;
        ss += weight * si;
        ssc += weight * si * co;
        syc += weight * y[i] * co;
        sys += weight * y[i] * si;
    }
    return {static_cast<double>(scc), static_cast<double>(sc), static_cast<double>(sss), static_cast<double>(ss),
            static_cast<double>(ssc), static_cast<double>(syc), static_cast<double>(sys)};
}

GridSums SumsAtGridFrequency(const FastSums &sums, long k)
{
    const std::size_t j = static_cast<std::size_t>(k);
    const double w = sums.weightSum;
    return {(w + sums.c2[j]) / 2, sums.c1[j], (w - sums.c2[j]) / 2, sums.s1[j], sums.s2[j] / 2, sums.yc[j],
            sums.ys[j]};
}

FastSums ComputeFastSums(const double *t, const double *y, const double *w, long n, const FrequencyGrid &grid,
                         int threads)
{
    if (!GridUsable(grid))
        return RefusedSums(NufftBadGrid);
    if (!ObservationsUsable(t, y, w, n))
        return RefusedSums(NufftBadObservations);
    threads = std::max(1, threads);
    try {
        Transformed data;
        Transform(t, y, w, n, grid, threads, data);
        if (data.status != NufftOk)
            return RefusedSums(data.status);
        FastSums sums;
        sums.status = NufftOk;
        sums.weightSum = data.weightSum;
        const std::size_t count = static_cast<std::size_t>(grid.intervals + 1);
        for (std::vector<double> *v : {&sums.c1, &sums.s1, &sums.c2, &sums.s2, &sums.yc, &sums.ys})
            v->resize(count);
        ForEachFrequency(data, threads,
                         [&](long k, std::complex<double> a, std::complex<double> b, std::complex<double> c) {
                             const std::size_t j = static_cast<std::size_t>(k);
                             sums.c1[j] = a.real();
                             sums.s1[j] = a.imag();
                             sums.yc[j] = b.real();
                             sums.ys[j] = b.imag();
                             sums.c2[j] = c.real();
                             sums.s2[j] = c.imag();
                         });
        return sums;
    } catch (const std::bad_alloc &) {
        return RefusedSums(NufftOutOfMemory);
    }
}

NufftStatus ComputeFastPowers(const double *t, const double *y, const double *w, long n, const FrequencyGrid &grid,
                              double sumOfSquares, int threads, std::vector<double> &powers,
                              std::vector<double> *window)
{
    powers.clear();
    if (window != nullptr)
        window->clear();
    if (!GridUsable(grid))
        return NufftBadGrid;
    if (!ObservationsUsable(t, y, w, n))
        return NufftBadObservations;
    threads = std::max(1, threads);
    try {
        Transformed data;
        Transform(t, y, w, n, grid, threads, data);
        if (data.status != NufftOk)
            return data.status;
        powers.resize(static_cast<std::size_t>(grid.intervals + 1));
        if (window != nullptr)
            window->resize(powers.size());
        const double weightSum = data.weightSum;
        // Fits with little room are noted (by the frequency's sign bit in
        // its power: -0.0) and done again below.
        const double recheckRoom = RecheckRoomShare * weightSum, noRoom = SurelyNoRoomShare * weightSum;
        ForEachFrequency(data, threads,
                         [&](long k, std::complex<double> a, std::complex<double> b, std::complex<double> c) {
                             const GridSums sums = {(weightSum + c.real()) / 2, a.real(), (weightSum - c.real()) / 2,
                                                    a.imag(), c.imag() / 2, b.real(), b.imag()};
                             const double room = RoomOfSums(sums, weightSum);
                             const bool recheck = room < recheckRoom && room >= noRoom;
                             powers[static_cast<std::size_t>(k)] =
                                 recheck ? -0.0 : GridPowerOfSums(sums, weightSum, sumOfSquares);
                             if (window != nullptr)
                                 (*window)[static_cast<std::size_t>(k)] =
                                     static_cast<double>((static_cast<long double>(a.real()) * a.real() +
                                                          static_cast<long double>(a.imag()) * a.imag()) /
                                                         (static_cast<long double>(weightSum) * weightSum));
                         });
        std::vector<long> rechecked;
        for (std::size_t k = 0; k < powers.size(); ++k)
            if (std::signbit(powers[k]))
                rechecked.push_back(static_cast<long>(k));
        const long count = static_cast<long>(rechecked.size());
        RunParts(threads, [&](int part) {
            for (long i = count * part / threads; i < count * (part + 1) / threads; ++i) {
                const long k = rechecked[static_cast<std::size_t>(i)];
                powers[static_cast<std::size_t>(k)] =
                    GridPowerOfSums(DirectGridSums(t, y, w, n, GridFrequency(grid, k)), weightSum, sumOfSquares);
            }
        });
        return NufftOk;
    } catch (const std::bad_alloc &) {
        powers.clear();
        if (window != nullptr)
            window->clear();
        return NufftOutOfMemory;
    }
}
