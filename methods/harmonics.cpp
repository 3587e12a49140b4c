// A constant plus H harmonics of a trial frequency fitted by weighted least
// squares, computed from trigonometric sums so that a fast transform can
// supply the sums of a whole grid: the normal matrix of the harmonics needs
// the sums of cos k theta and sin k theta up to k = 2H, the right-hand side
// those of the magnitudes up to k = H.
#include <algorithm>
#include <cmath>

#include "methodsinternal.h"

namespace {

// The observations are summed in doubles over blocks of this many, and the
// block sums in extended precision: the error stays that of one block
// however many observations there are.
const int SumBlock = 128;

} // namespace

void ComputeHarmonicSums(const MethodData &data, double f, int harmonics, HarmonicSums &sums)
{
    const int h = std::min(std::max(harmonics, 1), MaxHarmonics);
    long double cosine[2 * MaxHarmonics + 1] = {}, sine[2 * MaxHarmonics + 1] = {};
    long double valueCosine[MaxHarmonics + 1] = {}, valueSine[MaxHarmonics + 1] = {};
    for (int first = 0; first < data.n; first += SumBlock) {
        const int last = std::min(first + SumBlock, data.n);
        double blockCosine[2 * MaxHarmonics + 1] = {}, blockSine[2 * MaxHarmonics + 1] = {};
        double blockValueCosine[MaxHarmonics + 1] = {}, blockValueSine[MaxHarmonics + 1] = {};
        for (int i = first; i < last; ++i) {
            const double w = data.weight[i];
            if (w == 0)
                continue;
            const double wy = w * data.value[i];
            const double angle = ObservationAngle(data.time[i], data.origin, f);
            const double c1 = std::cos(angle), s1 = std::sin(angle);
            blockCosine[0] += w;
            blockValueCosine[0] += wy;
            double ck = 1, sk = 0;
            for (int k = 1; k <= 2 * h; ++k) {
                const double next = ck * c1 - sk * s1;
                sk = sk * c1 + ck * s1;
                ck = next;
                blockCosine[k] += w * ck;
                blockSine[k] += w * sk;
                if (k <= h) {
                    blockValueCosine[k] += wy * ck;
                    blockValueSine[k] += wy * sk;
                }
            }
        }
        for (int k = 0; k <= 2 * h; ++k) {
            cosine[k] += blockCosine[k];
            sine[k] += blockSine[k];
        }
        for (int k = 0; k <= h; ++k) {
            valueCosine[k] += blockValueCosine[k];
            valueSine[k] += blockValueSine[k];
        }
    }
    sums = HarmonicSums();
    sums.harmonics = h;
    for (int k = 0; k <= 2 * h; ++k) {
        sums.cosine[k] = static_cast<double>(cosine[k]);
        sums.sine[k] = static_cast<double>(sine[k]);
    }
    for (int k = 0; k <= h; ++k) {
        sums.valueCosine[k] = static_cast<double>(valueCosine[k]);
        sums.valueSine[k] = static_cast<double>(valueSine[k]);
    }
}

namespace {

// Sum w cos(m theta) and sum w sin(m theta) for any whole m, |m| <= 2H.
long double CosineSum(const HarmonicSums &sums, int m) { return sums.cosine[m < 0 ? -m : m]; }
long double SineSum(const HarmonicSums &sums, int m) { return m < 0 ? -sums.sine[-m] : sums.sine[m]; }

} // namespace

