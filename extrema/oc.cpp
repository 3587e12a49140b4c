// O-C against a linear ephemeris, its weighted linear and quadratic fits,
// the period change and the F test of the quadratic term; the O-C table.
#include "extrema.h"
#include "extremautil.h"

#include <gsl/gsl_cdf.h>
#include <gsl/gsl_matrix.h>
#include <gsl/gsl_multifit.h>
#include <gsl/gsl_vector.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <set>

namespace {

const double SecondsPerYear = 86400.0 * 365.25;

// A weighted polynomial fit of O-C in E of 'terms' coefficients (2 or 3).
// E is scaled by 'scale' inside the fit for its conditioning; the results
// are in E itself.
struct PolynomialOCFit {
    double coefficient[3] = {0, 0, 0};
    double covariance[3][3] = {{0, 0, 0}, {0, 0, 0}, {0, 0, 0}};
    double chiSquare = 0;
};

PolynomialOCFit FitOC(const std::vector<OCRow> &rows, int terms, double scale)
{
    const int n = (int)rows.size();
    gsl_matrix *x = gsl_matrix_alloc(n, terms);
    gsl_vector *w = gsl_vector_alloc(n), *y = gsl_vector_alloc(n), *c = gsl_vector_alloc(terms);
    gsl_matrix *cov = gsl_matrix_alloc(terms, terms);
    for (int i = 0; i < n; ++i) {
        const double e = rows[i].cycle / scale;
        double power = 1;
        for (int k = 0; k < terms; ++k, power *= e) gsl_matrix_set(x, i, k, power);
        gsl_vector_set(w, i, 1 / (rows[i].error * rows[i].error));
        gsl_vector_set(y, i, rows[i].oc);
    }
    PolynomialOCFit fit;
    gsl_multifit_linear_workspace *work = gsl_multifit_linear_alloc(n, terms);
    gsl_multifit_wlinear(x, w, y, c, cov, &fit.chiSquare, work);
    gsl_multifit_linear_free(work);
    for (int j = 0; j < terms; ++j) {
        fit.coefficient[j] = gsl_vector_get(c, j) / std::pow(scale, j);
        for (int k = 0; k < terms; ++k)
            fit.covariance[j][k] = gsl_matrix_get(cov, j, k) / (std::pow(scale, j) * std::pow(scale, k));
    }
    gsl_matrix_free(x);
    gsl_matrix_free(cov);
    gsl_vector_free(w);
    gsl_vector_free(y);
    gsl_vector_free(c);
    return fit;
}

double Evaluate(const PolynomialOCFit &fit, long cycle)
{
    const double e = (double)cycle;
    return fit.coefficient[0] + fit.coefficient[1] * e + fit.coefficient[2] * e * e;
}

// The factor the covariance is multiplied with: the reduced chi-square
// when it exceeds 1, else 1.
double ScaleFactor(double reducedChiSquare, bool &scaled)
{
    scaled = reducedChiSquare > 1;
    return scaled ? reducedChiSquare : 1;
}

}  // namespace

Ephemeris EphemerisFromFirst(const ExtremaSearch &search)
{
    Ephemeris e;
    if (search.found.empty()) return e;
    e.period = search.period;
    e.epoch = search.found.front().timing.time;
    for (const FoundExtremum &f : search.found) e.epoch = std::min(e.epoch, f.timing.time);
    return e;
}

std::vector<OCInput> OCInputsOf(const ExtremaSearch &search)
{
    std::vector<OCInput> inputs;
    for (const FoundExtremum &f : search.found) inputs.push_back({f.timing.time, f.timing.error, f.timing.method});
    return inputs;
}

