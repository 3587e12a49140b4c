// One non-uniform FFT of type 1: spreading, the FFT on FFTW, and the
// kernel's Fourier transform for the deconvolution.
#include "type1.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <cstdint>
#include <cstdlib>
#include <fftw3.h>
#include <gsl/gsl_integration.h>
#include <mutex>
#include <numeric>
#include <sys/mman.h>
#include <system_error>
#include <thread>

namespace {

// FFTW's planner is not reentrant: every plan is made and destroyed under
// this lock (executing plans needs none).
std::mutex PlannerLock;

// Huge pages are asked for arrays of this size and more.
const std::size_t HugePage = std::size_t(2) << 20;

double Kernel(double z)
{
    const double s = 1 - z * z;
    return s > 0 ? std::exp(Type1Beta * (std::sqrt(s) - 1)) : 0;
}

// The w kernel values of a point whose first cell lies 'lead' cells from it.
void KernelValues(double lead, double *values)
{
    const double scale = 2.0 / Type1Width;
    for (int i = 0; i < Type1Width; ++i)
        values[i] = Kernel((lead + i) * scale);
}

// Adds the sorted points that reach the cells [begin, end) (counted from the
// grid's start, padding below 0) to those cells only.
void SpreadCells(const Type1Layout &layout, const SortedPoints &points,
                 const std::vector<const std::complex<double> *> &strengths, Type1Grids &grids, long begin, long end)
{
    const std::vector<long> &first = points.firstCell;
    const long from = std::lower_bound(first.begin(), first.end(), begin - Type1Width + 1) - first.begin();
    const long to = std::lower_bound(first.begin(), first.end(), end) - first.begin();
    double values[Type1Width];
    const std::size_t sets = strengths.size();
    for (long j = from; j < to; ++j) {
        KernelValues(points.lead[static_cast<std::size_t>(j)], values);
        const long cell = first[static_cast<std::size_t>(j)];
        const int i0 = static_cast<int>(std::max(0L, begin - cell));
        const int i1 = static_cast<int>(std::min<long>(Type1Width, end - cell));
        for (std::size_t s = 0; s < sets; ++s) {
            const double re = strengths[s][j].real(), im = strengths[s][j].imag();
            double *g = reinterpret_cast<double *>(grids.grid[s] + layout.padding + cell);
            for (int i = i0; i < i1; ++i) {
                g[2 * i] += re * values[i];
                g[2 * i + 1] += im * values[i];
            }
        }
    }
}

// The overhang below cell 0 and from cell M on added to the cells it wraps to.
void FoldPadding(const Type1Layout &layout, std::complex<double> *grid)
{
    std::complex<double> *proper = grid + layout.padding;
    for (long c = 0; c < layout.padding; ++c) {
        proper[layout.cells - layout.padding + c] += grid[c];
        proper[c] += proper[layout.cells + c];
    }
}

} // namespace

long FftSize(long n)
{
    n = std::max(n, 1L);
    long best = 0;
    for (long three = 1; three <= 2 * n; three *= 9) {
        for (long odd = three; odd <= 2 * n; odd *= 25) {
            long size = odd;
            while (size < n)
                size *= 2;
            if (best == 0 || size < best)
                best = size;
        }
    }
    return best;
}

Type1Layout MakeType1Layout(long below, long above)
{
    Type1Layout layout;
    layout.below = below;
    layout.above = above;
    // Whole steps of four complex values keep the grid proper as aligned as
    // FFTW's allocation.
    layout.padding = (Type1Width / 2 + 2 + 3) / 4 * 4;
    const long modes = below + above + 1;
    layout.cells = FftSize(std::max({2 * modes, 2 * std::max(below, above) + 2, 4 * layout.padding}));
    return layout;
}

GridPosition PositionInCells(double hi, double lo, long cells)
{
    const double m = static_cast<double>(cells);
    const double p = m * hi;
    const double error = std::fma(m, hi, -p);
    double cell = std::floor(p);
    double offset = (p - cell) + (error + m * lo);
    if (offset < 0) {
        cell -= 1;
        offset += 1;
    } else if (offset >= 1) {
        cell += 1;
        offset -= 1;
    }
    long c = static_cast<long>(cell) % cells;
    if (c < 0)
        c += cells;
    return {c, offset};
}

