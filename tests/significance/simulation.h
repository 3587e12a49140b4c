// What the simulations share: the times (and errors) of the real
// observations in tests/data, seeded Gaussian noise, the highest power
// over a frequency grid by the program's spectrum kernels, and the
// binomial interval that a share of runs must fall in.
#pragma once
#include <gsl/gsl_cdf.h>
#include <gsl/gsl_randist.h>
#include <gsl/gsl_rng.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "fastspectrum.h"
#include "kalidor.h"

namespace simulation {

struct RealTimes {
    std::vector<double> t;     // reduced Julian dates
    std::vector<double> sigma; // the given uncertainty, 0 where none
};

inline std::string DataFile(const char *name) { return std::string(TEST_DATA_FOLDER) + "/" + name; }

// delcep.dat: YYMMDD hh.mm magnitude, dates of the 1900s.
inline RealTimes ObservationFileTimes(const char *name)
{
    RealTimes r;
    std::ifstream in(DataFile(name));
    double date, time, magnitude;
    while (in >> date >> time >> magnitude) {
        const long yymmdd = std::lround(date);
        const double hours = std::floor(time);
        r.t.push_back(JulianDateOf(static_cast<int>(yymmdd % 100), static_cast<int>(yymmdd / 100 % 100),
                                   1900 + static_cast<double>(yymmdd / 10000), static_cast<int>(hours),
                                   static_cast<int>(std::lround((time - hours) * 100))));
        r.sigma.push_back(0);
    }
    return r;
}

// A Julian-date file: reduced date and magnitude per line.
inline RealTimes JulianDateFileTimes(const char *name)
{
    RealTimes r;
    std::ifstream in(DataFile(name));
    double date, magnitude;
    while (in >> date >> magnitude) {
        r.t.push_back(date);
        r.sigma.push_back(0);
    }
    return r;
}

// A table of full Julian dates, magnitudes and an optional uncertainty,
// separated by 'separator'; limits (< or >) left out, and rows of other
// bands than 'band' when the fifth field names bands and band is not empty.
inline RealTimes TableTimes(const char *name, char separator, const std::string &band = "")
{
    RealTimes r;
    std::ifstream in(DataFile(name));
    std::string line;
    while (std::getline(in, line)) {
        std::vector<std::string> fields;
        std::stringstream row(line);
        std::string field;
        while (std::getline(row, field, separator))
            fields.push_back(field);
        if (fields.size() < 2 || fields[1].empty() || fields[1][0] == '<' || fields[1][0] == '>')
            continue;
        if (!band.empty() && (fields.size() < 5 || fields[4] != band))
            continue;
        r.t.push_back(std::stod(fields[0]) - 2400000);
        r.sigma.push_back(fields.size() >= 3 && !fields[2].empty() ? std::stod(fields[2]) : 0);
    }
    return r;
}

// 'count' of the times, evenly picked across the file.
inline std::vector<double> EveryFew(const std::vector<double> &t, int count)
{
    std::vector<double> picked;
    for (int k = 0; k < count; ++k)
        picked.push_back(t[static_cast<std::size_t>(static_cast<long>(k) * t.size() / count)]);
    return picked;
}

inline double Span(const std::vector<double> &t)
{
    return *std::max_element(t.begin(), t.end()) - *std::min_element(t.begin(), t.end());
}

// A seeded generator of GSL's (the same numbers on every platform).
struct Generator {
    gsl_rng *rng;
    explicit Generator(unsigned long seed) : rng(gsl_rng_alloc(gsl_rng_mt19937)) { gsl_rng_set(rng, seed); }
    ~Generator() { gsl_rng_free(rng); }
    Generator(const Generator &) = delete;
    Generator &operator=(const Generator &) = delete;
    double Gauss(double sigma) { return gsl_ran_gaussian_ziggurat(rng, sigma); }
    double Uniform() { return gsl_rng_uniform(rng); }
};

// The trial periods of an evenly spaced frequency grid over fmin..fmax
// with 'perWidth' points per peak width 1/span.
inline std::vector<double> FrequencyGridPeriods(double fmin, double fmax, double span, double perWidth)
{
    const long intervals = static_cast<long>(std::ceil(perWidth * (fmax - fmin) * span));
    std::vector<double> periods;
    for (long k = 0; k <= intervals; ++k)
        periods.push_back(1 / (fmin + (fmax - fmin) * k / intervals));
    return periods;
}

// The highest power over the periods of centred y by the program's
// kernels (one thread: the kernels keep their terms at module level).
inline double HighestGridPower(const double *t, const double *y, int n, double sumOfSquares,
                               const std::vector<double> &periods, std::vector<double> &powers)
{
    powers.resize(periods.size());
    PrepareSpectrumTerms(t, y, n);
    PreparedSpectrumPowers(periods.data(), static_cast<long>(periods.size()), sumOfSquares, 1, powers.data());
    return *std::max_element(powers.begin(), powers.end());
}

// The powers of many light curves on the same times, weights and grid,
// quickly: for every grid frequency the cosine and sine over the times,
// orthonormalised against the constant and each other with the weights
// (Gram-Schmidt, as the spectrum pass does it), are taken once; the power
// of magnitudes y centred on their weighted mean is then
// ((sum w y u)^2 + (sum w y v)^2) / sum w y^2, two dot products per
// frequency.  It is the spectrum pass's power, computed another way.
struct FixedGridSpectrum {
    int n;
    std::vector<double> wu, wv; // w_i u_i and w_i v_i at [k * n + i]
};

inline FixedGridSpectrum PrepareFixedGrid(const std::vector<double> &t, const std::vector<double> &periods,
                                          const double *w = nullptr)
{
    FixedGridSpectrum g;
    g.n = static_cast<int>(t.size());
    const int n = g.n;
    auto weight = [&](int i) { return w == nullptr ? 1.0L : static_cast<long double>(w[i]); };
    long double total = 0;
    for (int i = 0; i < n; ++i)
        total += weight(i);
    std::vector<long double> c(n), s(n);
    for (double p : periods) {
        const double f = static_cast<double>(1 / static_cast<long double>(p));
        long double cbar = 0, sbar = 0;
        for (int i = 0; i < n; ++i) {
            const double angle = static_cast<double>((static_cast<long double>(t[i]) - t[0]) *
                                                     6.283185307179586476925286766559L * f);
            c[i] = std::cos(angle);
            s[i] = std::sin(angle);
            cbar += weight(i) * c[i] / total;
            sbar += weight(i) * s[i] / total;
        }
        long double cc = 0, cs = 0, ss = 0;
        for (int i = 0; i < n; ++i) {
            c[i] -= cbar;
            s[i] -= sbar;
            cc += weight(i) * c[i] * c[i];
        }
        for (int i = 0; i < n; ++i) {
            c[i] /= std::sqrt(cc);
            cs += weight(i) * c[i] * s[i];
        }
        for (int i = 0; i < n; ++i) {
            s[i] -= cs * c[i];
            ss += weight(i) * s[i] * s[i];
        }
        for (int i = 0; i < n; ++i) {
            g.wu.push_back(static_cast<double>(weight(i) * c[i]));
            g.wv.push_back(static_cast<double>(weight(i) * s[i] / std::sqrt(ss)));
        }
    }
    return g;
}

// The highest power over the grid of centred y with (weighted) sum of
// squares, and where it is.
inline double HighestFixedGridPower(const FixedGridSpectrum &g, const double *y, double sumOfSquares,
                                    long *where = nullptr)
{
    double highest = 0;
    const std::size_t frequencies = g.wu.size() / g.n;
    for (std::size_t k = 0; k < frequencies; ++k) {
        const double *u = &g.wu[k * g.n], *v = &g.wv[k * g.n];
        double u0 = 0, u1 = 0, v0 = 0, v1 = 0;
        int i = 0;
        for (; i + 1 < g.n; i += 2) {
            u0 += y[i] * u[i];
            u1 += y[i + 1] * u[i + 1];
            v0 += y[i] * v[i];
            v1 += y[i + 1] * v[i + 1];
        }
        for (; i < g.n; ++i) {
            u0 += y[i] * u[i];
            v0 += y[i] * v[i];
        }
        const double cu = u0 + u1, cv = v0 + v1;
        const double power = (cu * cu + cv * cv) / sumOfSquares;
        if (power > highest) {
            highest = power;
            if (where != nullptr)
                *where = static_cast<long>(k);
        }
    }
    return highest;
}

// The central 99 % interval of the share of 'runs' runs that fall below
// alpha when each does with probability alpha: the counts k with
// P(X < k) >= 0.005 and P(X > k) >= 0.005 for X ~ Binomial(runs, alpha).
struct ShareInterval {
    double low, high;
};
inline ShareInterval BinomialInterval99(double alpha, int runs)
{
    int low = 0, high = runs;
    while (low < runs && gsl_cdf_binomial_P(static_cast<unsigned>(low), alpha, static_cast<unsigned>(runs)) < 0.005)
        ++low;
    while (high > 0 && gsl_cdf_binomial_Q(static_cast<unsigned>(high - 1), alpha, static_cast<unsigned>(runs)) < 0.005)
        --high;
    return {static_cast<double>(low) / runs, static_cast<double>(high) / runs};
}

} // namespace simulation