OCAnalysis AnalyseOC(const std::vector<OCInput> &extrema, const Ephemeris &ephemeris, double level)
{
    OCAnalysis analysis;
    analysis.ephemeris = ephemeris;
    analysis.quadratic.level = level;
    auto refuse = [&](ExtremaStatus status) {
        analysis.status = analysis.linear.status = analysis.quadratic.status = status;
        return analysis;
    };
    if (!(level > 0 && level < 1)) return refuse(ExtremaBadLevel);
    if (!(ephemeris.period > 0) || !std::isfinite(ephemeris.period)) return refuse(ExtremaNoPeriod);
    if (!std::isfinite(ephemeris.epoch)) return refuse(ExtremaBadEpoch);
    if (extrema.empty()) return refuse(ExtremaNoneTimed);
    for (const OCInput &x : extrema) {
        if (!std::isfinite(x.time)) return refuse(ExtremaBadObservations);
        if (!std::isfinite(x.error) || !(x.error > 0)) return refuse(ExtremaBadTimeError);
    }
    if (extrema.size() < 2) return refuse(ExtremaSingleExtremum);

    std::set<long> cycles;
    for (const OCInput &x : extrema) {
        OCRow row;
        const long double phase = ((long double)x.time - ephemeris.epoch) / ephemeris.period;
        row.cycle = (long)std::llround((double)phase);
        row.time = x.time;
        row.error = x.error;
        row.oc = (double)((long double)x.time - ((long double)ephemeris.epoch + (long double)row.cycle * ephemeris.period));
        row.method = x.method;
        row.linearResidual = row.quadraticResidual = 0;
        analysis.rows.push_back(row);
        cycles.insert(row.cycle);
    }
    std::stable_sort(analysis.rows.begin(), analysis.rows.end(),
                     [](const OCRow &a, const OCRow &b) { return a.time < b.time; });
    if (cycles.size() < 2) return refuse(ExtremaOneCycle);

    const int n = (int)analysis.rows.size();
    double scale = 1;
    for (const OCRow &r : analysis.rows) scale = std::max(scale, std::fabs((double)r.cycle));

    LinearOCFit &lin = analysis.linear;
    const PolynomialOCFit linear = FitOC(analysis.rows, 2, scale);
    lin.chiSquare = linear.chiSquare;
    lin.degreesOfFreedom = n - 2;
    lin.reducedChiSquare = lin.degreesOfFreedom > 0 ? lin.chiSquare / lin.degreesOfFreedom : 0;
    const double linearFactor = ScaleFactor(lin.reducedChiSquare, lin.errorsScaled);
    lin.a = linear.coefficient[0];
    lin.b = linear.coefficient[1];
    lin.aError = std::sqrt(linear.covariance[0][0] * linearFactor);
    lin.bError = std::sqrt(linear.covariance[1][1] * linearFactor);
    lin.covarianceAB = linear.covariance[0][1] * linearFactor;
    lin.epoch = (double)((long double)ephemeris.epoch + lin.a);
    lin.epochError = lin.aError;
    lin.period = ephemeris.period + lin.b;
    lin.periodError = lin.bError;
    for (OCRow &r : analysis.rows) r.linearResidual = r.oc - Evaluate(linear, r.cycle);

    QuadraticOCFit &quad = analysis.quadratic;
    if (cycles.size() < 3) {
        quad.status = ExtremaTooFewForQuadratic;
        return analysis;
    }
    const PolynomialOCFit quadratic = FitOC(analysis.rows, 3, scale);
    quad.chiSquare = quadratic.chiSquare;
    quad.degreesOfFreedom = n - 3;
    quad.reducedChiSquare = quad.degreesOfFreedom > 0 ? quad.chiSquare / quad.degreesOfFreedom : 0;
    const double quadraticFactor = ScaleFactor(quad.reducedChiSquare, quad.errorsScaled);
    quad.a = quadratic.coefficient[0];
    quad.b = quadratic.coefficient[1];
    quad.c = quadratic.coefficient[2];
    quad.aError = std::sqrt(quadratic.covariance[0][0] * quadraticFactor);
    quad.bError = std::sqrt(quadratic.covariance[1][1] * quadraticFactor);
    quad.cError = std::sqrt(quadratic.covariance[2][2] * quadraticFactor);
    const double period = ephemeris.period + quad.b;
    quad.periodChange = 2 * quad.c / period;
    quad.periodChangeError = 2 * quad.cError / period;
    quad.periodChangeSecondsPerYear = quad.periodChange * SecondsPerYear;
    quad.periodChangeSecondsPerYearError = quad.periodChangeError * SecondsPerYear;
    for (OCRow &r : analysis.rows) r.quadraticResidual = r.oc - Evaluate(quadratic, r.cycle);

    if (quad.degreesOfFreedom >= 1) {
        quad.hasFTest = true;
        const double gain = std::max(0.0, lin.chiSquare - quad.chiSquare);
        if (quad.chiSquare > 0) {
            quad.fValue = gain / (quad.chiSquare / quad.degreesOfFreedom);
            quad.probability = gsl_cdf_fdist_Q(quad.fValue, 1, quad.degreesOfFreedom);
        } else {
            quad.fValue = gain > 0 ? INFINITY : 0;
            quad.probability = gain > 0 ? 0 : 1;
        }
        quad.significant = quad.probability < level;
    }
    return analysis;
}

std::string FormatOCTable(const OCAnalysis &analysis)
{
    std::string text = "#      E           time      error         O-C method\n";
    char line[160];
    for (const OCRow &r : analysis.rows) {
        std::snprintf(line, sizeof line, "%8ld %14.6f %10.6f %+11.6f %s\n", r.cycle, r.time, r.error, r.oc,
                      TimingMethodName(r.method));
        text += line;
    }
    return text;
}
