// The joint fit of a constant and several sines, frequencies included, by
// nonlinear least squares (GSL's trust-region solver).
#include <gsl/gsl_blas.h>
#include <gsl/gsl_errno.h>
#include <gsl/gsl_multifit_nlinear.h>

#include <cmath>
#include <new>

#include "analysis.h"
#include "weightedfit.h"

namespace {

const double TwoPi = 6.283185307179586476925286766559;
const int MostFitIterations = 200;
const double StepTolerance = 1e-12;
const double GradientTolerance = 1e-12;

// The observations of one fit; the parameters are the constant, then the
// frequency, cosine and sine term of each component.
struct SineData {
    const double *t;
    const double *y;
    const double *rootWeight; // sqrt(w) of each observation, or nullptr
    int n;
    double reference;
    int components;
};

int SineResiduals(const gsl_vector *x, void *data, gsl_vector *f)
{
    const SineData &d = *static_cast<const SineData *>(data);
    for (int i = 0; i < d.n; ++i) {
        const double tau = d.t[i] - d.reference;
        double model = gsl_vector_get(x, 0);
        for (int j = 0; j < d.components; ++j) {
            const double angle = TwoPi * gsl_vector_get(x, 1 + 3 * j) * tau;
            model += gsl_vector_get(x, 2 + 3 * j) * std::cos(angle) + gsl_vector_get(x, 3 + 3 * j) * std::sin(angle);
        }
        gsl_vector_set(f, i, d.rootWeight == nullptr ? model - d.y[i] : d.rootWeight[i] * (model - d.y[i]));
    }
    return GSL_SUCCESS;
}

int SineJacobian(const gsl_vector *x, void *data, gsl_matrix *jacobian)
{
    const SineData &d = *static_cast<const SineData *>(data);
    for (int i = 0; i < d.n; ++i) {
        const double tau = d.t[i] - d.reference;
        gsl_matrix_set(jacobian, i, 0, 1);
        for (int j = 0; j < d.components; ++j) {
            const double angle = TwoPi * gsl_vector_get(x, 1 + 3 * j) * tau;
            const double c = std::cos(angle), s = std::sin(angle);
            const double a = gsl_vector_get(x, 2 + 3 * j), b = gsl_vector_get(x, 3 + 3 * j);
            gsl_matrix_set(jacobian, i, 1 + 3 * j, TwoPi * tau * (b * c - a * s));
            gsl_matrix_set(jacobian, i, 2 + 3 * j, c);
            gsl_matrix_set(jacobian, i, 3 + 3 * j, s);
        }
        if (d.rootWeight != nullptr) {
            gsl_vector_view row = gsl_matrix_row(jacobian, i);
            gsl_vector_scale(&row.vector, d.rootWeight[i]);
        }
    }
    return GSL_SUCCESS;
}

bool AllFinite(const gsl_vector *v)
{
    for (std::size_t i = 0; i < v->size; ++i)
        if (!std::isfinite(gsl_vector_get(v, i)))
            return false;
    return true;
}

// The semi-amplitude's error from the variances and covariance of the
// cosine and sine terms a and b.
double AmplitudeError(double a, double b, double varA, double varB, double covAB)
{
    const double amplitude = std::hypot(a, b);
    if (!(amplitude > 0))
        return std::sqrt(0.5 * (varA + varB));
    return std::sqrt(std::fmax(a * a * varA + b * b * varB + 2 * a * b * covAB, 0.0)) / amplitude;
}

void FreeFitMemory(gsl_vector *start, gsl_multifit_nlinear_workspace *work, gsl_matrix *covariance)
{
    if (covariance != nullptr)
        gsl_matrix_free(covariance);
    if (work != nullptr)
        gsl_multifit_nlinear_free(work);
    if (start != nullptr)
        gsl_vector_free(start);
}

} // namespace

bool FitSinesTogether(const double *t, const double *y, int n, double reference,
                      std::vector<SineComponent> &components, double &constant, double &residualRms)
{
    FitQuality quality;
    return FitWeightedSinesTogether(t, y, nullptr, n, reference, components, constant, residualRms, quality);
}