void HarmonicNormalEquations(const HarmonicSums &sums, long double *matrix, long double *rhs)
{
    const int h = sums.harmonics, m = 2 * h + 1;
    // Column 0 is the constant; column 2k - 1 is cos k theta, 2k sin k theta.
    matrix[0] = sums.cosine[0];
    rhs[0] = sums.valueCosine[0];
    for (int k = 1; k <= h; ++k) {
        matrix[2 * k - 1] = matrix[(2 * k - 1) * m] = sums.cosine[k];
        matrix[2 * k] = matrix[2 * k * m] = sums.sine[k];
        rhs[2 * k - 1] = sums.valueCosine[k];
        rhs[2 * k] = sums.valueSine[k];
    }
    // cos j cos k = (cos(j-k) + cos(j+k)) / 2, sin j sin k = (cos(j-k) -
    // cos(j+k)) / 2, cos j sin k = (sin(k+j) + sin(k-j)) / 2.
    for (int j = 1; j <= h; ++j) {
        for (int k = 1; k <= h; ++k) {
            const int cj = 2 * j - 1, sj = 2 * j, ck = 2 * k - 1, sk = 2 * k;
            matrix[cj * m + ck] = (CosineSum(sums, j - k) + CosineSum(sums, j + k)) / 2;
            matrix[sj * m + sk] = (CosineSum(sums, j - k) - CosineSum(sums, j + k)) / 2;
            matrix[cj * m + sk] = matrix[sk * m + cj] = (SineSum(sums, k + j) + SineSum(sums, k - j)) / 2;
        }
    }
}

bool CholeskyFactor(long double *matrix, int m, long double least)
{
    for (int j = 0; j < m; ++j) {
        long double pivot = matrix[j * m + j];
        for (int k = 0; k < j; ++k)
            pivot -= matrix[j * m + k] * matrix[j * m + k];
        if (!(pivot > least))
            return false;
        const long double diagonal = std::sqrt(pivot);
        matrix[j * m + j] = diagonal;
        for (int i = j + 1; i < m; ++i) {
            long double entry = matrix[i * m + j];
            for (int k = 0; k < j; ++k)
                entry -= matrix[i * m + k] * matrix[j * m + k];
            matrix[i * m + j] = entry / diagonal;
        }
    }
    return true;
}

void ForwardSubstitute(const long double *factor, int m, long double *rhs)
{
    for (int j = 0; j < m; ++j) {
        long double value = rhs[j];
        for (int k = 0; k < j; ++k)
            value -= factor[j * m + k] * rhs[k];
        rhs[j] = value / factor[j * m + j];
    }
}

void BackSubstitute(const long double *factor, int m, long double *rhs)
{
    for (int j = m - 1; j >= 0; --j) {
        long double value = rhs[j];
        for (int k = j + 1; k < m; ++k)
            value -= factor[k * m + j] * rhs[k];
        rhs[j] = value / factor[j * m + j];
    }
}

double HarmonicPowerWithRoom(const HarmonicSums &sums, double sumOfSquares, double leastShare, bool &roomy)
{
    roomy = false;
    if (sums.harmonics < 1 || sums.harmonics > MaxHarmonics)
        return 0;
    const int m = 2 * sums.harmonics + 1;
    long double matrix[MaxHarmonicColumns * MaxHarmonicColumns], rhs[MaxHarmonicColumns];
    HarmonicNormalEquations(sums, matrix, rhs);
    if (!CholeskyFactor(matrix, m, leastShare * static_cast<long double>(sums.cosine[0])))
        return 0;
    roomy = true;
    ForwardSubstitute(matrix, m, rhs);
    // The components along the orthonormalised columns; the first, along
    // the constant, is what the mean explains and is left out.
    long double explained = 0;
    for (int j = 1; j < m; ++j)
        explained += rhs[j] * rhs[j];
    const double power = static_cast<double>(explained / sumOfSquares);
    return std::isfinite(power) ? power : 0;
}

double HarmonicPowerOfSums(const HarmonicSums &sums, double sumOfSquares)
{
    bool roomy = false;
    return HarmonicPowerWithRoom(sums, sumOfSquares, NoRoomShare, roomy);
}

double HarmonicPower(const MethodData &data, double f, int harmonics)
{
    if (harmonics < 1 || harmonics > MaxHarmonics)
        return 0;
    HarmonicSums sums;
    ComputeHarmonicSums(data, f, harmonics, sums);
    return HarmonicPowerOfSums(sums, data.sumOfSquares);
}