SortedPoints SortPositions(const std::vector<GridPosition> &positions)
{
    SortedPoints points;
    const std::size_t n = positions.size();
    points.order.resize(n);
    std::iota(points.order.begin(), points.order.end(), 0L);
    std::stable_sort(points.order.begin(), points.order.end(), [&](long a, long b) {
        const GridPosition &pa = positions[static_cast<std::size_t>(a)];
        const GridPosition &pb = positions[static_cast<std::size_t>(b)];
        return pa.cell < pb.cell || (pa.cell == pb.cell && pa.offset < pb.offset);
    });
    points.firstCell.resize(n);
    points.lead.resize(n);
    const double half = Type1Width / 2.0;
    for (std::size_t j = 0; j < n; ++j) {
        const GridPosition &p = positions[static_cast<std::size_t>(points.order[j])];
        const double shift = std::ceil(p.offset - half);
        points.firstCell[j] = p.cell + static_cast<long>(shift);
        points.lead[j] = shift - p.offset;
    }
    return points;
}

bool AllocateType1Grids(const Type1Layout &layout, int sets, Type1Grids &grids)
{
    grids.grid.clear();
    grids.bytes = static_cast<std::size_t>(layout.cells + 2 * layout.padding) * sizeof(std::complex<double>);
    for (int s = 0; s < sets; ++s) {
        void *memory = AllocateZeroed(grids.bytes);
        if (!memory) {
            FreeType1Grids(grids);
            return false;
        }
        grids.grid.push_back(static_cast<std::complex<double> *>(memory));
    }
    return true;
}

void FreeType1Grids(Type1Grids &grids)
{
    for (std::complex<double> *g : grids.grid)
        FreeZeroed(g, grids.bytes);
    grids.grid.clear();
}

void *AllocateZeroed(std::size_t bytes)
{
    if (bytes < HugePage) {
        void *memory = nullptr;
        if (posix_memalign(&memory, 64, std::max<std::size_t>(bytes, 1)) != 0)
            return nullptr;
        std::memset(memory, 0, bytes);
        return memory;
    }
    // Whole huge pages, and room to cut the mapping to a 2 MB boundary.
    const std::size_t whole = (bytes + HugePage - 1) / HugePage * HugePage;
    void *mapped = mmap(nullptr, whole + HugePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED)
        return nullptr;
    const std::uintptr_t start = reinterpret_cast<std::uintptr_t>(mapped);
    const std::uintptr_t aligned = (start + HugePage - 1) / HugePage * HugePage;
    if (aligned > start)
        munmap(mapped, aligned - start);
    if (start + HugePage > aligned)
        munmap(reinterpret_cast<void *>(aligned + whole), start + HugePage - aligned);
#ifdef MADV_HUGEPAGE
    // Only a hint: without huge pages the memory is the same, only slower
    // to touch the first time.
    madvise(reinterpret_cast<void *>(aligned), whole, MADV_HUGEPAGE);
#endif
    return reinterpret_cast<void *>(aligned);
}

void FreeZeroed(void *memory, std::size_t bytes)
{
    if (!memory)
        return;
    if (bytes < HugePage)
        std::free(memory);
    else
        munmap(memory, (bytes + HugePage - 1) / HugePage * HugePage);
}

