// The times of extrema of one light curve and their O-C, put into the
// period report.
#include "extremastep.h"

#include <cmath>
#include <vector>

namespace {

// The uncertainties when every observation has a usable one; else none
// (the fits are then unweighted).
const double *UsableUncertainties(const LightCurve &curve)
{
    if (curve.uncertainty.size() != curve.time.size() || curve.uncertainty.empty())
        return nullptr;
    for (double sigma : curve.uncertainty)
        if (!(sigma > 0 && std::isfinite(sigma)))
            return nullptr;
    return curve.uncertainty.data();
}

// The magnitudes as the timing takes them: larger for fainter light.
std::vector<double> FaintwardValues(const LightCurve &curve)
{
    std::vector<double> y = curve.magnitude;
    if (curve.relativeFlux)
        for (double &value : y)
            value = -value;
    return y;
}

// The windows' period and where it came from; 0 when none is known.
double WindowPeriod(const AnalysisSettings &settings, const PeriodReport &report, std::string &source)
{
    if (settings.extremaPeriod > 0) {
        source = "given";
        return settings.extremaPeriod;
    }
    if (settings.ephemerisGiven) {
        source = "ephemeris";
        return settings.ephemerisPeriod;
    }
    source = "strongest peak";
    return report.peaks.empty() ? 0 : report.peaks[0].period;
}

// The refusal of a search that timed nothing: when no window held an
// observation, the empty window is the reason.
std::string SearchError(const ExtremaSearch &search)
{
    if (search.status == ExtremaNoneTimed && search.skipped.empty() && search.emptyWindows > 0)
        return std::string(ExtremaStatusText(ExtremaNoneTimed)) + ": " + ExtremaStatusText(ExtremaEmptyWindow) +
               " (" + std::to_string(search.emptyWindows) + " windows)";
    return ExtremaStatusText(search.status);
}

} // namespace

void AddExtremaReport(const LightCurve &curve, const AnalysisSettings &settings, PeriodReport &report)
{
    report.hasExtrema = true;
    ExtremaReport &x = report.extrema;
    x.kind = settings.maxima ? MaximumBrightness : MinimumBrightness;
    x.windowShare = settings.extremaWindow;
    x.ephemerisGiven = settings.ephemerisGiven;
    x.period = WindowPeriod(settings, report, x.periodSource);
    if (!(x.period > 0 && std::isfinite(x.period))) {
        x.error = ExtremaStatusText(ExtremaNoPeriod);
        return;
    }
    TimingOptions options;
    options.windowShare = settings.extremaWindow;
    const std::vector<double> y = FaintwardValues(curve);
    x.search = FindExtrema(curve.time.data(), y.data(), UsableUncertainties(curve), static_cast<int>(y.size()),
                           x.kind, x.period, settings.ephemerisGiven, settings.ephemerisEpoch, options);
    if (x.search.status != ExtremaOk) {
        x.error = SearchError(x.search);
        return;
    }
    const Ephemeris ephemeris = settings.ephemerisGiven ? Ephemeris{settings.ephemerisEpoch, settings.ephemerisPeriod}
                                                        : EphemerisFromFirst(x.search);
    x.oc = AnalyseOC(OCInputsOf(x.search), ephemeris);
    if (x.oc.status != ExtremaOk)
        x.error = ExtremaStatusText(x.oc.status);
}
