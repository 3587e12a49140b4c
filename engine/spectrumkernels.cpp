// Choice of the spectrum kernel, the prepared observations, the plain
// kernel (which runs on any x86-64, two observations at a time), and the
// blocks and threads that a pass is taken in.  The only state is the kernel
// chosen, set once at the start of a program and read by every pass.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <emmintrin.h>
#include <sched.h>
#include <system_error>
#include <thread>
#include <vector>

#include "kernelterms.h"
#include <atomic>
#include <new>

namespace {

typedef __m128d Lanes;
const int Width = 2;
const int StepVectors = 4;

inline Lanes Broadcast(double x) { return _mm_set1_pd(x); }
inline Lanes Load(const double *p) { return _mm_load_pd(p); }
inline void Store(double *p, Lanes v) { _mm_store_pd(p, v); }
inline Lanes Add(Lanes a, Lanes b) { return _mm_add_pd(a, b); }
inline Lanes Sub(Lanes a, Lanes b) { return _mm_sub_pd(a, b); }
inline Lanes Mul(Lanes a, Lanes b) { return _mm_mul_pd(a, b); }
inline Lanes Abs(Lanes x) { return _mm_andnot_pd(_mm_set1_pd(-0.0), x); }

// The high 26 bits of x (Veltkamp's split); x minus it is exact.
inline Lanes HighPart(Lanes x)
{
    const Lanes c = Mul(x, Broadcast(134217729.0));
    return Sub(c, Sub(c, x));
}

// a * b - p exactly, without a fused multiply-add (Dekker's product); the
// same double as the fused a * b - p for factors below 2^900 whose product
// is neither tiny nor huge.
inline Lanes ProductError(Lanes a, Lanes b, Lanes p)
{
    const Lanes ah = HighPart(a), al = Sub(a, ah);
    const Lanes bh = HighPart(b), bl = Sub(b, bh);
    return Add(Add(Add(Sub(Mul(ah, bh), p), Mul(ah, bl)), Mul(al, bh)), Mul(al, bl));
}

inline Lanes MulAddApart(Lanes a, Lanes b, Lanes c) { return Add(Mul(a, b), c); }
inline int LanesDiffer(Lanes a, Lanes b) { return _mm_movemask_pd(_mm_cmpneq_pd(a, b)); }

// Lanes whose angle is 2^49 or more in magnitude, or not a number.
inline int OutlyingLanes(Lanes x) { return _mm_movemask_pd(_mm_cmpnlt_pd(Abs(x), Broadcast(0x1p49))); }

// Turns sin r, cos r into the sine and cosine of r + k quarter turns, k mod
// 4 being the lowest bits of 'shifted'.
inline void TurnByQuadrants(Lanes shifted, Lanes &sine, Lanes &cosine)
{
    const __m128i k = _mm_castpd_si128(shifted);
    const __m128i two = _mm_set1_epi64x(2);
    const __m128i odd = _mm_sub_epi64(_mm_setzero_si128(), _mm_and_si128(k, _mm_set1_epi64x(1)));
    const __m128i s = _mm_castpd_si128(sine), c = _mm_castpd_si128(cosine);
    const __m128i swap = _mm_and_si128(_mm_xor_si128(s, c), odd);
    const __m128i sineSign = _mm_slli_epi64(_mm_and_si128(k, two), 62);
    const __m128i cosineSign = _mm_slli_epi64(_mm_and_si128(_mm_add_epi64(k, _mm_set1_epi64x(1)), two), 62);
    sine = _mm_castsi128_pd(_mm_xor_si128(_mm_xor_si128(s, swap), sineSign));
    cosine = _mm_castsi128_pd(_mm_xor_si128(_mm_xor_si128(c, swap), cosineSign));
}

#include "kernelbody.h"

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

// The kernel in use; -1 until the first pass or SetSpectrumKernel chose one.
std::atomic<int> kernelInUse{-1};

// A pass beyond this many terms runs on every core unless told otherwise.
const double SingleThreadTerms = 1e8;

// Observations are taken in blocks of this many (24 bytes each: 24 KiB),
// which stay in the level-1 cache while a batch of frequencies runs over them.
const int BlockTerms = 1024;
const int BatchFrequencies = 16;
// Trial periods handed to each thread at a time.
const long ChunkPointsPerThread = 4096;

// Terms are read in steps of up to 32 observations.
int RoundedToSteps(int n) { return (n + 31) / 32 * 32; }

// Room for 'size' doubles, aligned for the vector loads; nullptr when
// memory runs out.
double *AlignedDoubles(std::size_t size)
{
    return static_cast<double *>(std::aligned_alloc(64, (size * sizeof(double) + 63) / 64 * 64));
}

void ReserveSpectrumTerms(SpectrumTerms &terms, int n)
{
    const std::size_t size = static_cast<std::size_t>(RoundedToSteps(n)) + SpectrumTermPadding;
    if (size <= terms.capacity)
        return;
    ReleaseSpectrumTerms(terms);
    terms.angleHigh = AlignedDoubles(size);
    terms.angleLow = AlignedDoubles(size);
    terms.magnitude = AlignedDoubles(size);
    terms.weight = AlignedDoubles(size);
    if (!terms.angleHigh || !terms.angleLow || !terms.magnitude || !terms.weight) {
        ReleaseSpectrumTerms(terms);
        throw std::bad_alloc();
    }
    terms.capacity = size;
}

// Adds the terms begin .. end - 1 to the lane sums through the reference's
// own angle and libm's sine and cosine, in the lane order of the kernels.
void AddOutlyingLaneSums(const SpectrumTerms &terms, int begin, int end, double frequency, SpectrumLaneSums &sums)
{
    for (int i = begin; i < std::min(end, terms.count); ++i) {
        double sine, cosine;
        SpectrumOutlyingTerm(terms, i, frequency, sine, cosine);
        const double y = terms.magnitude[i];
        const int lane = i % SpectrumLanes;
        if (terms.weighted) {
            const double ws = sine * terms.weight[i], wc = cosine * terms.weight[i];
            sums.lane[0][lane] = sums.lane[0][lane] + wc * cosine;
            sums.lane[1][lane] = sums.lane[1][lane] + wc;
            sums.lane[2][lane] = sums.lane[2][lane] + ws * sine;
            sums.lane[3][lane] = sums.lane[3][lane] + ws;
            sums.lane[4][lane] = sums.lane[4][lane] + ws * cosine;
            sums.lane[5][lane] = sums.lane[5][lane] + y * wc;
            sums.lane[6][lane] = sums.lane[6][lane] + y * ws;
            continue;
        }
        sums.lane[0][lane] = sums.lane[0][lane] + cosine * cosine;
        sums.lane[1][lane] = sums.lane[1][lane] + cosine;
        sums.lane[2][lane] = sums.lane[2][lane] + sine * sine;
        sums.lane[3][lane] = sums.lane[3][lane] + sine;
        sums.lane[4][lane] = sums.lane[4][lane] + sine * cosine;
        sums.lane[5][lane] = sums.lane[5][lane] + y * cosine;
        sums.lane[6][lane] = sums.lane[6][lane] + y * sine;
    }
}

void AddKernelLaneSums(SpectrumKernel kernel, const SpectrumTerms &terms, int begin, int end, double frequency,
                       SpectrumLaneSums &sums)
{
    // Factors of 2^900 and more would overflow the plain kernel's exact
    // products; such absurd passes go through libm in every kernel alike.
    if (!(std::fabs(frequency) < 0x1p900 && terms.largestAngle < 0x1p900)) {
        AddOutlyingLaneSums(terms, begin, end, frequency, sums);
        return;
    }
    switch (kernel) {
    case SpectrumKernelAvx512:
        SpectrumLaneSumsAvx512(terms, begin, end, frequency, sums);
        return;
    case SpectrumKernelAvx2:
        SpectrumLaneSumsAvx2(terms, begin, end, frequency, sums);
        return;
    case SpectrumKernelPlain:
        break;
    }
    AddLaneSums(terms, begin, end, frequency, sums);
}

// The lanes of each sum added up in one fixed order.
SpectrumSums CombinedLanes(const SpectrumLaneSums &sums)
{
    double total[7];
    for (int s = 0; s < 7; ++s) {
        const double *l = sums.lane[s];
        total[s] = ((l[0] + l[4]) + (l[1] + l[5])) + ((l[2] + l[6]) + (l[3] + l[7]));
    }
    return {total[0], total[1], total[2], total[3], total[4], total[5], total[6]};
}

// The powers of count trial periods, one batch of frequencies at a time.
void PowersOfPeriods(const SpectrumTerms *terms, const double *periods, long count, double sumOfSquares,
                     double *powers)
{
    double frequencies[BatchFrequencies];
    SpectrumSums sums[BatchFrequencies];
    for (long first = 0; first < count; first += BatchFrequencies) {
        const int batch = static_cast<int>(std::min<long>(BatchFrequencies, count - first));
        for (int j = 0; j < batch; ++j)
            frequencies[j] = static_cast<double>(1 / static_cast<long double>(periods[first + j]));
        SpectrumSumsOf(*terms, frequencies, batch, sums);
        for (int j = 0; j < batch; ++j)
            powers[first + j] = WeightedPowerOfSums(sums[j], terms->weightSum, sumOfSquares);
    }
}

// The sums of count trial periods, one batch of frequencies at a time.
void SumsOfPeriods(const SpectrumTerms *terms, const double *periods, long count, SpectrumSums *sums)
{
    double frequencies[BatchFrequencies];
    for (long first = 0; first < count; first += BatchFrequencies) {
        const int batch = static_cast<int>(std::min<long>(BatchFrequencies, count - first));
        for (int j = 0; j < batch; ++j)
            frequencies[j] = static_cast<double>(1 / static_cast<long double>(periods[first + j]));
        SpectrumSumsOf(*terms, frequencies, batch, sums + first);
    }
}

// Runs work(begin, end) over 'threads' contiguous blocks of 0..count-1 side
// by side, the first block on this thread.
template <typename Work> void SplitOverThreads(long count, int threads, Work work)
{
    // Chosen here, before any thread reads the choice.
    SpectrumKernelInUse();
    threads = static_cast<int>(std::max(1L, std::min<long>(threads, count)));
    std::vector<std::thread> workers;
    for (int w = 1; w < threads; ++w) {
        const long begin = count * w / threads, end = count * (w + 1) / threads;
        try {
            workers.emplace_back(work, begin, end);
        } catch (const std::system_error &) {
            // No thread to be had: this one takes the block.
            work(begin, end);
        }
    }
    work(0L, count / threads);
    for (std::thread &worker : workers)
        worker.join();
}

} // namespace

