// Straightforward implementations of the published definitions, written
// apart from the library so that its fast and extended-precision paths
// are checked against the plain formulas: a design matrix solved by GSL
// for the harmonic fit, explicit bin membership for phase dispersion and
// explicit boxes over every observation for the box search.
#pragma once
#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include <gsl/gsl_multifit.h>

#include "made_up.h"

inline double WeightOf(const Observations &obs, std::size_t i) { return obs.w.empty() ? 1 : obs.w[i]; }

inline int PositiveWeights(const Observations &obs)
{
    int count = 0;
    for (std::size_t i = 0; i < obs.t.size(); ++i)
        count += WeightOf(obs, i) > 0;
    return count;
}

// Weighted mean and sum of squares about it.
inline void WeightedMoments(const Observations &obs, double &mean, double &sumOfSquares)
{
    double sw = 0, swy = 0;
    for (std::size_t i = 0; i < obs.t.size(); ++i) {
        sw += WeightOf(obs, i);
        swy += WeightOf(obs, i) * obs.y[i];
    }
    mean = swy / sw;
    sumOfSquares = 0;
    for (std::size_t i = 0; i < obs.t.size(); ++i)
        sumOfSquares += WeightOf(obs, i) * (obs.y[i] - mean) * (obs.y[i] - mean);
}

inline double StraightPhase(const Observations &obs, std::size_t i, double f)
{
    const double cycles = (obs.t[i] - obs.t[0]) * f;
    return cycles - std::floor(cycles);
}

// y = c0 + sum c_{2k-1} cos(k theta) + c_{2k} sin(k theta), theta = 2 pi f (t - t[0]),
// by weighted least squares through GSL.
struct StraightFit {
    std::vector<double> coefficients;
    double residual = 0, total = 0; // weighted sums of squares: residual, about the mean
};

inline StraightFit StraightHarmonicFit(const Observations &obs, double f, int harmonics)
{
    const std::size_t n = obs.t.size(), m = 2 * harmonics + 1;
    gsl_matrix *x = gsl_matrix_alloc(n, m), *covariance = gsl_matrix_alloc(m, m);
    gsl_vector *y = gsl_vector_alloc(n), *w = gsl_vector_alloc(n), *c = gsl_vector_alloc(m);
    for (std::size_t i = 0; i < n; ++i) {
        const double theta = 2 * M_PI * f * (obs.t[i] - obs.t[0]);
        gsl_matrix_set(x, i, 0, 1);
        for (int k = 1; k <= harmonics; ++k) {
            gsl_matrix_set(x, i, 2 * k - 1, std::cos(k * theta));
            gsl_matrix_set(x, i, 2 * k, std::sin(k * theta));
        }
        gsl_vector_set(y, i, obs.y[i]);
        gsl_vector_set(w, i, WeightOf(obs, i));
    }
    gsl_multifit_linear_workspace *work = gsl_multifit_linear_alloc(n, m);
    StraightFit fit;
    gsl_multifit_wlinear(x, w, y, c, covariance, &fit.residual, work);
    gsl_multifit_linear_free(work);
    for (std::size_t j = 0; j < m; ++j)
        fit.coefficients.push_back(gsl_vector_get(c, j));
    double mean;
    WeightedMoments(obs, mean, fit.total);
    gsl_matrix_free(x);
    gsl_matrix_free(covariance);
    gsl_vector_free(y);
    gsl_vector_free(w);
    gsl_vector_free(c);
    return fit;
}

// The share of the variance a constant plus H harmonics explain.
inline double StraightHarmonicPower(const Observations &obs, double f, int harmonics)
{
    const StraightFit fit = StraightHarmonicFit(obs, f, harmonics);
    return (fit.total - fit.residual) / fit.total;
}

// Schwarzenberg-Czerny (1996): (K - 2H - 1) / (2H) times the explained
// over the residual sum of squares.
inline double StraightAov(const Observations &obs, double f, int harmonics)
{
    const StraightFit fit = StraightHarmonicFit(obs, f, harmonics);
    const int k = PositiveWeights(obs);
    return (k - 2.0 * harmonics - 1) / (2.0 * harmonics) * (fit.total - fit.residual) / fit.residual;
}

// Whether observation i (of positive weight) lies in bin j of the cover
// (0: bins [j/B, (j+1)/B); 1: the same shifted back by half a bin), by
// comparing its phase with the bin's edges.
inline bool InStraightBin(const Observations &obs, std::size_t i, double f, int bins, int cover, int j)
{
    const double low = (j - 0.5 * cover) / bins, high = (j + 1 - 0.5 * cover) / bins;
    double phase = StraightPhase(obs, i, f);
    if (cover == 1 && phase >= 1 - 0.5 / bins)
        phase -= 1;
    return WeightOf(obs, i) > 0 && phase >= low && phase < high;
}

// Stellingwerf (1978) with two covers: every bin of each cover is collected
// by comparing the phases with its edges.
inline double StraightPdm(const Observations &obs, double f, int bins, int &filled)
{
    double within = 0;
    long counted = 0;
    filled = 0;
    for (int cover = 0; cover < 2; ++cover) {
        for (int j = 0; j < bins; ++j) {
            std::vector<std::size_t> members;
            for (std::size_t i = 0; i < obs.t.size(); ++i)
                if (InStraightBin(obs, i, f, bins, cover, j))
                    members.push_back(i);
            if (members.empty())
                continue;
            double sw = 0, swy = 0;
            for (std::size_t i : members) {
                sw += WeightOf(obs, i);
                swy += WeightOf(obs, i) * obs.y[i];
            }
            const double mean = swy / sw;
            for (std::size_t i : members)
                within += WeightOf(obs, i) * (obs.y[i] - mean) * (obs.y[i] - mean);
            counted += static_cast<long>(members.size());
            ++filled;
        }
    }
    double mean, total;
    WeightedMoments(obs, mean, total);
    return (within / (counted - filled)) / (total / (PositiveWeights(obs) - 1));
}

