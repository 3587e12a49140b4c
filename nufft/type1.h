// The pieces of one non-uniform FFT of type 1 on the unit period:
//   F(k) = sum_j c_j exp(2 pi i k x_j),  k = -below .. above,
// for points x_j in [0, 1) and complex strengths c_j.  The points are
// spread onto an even grid of M cells with the "exponential of semicircle"
// kernel phi(z) = exp(beta (sqrt(1 - z^2) - 1)), |z| < 1, of half-width
// w / 2 cells; one backward FFT of the grid gives F(k) times the kernel's
// Fourier transform, which is divided out.  Used by fastsums.cpp only.
#pragma once
#include <complex>
#include <cstddef>
#include <vector>

// The kernel's width in cells and its shape factor, and the grid: twice
// the number of modes (oversampling 2), rounded up to a size FFTW plans and
// runs fast (see FftSize).  A width of 14 with beta = 2.30 * 14 gives sums within about
// 3e-14 of sum |c_j| (13 gives 2e-13, 12 gives 2e-12; 15 is 10 times better
// than 14 and costs a fifteenth more spreading).
const int Type1Width = 14;
const double Type1Beta = 2.30 * Type1Width;

struct Type1Layout {
    long below, above; // the modes -below .. above
    long cells;        // M
    long padding;      // cells kept on either side of the grid for the kernel's overhang
};

// The layout for modes -below .. above (both >= 0).
Type1Layout MakeType1Layout(long below, long above);

// The smallest 2^a 3^(2b) 5^(2c) >= n (n >= 1).  FFTW's planner builds
// large twiddle tables for sizes with an odd power of 3 or 5 and takes up
// to ten times as long as the transform itself to make them; with even
// powers it plans in a fraction of the transform.  The sizes of this form
// lie at most 23 % apart.
long FftSize(long n);

// A point on the grid: cell + offset (offset in [0, 1)) = M x, in cells.
struct GridPosition {
    long cell;
    double offset;
};

// The position of the point x = hi + lo (a value in [0, 1) given as the sum
// of two doubles, |lo| tiny) in cells of a grid of M cells, to about 1e-16
// of a cell; the cell is in [0, M).
GridPosition PositionInCells(double hi, double lo, long cells);

// The points of one transform in increasing order of position, each with
// its first cell (possibly below 0 or above M - w: the kernel's overhang
// lands in the padding) and the distance from the point to that cell.
struct SortedPoints {
    std::vector<long> firstCell;    // non-decreasing
    std::vector<double> lead;       // firstCell - position, in (-w/2 - 1, -w/2]
    std::vector<long> order;        // the index of each point in the caller's arrays
};

// Sorts n positions (ties in the order given).
SortedPoints SortPositions(const std::vector<GridPosition> &positions);

// The grids of 'sets' strength arrays: each M + 2 * padding complex values,
// the grid proper starting at 'padding'.
struct Type1Grids {
    std::vector<std::complex<double> *> grid;
    std::size_t bytes; // of each grid
};

// Allocates and zeroes 'sets' grids; false when memory is short (then
// nothing stays allocated).
bool AllocateType1Grids(const Type1Layout &layout, int sets, Type1Grids &grids);
void FreeType1Grids(Type1Grids &grids);

// Zeroed memory for an array of the given size, aligned to 64 bytes at
// least (enough for FFTW's vector codelets); arrays of 2 MB and more are
// mapped afresh, aligned to 2 MB and offered to the kernel's transparent
// huge pages: where every fault of a 4 KB page is slow (on some virtual
// machines tens of microseconds) this takes most of the cost of touching
// fresh memory away, and fresh pages need no zeroing.  nullptr when memory
// is short; FreeZeroed(nullptr, bytes) does nothing.
void *AllocateZeroed(std::size_t bytes);
void FreeZeroed(void *memory, std::size_t bytes);

// Adds the kernel-weighted strengths of the sorted points to the grids (grid
// s takes strengths[s][j] of sorted point j), then folds the overhang
// into the grid proper.  The cells are split among 'threads' threads; every
// cell takes its terms in the order of the sorted points whatever the
// split, so the grids are the same to the last bit for any thread count.
void SpreadType1(const Type1Layout &layout, const SortedPoints &points,
                 const std::vector<const std::complex<double> *> &strengths, Type1Grids &grids, int threads);

// Runs the backward FFT on every grid in place, the grids shared among the
// threads (one FFT a thread at a time); false when FFTW gives no plan.
bool TransformType1Grids(const Type1Layout &layout, Type1Grids &grids, int threads);

// The nodes of the Gauss-Legendre quadrature of the kernel's Fourier
// transform psi(a) = (w/2) int_-1^1 phi(z) cos(pi a w z / M) dz.  32 nodes
// integrate it to 1e-15 for widths up to 16; GSL holds the nodes of 32 as
// exact tables, while the ones it computes for other counts (46, 50, 80 ...)
// are only good to 1e-12.
const int Type1QuadratureNodes = 32;
struct Type1Quadrature {
    double angle[Type1QuadratureNodes];  // pi w z_q / M
    double weight[Type1QuadratureNodes]; // w * (node weight) * phi(z_q)
    double stepCos[Type1QuadratureNodes], stepSin[Type1QuadratureNodes]; // of angle
};
// false when GSL's node table cannot be allocated.
bool MakeType1Quadrature(const Type1Layout &layout, Type1Quadrature &quadrature);

// The number of mode offsets that DeconvolutionBlock takes at once.
const long Type1DeconvolutionBlock = 256;
// 1 / psi(a) for a = first .. first + count - 1 (count at most
// Type1DeconvolutionBlock) into inverse[0 .. count - 1], from an exact start
// at 'first' and a rotation recurrence after it: the same values whatever
// the caller's split of the offsets, as long as 'first' is a multiple of
// Type1DeconvolutionBlock.
void DeconvolutionBlock(const Type1Quadrature &quadrature, long first, long count, double *inverse);

// The transformed grid's value at mode m (-below <= m <= above), before
// the deconvolution.
inline std::complex<double> Type1GridMode(const Type1Layout &layout, const std::complex<double> *grid, long m)
{
    return grid[layout.padding + (m >= 0 ? m : m + layout.cells)];
}

// Runs job(part) for part = 0 .. parts - 1, each on its own thread (part 0
// on the caller's); when a thread cannot be started its part runs on the
// caller's thread.
template <class Job> void RunParts(int parts, const Job &job);
void RunPartsOf(int parts, void (*call)(void *, int), void *context);
template <class Job> void RunParts(int parts, const Job &job)
{
    RunPartsOf(parts, [](void *context, int part) { (*static_cast<const Job *>(context))(part); },
               const_cast<Job *>(&job));
}