int UsableCores()
{
    cpu_set_t set;
    if (sched_getaffinity(0, sizeof set, &set) == 0)
        return std::max(1, CPU_COUNT(&set));
    return static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
}

void SpectrumOutlyingTerm(const SpectrumTerms &terms, int i, double frequency, double &sine, double &cosine)
{
    const double angle = ExtendedAngle(terms, i, frequency);
    sine = std::sin(angle);
    cosine = std::cos(angle);
}

void SpectrumLaneSumsPlain(const SpectrumTerms &terms, int begin, int end, double frequency, SpectrumLaneSums &sums)
{
    AddLaneSums(terms, begin, end, frequency, sums);
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
    kernelInUse.store(kernel);
    return kernel;
}

SpectrumKernel SpectrumKernelInUse()
{
    const int kernel = kernelInUse.load();
    if (kernel >= 0)
        return static_cast<SpectrumKernel>(kernel);
    // Every thread that gets here first finds the same widest kernel.
    const SpectrumKernel widest = WidestSpectrumKernel();
    int unset = -1;
    kernelInUse.compare_exchange_strong(unset, widest);
    return static_cast<SpectrumKernel>(kernelInUse.load());
}

bool SpectrumKernelChosen() { return kernelInUse.load() >= 0; }

bool SpectrumKernelNamed(const char *name, SpectrumKernel &kernel)
{
    for (int k = SpectrumKernelPlain; k <= SpectrumKernelAvx512; ++k)
        if (std::strcmp(name, SpectrumKernelName(static_cast<SpectrumKernel>(k))) == 0) {
            kernel = static_cast<SpectrumKernel>(k);
            return true;
        }
    return false;
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

void ReleaseSpectrumTerms(SpectrumTerms &terms)
{
    std::free(terms.angleHigh);
    std::free(terms.angleLow);
    std::free(terms.magnitude);
    std::free(terms.weight);
    terms = SpectrumTerms{};
}

void PrepareSpectrumTerms(SpectrumTerms &terms, const double *t, const double *y, int n)
{
    PrepareWeightedSpectrumTerms(terms, t, y, nullptr, n);
}

void PrepareWeightedSpectrumTerms(SpectrumTerms &terms, const double *t, const double *y, const double *w, int n)
{
    n = std::max(n, 0);
    ReserveSpectrumTerms(terms, n);
    terms.count = n;
    terms.weighted = w != nullptr;
    terms.largestAngle = 0;
    double weightSum = 0;
    for (int i = 0; i < n; ++i)
        weightSum += w != nullptr ? w[i] : 1;
    terms.weightSum = weightSum;
    const int size = RoundedToSteps(n) + SpectrumTermPadding;
    for (int i = 0; i < size; ++i) {
        const bool observed = i < n;
        const long double angle = observed ? (static_cast<long double>(t[i]) - t[0]) * SpectrumTwoPi : 0;
        terms.angleHigh[i] = static_cast<double>(angle);
        terms.angleLow[i] = static_cast<double>(angle - terms.angleHigh[i]);
        terms.magnitude[i] = observed ? y[i] : 0;
        terms.weight[i] = observed ? (w != nullptr ? w[i] : 1) : 0;
        // Not-a-number times make the whole pass take the libm path.
        if (!(std::fabs(terms.angleHigh[i]) <= terms.largestAngle))
            terms.largestAngle = std::isnan(terms.angleHigh[i]) ? INFINITY : std::fabs(terms.angleHigh[i]);
    }
}

void SpectrumSumsOf(const SpectrumTerms &terms, const double *frequencies, int count, SpectrumSums *sums)
{
    const SpectrumKernel kernel = SpectrumKernelInUse();
    const int end = RoundedToSteps(terms.count);
    SpectrumLaneSums lanes[BatchFrequencies];
    for (int first = 0; first < count; first += BatchFrequencies) {
        const int batch = std::min(BatchFrequencies, count - first);
        std::memset(static_cast<void *>(lanes), 0, sizeof lanes);
        for (int block = 0; block < end; block += BlockTerms) {
            const int blockEnd = std::min(block + BlockTerms, end);
            for (int j = 0; j < batch; ++j)
                AddKernelLaneSums(kernel, terms, block, blockEnd, frequencies[first + j], lanes[j]);
        }
        for (int j = 0; j < batch; ++j)
            sums[first + j] = CombinedLanes(lanes[j]);
    }
}

int SpectrumThreadsFor(int requested, int n, long points)
{
    if (requested > 0)
        return requested;
    if (static_cast<double>(n) * static_cast<double>(points) <= SingleThreadTerms)
        return 1;
    return UsableCores();
}

void SpectrumPowersOf(const SpectrumTerms &terms, const double *periods, long count, double sumOfSquares,
                      int threads, double *powers)
{
    SplitOverThreads(count, threads, [&terms, periods, sumOfSquares, powers](long begin, long end) {
        PowersOfPeriods(&terms, periods + begin, end - begin, sumOfSquares, powers + begin);
    });
}

void SpectrumSumsOfPeriods(const SpectrumTerms &terms, const double *periods, long count, int threads,
                           SpectrumSums *sums)
{
    SplitOverThreads(count, threads, [&terms, periods, sums](long begin, long end) {
        SumsOfPeriods(&terms, periods + begin, end - begin, sums + begin);
    });
}

void SpectrumSumsOfFrequencies(const SpectrumTerms &terms, const double *frequencies, long count, int threads,
                               SpectrumSums *sums)
{
    SplitOverThreads(count, threads, [&terms, frequencies, sums](long begin, long end) {
        for (long first = begin; first < end; first += BatchFrequencies) {
            const int batch = static_cast<int>(std::min<long>(BatchFrequencies, end - first));
            SpectrumSumsOf(terms, frequencies + first, batch, sums + first);
        }
    });
}

long SpectrumChunkPoints(int threads) { return ChunkPointsPerThread * std::max(threads, 1); }