void SpreadType1(const Type1Layout &layout, const SortedPoints &points,
                 const std::vector<const std::complex<double> *> &strengths, Type1Grids &grids, int threads)
{
    const long n = static_cast<long>(points.firstCell.size());
    threads = std::max(1, threads);
    // Equal shares of the points; the cell bounds follow them.
    std::vector<long> bound(static_cast<std::size_t>(threads) + 1);
    bound[0] = -layout.padding;
    bound[static_cast<std::size_t>(threads)] = layout.cells + layout.padding;
    for (int p = 1; p < threads; ++p) {
        const long j = n * p / threads;
        bound[static_cast<std::size_t>(p)] =
            j < n ? std::max(bound[static_cast<std::size_t>(p) - 1], points.firstCell[static_cast<std::size_t>(j)])
                  : bound[static_cast<std::size_t>(threads)];
    }
    RunParts(threads, [&](int part) {
        SpreadCells(layout, points, strengths, grids, bound[static_cast<std::size_t>(part)],
                    bound[static_cast<std::size_t>(part) + 1]);
    });
    for (std::complex<double> *g : grids.grid)
        FoldPadding(layout, g);
}

bool TransformType1Grids(const Type1Layout &layout, Type1Grids &grids, int threads)
{
    if (grids.grid.empty())
        return true;
    fftw_complex *first = reinterpret_cast<fftw_complex *>(grids.grid[0] + layout.padding);
    fftw_plan plan;
    {
        std::lock_guard<std::mutex> hold(PlannerLock);
        plan = fftw_plan_dft_1d(static_cast<int>(layout.cells), first, first, FFTW_BACKWARD, FFTW_ESTIMATE);
    }
    if (!plan)
        return false;
    const int sets = static_cast<int>(grids.grid.size());
    const int parts = std::max(1, std::min(threads, sets));
    RunParts(parts, [&](int part) {
        for (int s = part; s < sets; s += parts) {
            fftw_complex *g = reinterpret_cast<fftw_complex *>(grids.grid[static_cast<std::size_t>(s)] + layout.padding);
            fftw_execute_dft(plan, g, g);
        }
    });
    std::lock_guard<std::mutex> hold(PlannerLock);
    fftw_destroy_plan(plan);
    return true;
}

bool MakeType1Quadrature(const Type1Layout &layout, Type1Quadrature &quadrature)
{
    gsl_integration_glfixed_table *table = gsl_integration_glfixed_table_alloc(Type1QuadratureNodes);
    if (!table)
        return false;
    for (int q = 0; q < Type1QuadratureNodes; ++q) {
        double z = 0, wz = 0;
        gsl_integration_glfixed_point(0, 1, static_cast<std::size_t>(q), &z, &wz, table);
        quadrature.angle[q] = M_PI * Type1Width * z / static_cast<double>(layout.cells);
        quadrature.weight[q] = Type1Width * wz * Kernel(z);
        quadrature.stepCos[q] = std::cos(quadrature.angle[q]);
        quadrature.stepSin[q] = std::sin(quadrature.angle[q]);
    }
    gsl_integration_glfixed_table_free(table);
    return true;
}

void DeconvolutionBlock(const Type1Quadrature &quadrature, long first, long count, double *inverse)
{
    const int nodes = Type1QuadratureNodes;
    const double *stepCos = quadrature.stepCos, *stepSin = quadrature.stepSin;
    double c[nodes], s[nodes];
    for (int q = 0; q < nodes; ++q) {
        c[q] = std::cos(quadrature.angle[q] * static_cast<double>(first));
        s[q] = std::sin(quadrature.angle[q] * static_cast<double>(first));
    }
    for (long a = 0; a < count; ++a) {
        double sum = 0;
        for (int q = 0; q < nodes; ++q)
            sum += quadrature.weight[q] * c[q];
        inverse[a] = 1 / sum;
        for (int q = 0; q < nodes; ++q) {
            const double cn = c[q] * stepCos[q] - s[q] * stepSin[q];
            s[q] = c[q] * stepSin[q] + s[q] * stepCos[q];
            c[q] = cn;
        }
    }
}

void RunPartsOf(int parts, void (*call)(void *, int), void *context)
{
    std::vector<std::thread> started;
    std::vector<int> left;
    for (int part = 1; part < parts; ++part) {
        try {
            started.emplace_back(call, context, part);
        } catch (const std::system_error &) {
            left.push_back(part);
        }
    }
    if (parts >= 1)
        call(context, 0);
    for (int part : left)
        call(context, part);
    for (std::thread &thread : started)
        thread.join();
}