bool FitWeightedSinesTogether(const double *t, const double *y, const double *w, int n, double reference,
                              std::vector<SineComponent> &components, double &constant, double &residualRms,
                              FitQuality &quality)
{
    const int count = static_cast<int>(components.size());
    const int p = 1 + 3 * count;
    if (count == 0 || n <= p)
        return false;
    gsl_set_error_handler_off();

    std::vector<double> rootWeight;
    double weight = n;
    if (w != nullptr) {
        rootWeight.resize(n);
        weight = 0;
        for (int i = 0; i < n; ++i) {
            rootWeight[i] = std::sqrt(w[i]);
            weight += w[i];
        }
    }
    SineData data = {t, y, w == nullptr ? nullptr : rootWeight.data(), n, reference, count};
    gsl_multifit_nlinear_fdf fdf;
    fdf.f = SineResiduals;
    fdf.df = SineJacobian;
    fdf.fvv = nullptr;
    fdf.n = static_cast<std::size_t>(n);
    fdf.p = static_cast<std::size_t>(p);
    fdf.params = &data;

    gsl_vector *start = gsl_vector_alloc(p);
    gsl_multifit_nlinear_parameters parameters = gsl_multifit_nlinear_default_parameters();
    gsl_multifit_nlinear_workspace *work =
        gsl_multifit_nlinear_alloc(gsl_multifit_nlinear_trust, &parameters, fdf.n, fdf.p);
    gsl_matrix *covariance = gsl_matrix_alloc(p, p);
    if (start == nullptr || work == nullptr || covariance == nullptr) {
        // The Jacobian of n rows and p columns does not fit in memory: as
        // any allocation that fails.
        FreeFitMemory(start, work, covariance);
        throw std::bad_alloc();
    }
    gsl_vector_set(start, 0, constant);
    for (int j = 0; j < count; ++j) {
        gsl_vector_set(start, 1 + 3 * j, components[j].frequency);
        gsl_vector_set(start, 2 + 3 * j, components[j].cosine);
        gsl_vector_set(start, 3 + 3 * j, components[j].sine);
    }
    bool fitted = false;
    int info = 0;
    if (gsl_multifit_nlinear_init(start, &fdf, work) == GSL_SUCCESS) {
        const int status = gsl_multifit_nlinear_driver(MostFitIterations, StepTolerance, GradientTolerance, 0,
                                                       nullptr, nullptr, &info, work);
        const gsl_vector *x = gsl_multifit_nlinear_position(work);
        fitted = (status == GSL_SUCCESS || status == GSL_ENOPROG) && AllFinite(x) &&
                 gsl_multifit_nlinear_covar(gsl_multifit_nlinear_jac(work), 0.0, covariance) == GSL_SUCCESS;
        if (fitted) {
            double chiSquare = 0;
            gsl_blas_ddot(gsl_multifit_nlinear_residual(work), gsl_multifit_nlinear_residual(work), &chiSquare);
            // Without weights the covariance of unit weights is scaled by the
            // residual variance; with weights by the square of ErrorScale.
            quality = QualityOfFit(chiSquare, n, p, w != nullptr);
            const double variance =
                w == nullptr ? chiSquare / (n - p) : quality.errorScale * quality.errorScale;
            constant = gsl_vector_get(x, 0);
            for (int j = 0; j < count; ++j) {
                SineComponent &c = components[j];
                c.frequency = gsl_vector_get(x, 1 + 3 * j);
                c.cosine = gsl_vector_get(x, 2 + 3 * j);
                c.sine = gsl_vector_get(x, 3 + 3 * j);
                c.frequencyError = std::sqrt(variance * gsl_matrix_get(covariance, 1 + 3 * j, 1 + 3 * j));
                c.amplitudeError = AmplitudeError(c.cosine, c.sine, variance * gsl_matrix_get(covariance, 2 + 3 * j, 2 + 3 * j),
                                                  variance * gsl_matrix_get(covariance, 3 + 3 * j, 3 + 3 * j),
                                                  variance * gsl_matrix_get(covariance, 2 + 3 * j, 3 + 3 * j));
            }
            residualRms = std::sqrt(chiSquare / weight);
        }
    }
    FreeFitMemory(start, work, covariance);
    return fitted;
}

void SinesResiduals(const double *t, const double *y, int n, double reference,
                    const std::vector<SineComponent> &components, double constant, std::vector<double> &residual)
{
    residual.resize(n);
    for (int i = 0; i < n; ++i) {
        long double model = constant;
        const long double tau = static_cast<long double>(t[i]) - reference;
        for (const SineComponent &c : components) {
            const double angle = static_cast<double>(2 * 3.14159265358979323846264338327950288L * c.frequency * tau);
            model += c.cosine * std::cos(angle) + c.sine * std::sin(angle);
        }
        residual[i] = static_cast<double>(y[i] - model);
    }
}