// The alternate-cycle test of phase dispersion: the within-bin sum of
// squares of both covers with each bin's members split by the group of
// their cycle, for the even and odd cycles and for random groups drawn
// one bit a cycle from mt19937_64(seed); the share of random splits doing
// as well or better, counting the parity split itself.
inline double StraightSplitWithin(const Observations &obs, double f, int bins, const std::vector<int> &cycle,
                                  const std::vector<int> &group)
{
    double within = 0;
    for (int cover = 0; cover < 2; ++cover)
        for (int j = 0; j < bins; ++j)
            for (int g = 0; g < 2; ++g) {
                std::vector<std::size_t> members;
                for (std::size_t i = 0; i < obs.t.size(); ++i)
                    if (InStraightBin(obs, i, f, bins, cover, j) && group[cycle[i]] == g)
                        members.push_back(i);
                double sw = 0, swy = 0;
                for (std::size_t i : members) {
                    sw += WeightOf(obs, i);
                    swy += WeightOf(obs, i) * obs.y[i];
                }
                for (std::size_t i : members)
                    within += WeightOf(obs, i) * (obs.y[i] - swy / sw) * (obs.y[i] - swy / sw);
            }
    return within;
}

inline double StraightAlternateCycles(const Observations &obs, double f, int bins, int splits, unsigned long long seed)
{
    const double earliest = *std::min_element(obs.t.begin(), obs.t.end());
    const double first = std::floor((earliest - obs.t[0]) * f);
    std::vector<int> cycle(obs.t.size());
    int cycles = 0;
    for (std::size_t i = 0; i < obs.t.size(); ++i) {
        cycle[i] = static_cast<int>(std::floor((obs.t[i] - obs.t[0]) * f) - first);
        cycles = std::max(cycles, cycle[i] + 1);
    }
    std::vector<int> group(static_cast<std::size_t>(cycles));
    for (int c = 0; c < cycles; ++c)
        group[static_cast<std::size_t>(c)] = c % 2;
    const double parity = StraightSplitWithin(obs, f, bins, cycle, group);
    std::mt19937_64 random(seed);
    int asGood = 0;
    for (int s = 0; s < splits; ++s) {
        for (int &g : group)
            g = static_cast<int>(random() & 1);
        asGood += StraightSplitWithin(obs, f, bins, cycle, group) <= parity * (1 + 1e-12);
    }
    return (1.0 + asGood) / (1.0 + splits);
}

// Kovacs, Zucker and Mazeh (2002): every box of every duration, its
// members found by their bins, the weights normalised to sum 1.
struct StraightBox {
    double power = 0, signalResidue = 0, depth = 0, durationShare = 0, ingressPhase = 0, midTime = 0;
    int inBox = 0;
};

inline StraightBox StraightBoxSearch(const Observations &obs, double f, const std::vector<double> &durations,
                                     int bins, int minimumInBox)
{
    const std::size_t n = obs.t.size();
    double weightTotal = 0, mean, total;
    for (std::size_t i = 0; i < n; ++i)
        weightTotal += WeightOf(obs, i);
    WeightedMoments(obs, mean, total);
    std::vector<int> bin(n);
    for (std::size_t i = 0; i < n; ++i)
        bin[i] = std::min(static_cast<int>(StraightPhase(obs, i, f) * bins), bins - 1);
    StraightBox best;
    double bestExplained = 0;
    int bestStart = 0, bestWidth = 0;
    for (double q : durations) {
        const int width = std::max(1, static_cast<int>(std::lround(q * bins)));
        if (width >= bins)
            continue;
        for (int start = 0; start < bins; ++start) {
            double r = 0, s = 0;
            int count = 0;
            for (std::size_t i = 0; i < n; ++i) {
                if (WeightOf(obs, i) > 0 && (bin[i] - start + bins) % bins < width) {
                    r += WeightOf(obs, i) / weightTotal;
                    s += WeightOf(obs, i) * (obs.y[i] - mean) / weightTotal;
                    ++count;
                }
            }
            if (count < minimumInBox || !(s > 0) || !(1 - r > 1e-12))
                continue;
            const double explained = weightTotal * s * s / (r * (1 - r));
            if (explained > bestExplained) {
                bestExplained = explained;
                bestStart = start;
                bestWidth = width;
                best.power = explained / total;
                best.signalResidue = std::sqrt(s * s / (r * (1 - r)));
                best.depth = s / (r * (1 - r));
                best.inBox = count;
            }
        }
    }
    if (bestExplained == 0)
        return best;
    best.durationShare = static_cast<double>(bestWidth) / bins;
    best.ingressPhase = static_cast<double>(bestStart) / bins;
    const double middle = (*std::min_element(obs.t.begin(), obs.t.end()) +
                           *std::max_element(obs.t.begin(), obs.t.end())) / 2;
    const double centre = (bestStart + bestWidth / 2.0) / bins;
    best.midTime = obs.t[0] + (centre + std::round((middle - obs.t[0]) * f - centre)) / f;
    return best;
}
