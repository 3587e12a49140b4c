// The two forms of the period report.
#include "reportwriter.h"

#include <cmath>
#include <map>
#include <nlohmann/json.hpp>
#include <string>

namespace {

using Json = nlohmann::ordered_json;

// A number for JSON; a value that is not finite (no fit possible) is null.
Json Number(double value) { return std::isfinite(value) ? Json(value) : Json(nullptr); }

std::string Text(const char *format, double value)
{
    if (!std::isfinite(value))
        return "-";
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, format, value);
    return buffer;
}

// A false-alarm probability; one too small for a double shows as a bound
// rather than as a plain 0.
std::string ProbabilityText(double probability)
{
    return probability >= 0 && probability < 1e-300 ? "<1e-300" : Text("%.2e", probability);
}

void Line(std::FILE *out, const char *label, const std::string &value)
{
    std::fprintf(out, "%-18s %s\n", label, value.c_str());
}

std::string FalseAlarmMethodText(const PeriodReport &r)
{
    if (r.falseAlarmMethod == "baluev")
        return "Baluev (2008) bound over the band searched";
    if (r.falseAlarmMethod == "bootstrap")
        return "bootstrap of " + std::to_string(r.bootstrapResamples) + " resamples over the same grid";
    return "model of the 95 % level";
}

std::string AlternateCyclesText(const AlternateCycleReport &a)
{
    const std::string test = "(p = " + Text("%.3g", a.probability) + ", " + std::to_string(a.splits) +
                             " random splits of " + std::to_string(a.cycles) + " cycles)";
    const std::string period = Text("%.10g", a.period) + " d ";
    if (a.doubled)
        return "differ at " + period + test + ": the period is twice that";
    if (a.beyondRange)
        return "differ at " + period + test + ": twice that is beyond the longest trial period";
    return "alike at " + period + test;
}

// True when the report tells the counts and the making of a curve read in
// the forms of the space telescopes and the surveys.
bool ShowsReaderFields(const PeriodReport &r)
{
    return !r.readerForm.empty() || r.skippedFlagged != 0 || r.skippedNonPositiveFlux != 0 || r.filesJoined > 1;
}

void WriteReaderLines(const PeriodReport &r, std::FILE *out)
{
    if (!ShowsReaderFields(r))
        return;
    Line(out, "Also skipped:", std::to_string(r.skippedFlagged) + " flagged, " +
                                   std::to_string(r.skippedNonPositiveFlux) + " without a positive flux");
    if (!r.fluxColumn.empty())
        Line(out, "Flux:", r.fluxColumn + (r.relativeFlux ? " relative to its median" : " as magnitudes"));
    if (r.filesJoined > 1)
        Line(out, "Files joined:", std::to_string(r.filesJoined) + " (each over its own median flux)");
}

void WriteDataLines(const PeriodReport &r, std::FILE *out)
{
    Line(out, "File:", r.file);
    Line(out, "Band:", r.band.empty() ? "-" : r.band);
    Line(out, "Time scale:", r.timeScale);
    Line(out, "Observations:", std::to_string(r.observations));
    Line(out, "First:", Text("%.5f", r.first));
    Line(out, "Last:", Text("%.5f", r.last));
    Line(out, "Span:", Text("%.5f", r.span) + " d");
    Line(out, "Mean magnitude:", Text("%.4f", r.meanMagnitude));
    Line(out, "Skipped:", std::to_string(r.skippedLimits) + " limits, " + std::to_string(r.skippedOtherBands) +
                              " of other bands, " + std::to_string(r.skippedEmpty) + " without time or magnitude");
    WriteReaderLines(r, out);
    Line(out, "Periods:", Text("%.10g", r.grid.minimumPeriod) + " to " + Text("%.10g", r.grid.maximumPeriod) + " d");
    if (r.grid.evenInFrequency) {
        Line(out, "Frequencies:", std::to_string(r.grid.intervals + 1) + ", " + Text("%.4g", r.grid.oversample) +
                                      " a peak width" + (r.grid.intervalsCapped ? " (fewer than asked)" : ""));
        Line(out, "Frequency step:", Text("%.6g", r.grid.frequencyStep) + " c/d");
        Line(out, "Transform:", r.grid.transform);
    } else {
        Line(out, "Intervals:",
             std::to_string(r.grid.intervals) + (r.grid.intervalsChosen ? " (chosen from the data)" : ""));
        Line(out, "Step:", Text("%.6g", r.grid.step) + " d");
    }
    if (!r.method.empty()) {
        Line(out, "Method:", r.method);
        Line(out, "Statistic:", r.statistic + (r.lowIsBest ? " (the least is the best period)" : ""));
        Line(out, "False alarm:", r.falseAlarmKind);
        if (r.alternateCycles.tested)
            Line(out, "Alternate cycles:", AlternateCyclesText(r.alternateCycles));
        Line(out, "5 % false alarm:", Text("%.6g", r.significanceLevel));
    } else {
        Line(out, "95 % level:", Text("%.6f", r.significanceLevel));
    }
    if (r.statisticsReported) {
        Line(out, "Weights:", r.weighted ? "1/sigma^2 of the uncertainties" : "equal");
        if (r.method.empty())
            Line(out, "False alarms:", FalseAlarmMethodText(r));
    }
    Line(out, "Spectrum:", r.spectrumFile);
    if (!r.windowFile.empty())
        Line(out, "Spectral window:", r.windowFile);
}

void WritePeakTable(const PeriodReport &r, std::FILE *out)
{
    std::fprintf(out, "\nPeaks, strongest first:\n");
    const std::string statistic = r.method.empty() ? "power" : r.statistic;
    if (r.statisticsReported)
        std::fprintf(out, "  #  %-16s %-11s %-9s %-12s %-10s %-17s %s\n", "period [d]", "error [d]",
                     statistic.c_str(), "false alarm", "amplitude", "epoch of maximum", "S/N");
    else
        std::fprintf(out, "  #  %-16s %-11s %-9s %-12s %-10s %s\n", "period [d]", "error [d]", statistic.c_str(),
                     "false alarm", "amplitude", "epoch of maximum");
    int number = 0;
    for (const PeakReport &p : r.peaks)
        if (r.statisticsReported)
            std::fprintf(out, "%3d  %-16s %-11s %-9s %-12s %-10s %-17s %s\n", ++number, Text("%.10f", p.period).c_str(),
                         Text("%.2e", p.periodError).c_str(), Text("%.6f", p.power).c_str(),
                         ProbabilityText(p.falseAlarmProbability).c_str(), Text("%.4f", p.amplitude).c_str(),
                         Text("%.5f", p.epochOfMaximum).c_str(), Text("%.1f", p.signalToNoise).c_str());
        else
            std::fprintf(out, "%3d  %-16s %-11s %-9s %-12s %-10s %s\n", ++number, Text("%.10f", p.period).c_str(),
                         Text("%.2e", p.periodError).c_str(), Text("%.6f", p.power).c_str(),
                         ProbabilityText(p.falseAlarmProbability).c_str(), Text("%.4f", p.amplitude).c_str(),
                         Text("%.5f", p.epochOfMaximum).c_str());
    if (r.statisticsReported) {
        for (const PeakReport &p : r.peaks)
            if (std::isfinite(p.monteCarloPeriodError)) {
                std::fprintf(out, "  Monte Carlo period errors [d]:");
                for (const PeakReport &q : r.peaks)
                    std::fprintf(out, " %s", Text("%.2e", q.monteCarloPeriodError).c_str());
                std::fprintf(out, "\n");
                break;
            }
        if (r.residualsCorrelated)
            std::fprintf(out, "  The residuals are correlated: the errors above are about %.1f times too small.\n",
                         r.residualErrorFactor);
    }
    if (r.peaks.empty())
        std::fprintf(out, "  (no peak with a positive power)\n");
}

void WriteBandTable(const PeriodReport &r, std::FILE *out)
{
    std::fprintf(out, "\nBands, at the strongest period:\n");
    std::fprintf(out, "  %-12s %-12s %-10s %-10s %s\n", "band", "observations", "mean", "amplitude",
                 "epoch of maximum");
    for (const BandReport &b : r.bands)
        std::fprintf(out, "  %-12s %-12ld %-10s %-10s %s\n", b.band.c_str(), b.observations,
                     Text("%.4f", b.meanMagnitude).c_str(), Text("%.4f", b.amplitude).c_str(),
                     Text("%.5f", b.epochOfMaximum).c_str());
}

// The best box of each peak of a box search, in the peaks' order.
void WriteBoxTable(const PeriodReport &r, std::FILE *out)
{
    std::fprintf(out, "\nBoxes of the peaks (fainter inside the box):\n");
    std::fprintf(out, "  #  %-16s %-10s %-12s %s\n", "period [d]", "depth", "duration [d]", "mid-time");
    int number = 0;
    for (const PeakReport &p : r.peaks)
        std::fprintf(out, "%3d  %-16s %-10s %-12s %s\n", ++number, Text("%.10f", p.period).c_str(),
                     Text("%.4f", p.boxDepth).c_str(), Text("%.5f", p.boxDuration).c_str(),
                     Text("%.5f", p.boxMidTime).c_str());
}

bool HasBoxes(const PeriodReport &r)
{
    for (const PeakReport &p : r.peaks)
        if (p.hasBox)
            return true;
    return false;
}

void WritePrewhiteningTable(const PeriodReport &r, std::FILE *out)
{
    std::fprintf(out, "\nPrewhitening, in the order found (values of the last joint fit):\n");
    std::fprintf(out, "  #  %-16s %-11s %-10s %-11s %-9s %-12s %s\n", "period [d]", "error [d]", "amplitude",
                 "error [mag]", "power", "false alarm", "residual rms");
    int number = 0;
    for (const PrewhiteningStep &s : r.prewhitening)
        std::fprintf(out, "%3d  %-16s %-11s %-10s %-11s %-9s %-12s %s\n", ++number, Text("%.10f", s.period).c_str(),
                     Text("%.2e", s.periodError).c_str(), Text("%.4f", s.amplitude).c_str(),
                     Text("%.2e", s.amplitudeError).c_str(), Text("%.6f", s.power).c_str(),
                     ProbabilityText(s.falseAlarmProbability).c_str(), Text("%.4f", s.residualRms).c_str());
    if (!r.prewhiteningStopped.empty())
        std::fprintf(out, "  Stopped: %s\n", r.prewhiteningStopped.c_str());
}

void WriteFoldLines(const PeriodReport &r, std::FILE *out)
{
    std::fprintf(out, "\nFold:\n");
    Line(out, "  Period:", Text("%.10f", r.fold.period) + " d");
    Line(out, "  Epoch:", Text("%.5f", r.fold.epoch) + " (greatest brightness)");
    Line(out, "  Amplitude:", Text("%.4f", r.fold.amplitude) + " mag");
    Line(out, "  Residual rms:", Text("%.4f", r.fold.residualRms) + " mag");
    if (!r.fold.hasShape)
        return;
    const FoldReport &f = r.fold;
    std::fprintf(out, "\nFold, %d harmonic%s:\n", f.harmonics, f.harmonics == 1 ? "" : "s");
    Line(out, "  Full amplitude:", Text("%.4f", f.fullAmplitude) + " mag");
    Line(out, "  Maximum:", Text("%.5f", f.epochOfMaximum));
    Line(out, "  Minimum:", Text("%.5f", f.epochOfMinimum));
    Line(out, "  Rise time:", Text("%.4f", f.riseTime) + " of the period");
    Line(out, "  R21, R31:", Text("%.4f", f.r21) + ", " + Text("%.4f", f.r31));
    Line(out, "  phi21, phi31:", Text("%.4f", f.phi21Sine) + ", " + Text("%.4f", f.phi31Sine) +
                                    " rad (sine convention)");
    Line(out, "  phi21, phi31:", Text("%.4f", f.phi21Cosine) + ", " + Text("%.4f", f.phi31Cosine) +
                                    " rad (cosine convention)");
    Line(out, "  Residual rms:", Text("%.4f", f.shapeResidualRms) + " mag");
}

Json ShapeJson(const FoldReport &f)
{
    return {{"harmonics", f.harmonics},
            {"full_amplitude", Number(f.fullAmplitude)},
            {"epoch_of_maximum", Number(f.epochOfMaximum)},
            {"epoch_of_minimum", Number(f.epochOfMinimum)},
            {"rise_time", Number(f.riseTime)},
            {"r21", Number(f.r21)},
            {"r31", Number(f.r31)},
            {"phi21_sine", Number(f.phi21Sine)},
            {"phi31_sine", Number(f.phi31Sine)},
            {"phi21_cosine", Number(f.phi21Cosine)},
            {"phi31_cosine", Number(f.phi31Cosine)},
            {"residual_rms", Number(f.shapeResidualRms)}};
}

// The timing of a row of the O-C table: the found extremum of that time.
const ExtremumTiming *TimingOfRow(const ExtremaSearch &search, const OCRow &row)
{
    for (const FoundExtremum &f : search.found)
        if (f.timing.time == row.time)
            return &f.timing;
    return nullptr;
}

// The extrema skipped, counted by reason, in the order of the reasons.
std::map<ExtremaStatus, long> SkippedByReason(const ExtremaSearch &search)
{
    std::map<ExtremaStatus, long> counts;
    for (const SkippedExtremum &s : search.skipped)
        ++counts[s.reason];
    return counts;
}

std::string SkippedText(const ExtremaSearch &search)
{
    std::string text = std::to_string(search.skipped.size());
    std::string reasons;
    for (const auto &count : SkippedByReason(search))
        reasons += (reasons.empty() ? "" : "; ") + std::to_string(count.second) + " " + ExtremaStatusText(count.first);
    if (!reasons.empty())
        text += " (" + reasons + ")";
    return text + ", " + std::to_string(search.emptyWindows) + " windows without observations";
}

std::string FreedomText(int degrees)
{
    return std::to_string(degrees) + (degrees == 1 ? " degree of freedom" : " degrees of freedom");
}

const char *KindWord(ExtremumKind kind) { return kind == MinimumBrightness ? "minimum" : "maximum"; }

void WriteOCRows(const ExtremaReport &x, std::FILE *out)
{
    std::fprintf(out, "  %8s %14s %10s %-10s %11s %s\n", "E", "time", "error [d]", "error of", "O-C [d]", "method");
    for (const OCRow &row : x.oc.rows) {
        const ExtremumTiming *timing = TimingOfRow(x.search, row);
        std::fprintf(out, "  %8ld %14.6f %10.6f %-10s %+11.6f %s\n", row.cycle, row.time, row.error,
                     timing ? ErrorSourceName(timing->errorSource) : "-", row.oc, TimingMethodName(row.method));
    }
}

void WriteLinearFit(const LinearOCFit &fit, std::FILE *out)
{
    std::fprintf(out, "\nLinear ephemeris fitted to the O-C:\n");
    Line(out, "  Epoch:", Text("%.6f", fit.epoch) + " +- " + Text("%.6f", fit.epochError));
    Line(out, "  Period:", Text("%.9f", fit.period) + " +- " + Text("%.9f", fit.periodError) + " d");
    Line(out, "  Chi-square:", Text("%.4g", fit.chiSquare) + " for " + FreedomText(fit.degreesOfFreedom) +
                                   (fit.errorsScaled ? " (errors scaled by the root of the reduced chi-square)" : ""));
}

void WriteQuadraticFit(const QuadraticOCFit &fit, std::FILE *out)
{
    std::fprintf(out, "\nQuadratic ephemeris fitted to the O-C:\n");
    if (fit.status != ExtremaOk) {
        Line(out, "  None:", ExtremaStatusText(fit.status));
        return;
    }
    Line(out, "  dP/dt:", Text("%.3e", fit.periodChange) + " +- " + Text("%.3e", fit.periodChangeError) + " d/d (" +
                              Text("%.4g", fit.periodChangeSecondsPerYear) + " +- " +
                              Text("%.2g", fit.periodChangeSecondsPerYearError) + " s/yr)");
    Line(out, "  Chi-square:", Text("%.4g", fit.chiSquare) + " for " + FreedomText(fit.degreesOfFreedom) +
                                   (fit.errorsScaled ? " (errors scaled by the root of the reduced chi-square)" : ""));
    const std::string level = Text("%g", 100 * fit.level) + " % level";
    if (!fit.hasFTest)
        Line(out, "  F test:", "none (fewer than four extrema)");
    else
        Line(out, "  F test:", "F = " + Text("%.4g", fit.fValue) + ", p = " + ProbabilityText(fit.probability) + ": " +
                                   (fit.significant ? "the period change is significant at the " + level
                                                    : "no significant period change at the " + level));
}

void WriteExtremaLines(const ExtremaReport &x, std::FILE *out)
{
    std::fprintf(out, "\nTimes of %s brightness:\n", KindWord(x.kind));
    Line(out, "  Period:", Text("%.10g", x.period) + " d (" + x.periodSource + ")");
    Line(out, "  Window:", Text("%g", x.windowShare) + " of the period (" + Text("%.6g", x.windowShare * x.period) +
                               " d)");
    if (x.oc.ephemeris.period > 0)
        Line(out, "  Ephemeris:", Text("%.6f", x.oc.ephemeris.epoch) + " + E * " +
                                      Text("%.10g", x.oc.ephemeris.period) +
                                      (x.ephemerisGiven ? " (given)" : " (the period and the first extremum)"));
    if (x.search.status == ExtremaOk)
        Line(out, "  Skipped:", SkippedText(x.search));
    if (!x.error.empty())
        Line(out, "  Not timed:", x.error);
    if (x.oc.rows.empty())
        return;
    WriteOCRows(x, out);
    if (x.oc.status != ExtremaOk)
        return;
    WriteLinearFit(x.oc.linear, out);
    WriteQuadraticFit(x.oc.quadratic, out);
}

Json ExtremaJson(const ExtremaReport &x)
{
    Json j;
    j["kind"] = KindWord(x.kind);
    j["period"] = Number(x.period);
    j["period_source"] = x.periodSource;
    j["window_share"] = Number(x.windowShare);
    j["window"] = Number(x.windowShare * x.period);
    if (!x.error.empty())
        j["error"] = x.error;
    if (x.oc.ephemeris.period > 0)
        j["ephemeris"] = {{"epoch", Number(x.oc.ephemeris.epoch)},
                          {"period", Number(x.oc.ephemeris.period)},
                          {"source", x.ephemerisGiven ? "given" : "first extremum"}};
    j["extrema"] = Json::array();
    for (const OCRow &row : x.oc.rows) {
        const ExtremumTiming *timing = TimingOfRow(x.search, row);
        Json e = {{"cycle", row.cycle},
                  {"time", Number(row.time)},
                  {"error", Number(row.error)},
                  {"error_source", timing ? ErrorSourceName(timing->errorSource) : "-"},
                  {"formula_error", Number(timing ? timing->formulaError : NAN)},
                  {"scatter_error", Number(timing ? timing->scatterError : NAN)},
                  {"oc", Number(row.oc)},
                  {"method", TimingMethodName(row.method)},
                  {"points", timing ? timing->points : 0}};
        if (x.oc.status == ExtremaOk)
            e["linear_residual"] = Number(row.linearResidual);
        if (x.oc.quadratic.status == ExtremaOk)
            e["quadratic_residual"] = Number(row.quadraticResidual);
        j["extrema"].push_back(e);
    }
    Json reasons = Json::object();
    for (const auto &count : SkippedByReason(x.search))
        reasons[ExtremaStatusText(count.first)] = count.second;
    j["skipped"] = {{"count", x.search.skipped.size()}, {"reasons", reasons}, {"empty_windows", x.search.emptyWindows}};
    if (x.oc.status == ExtremaOk) {
        const LinearOCFit &l = x.oc.linear;
        j["linear"] = {{"epoch", Number(l.epoch)},
                       {"epoch_error", Number(l.epochError)},
                       {"period", Number(l.period)},
                       {"period_error", Number(l.periodError)},
                       {"chi_square", Number(l.chiSquare)},
                       {"degrees_of_freedom", l.degreesOfFreedom},
                       {"errors_scaled", l.errorsScaled}};
        const QuadraticOCFit &q = x.oc.quadratic;
        if (q.status != ExtremaOk)
            j["quadratic"] = nullptr;
        else
            j["quadratic"] = {{"a", Number(q.a)},
                              {"b", Number(q.b)},
                              {"c", Number(q.c)},
                              {"c_error", Number(q.cError)},
                              {"period_change", Number(q.periodChange)},
                              {"period_change_error", Number(q.periodChangeError)},
                              {"period_change_seconds_per_year", Number(q.periodChangeSecondsPerYear)},
                              {"period_change_seconds_per_year_error", Number(q.periodChangeSecondsPerYearError)},
                              {"chi_square", Number(q.chiSquare)},
                              {"degrees_of_freedom", q.degreesOfFreedom},
                              {"errors_scaled", q.errorsScaled},
                              {"f_value", q.hasFTest ? Number(q.fValue) : Json(nullptr)},
                              {"probability", q.hasFTest ? Number(q.probability) : Json(nullptr)},
                              {"level", Number(q.level)},
                              {"significant", q.significant}};
    }
    return j;
}

// The report as one JSON object, its keys in the order written.
Json ReportJson(const PeriodReport &r)
{
    Json j;
    j["file"] = r.file;
    if (!r.star.empty())
        j["star"] = r.star;
    j["band"] = r.band.empty() ? Json(nullptr) : Json(r.band);
    j["time_scale"] = r.timeScale;
    j["observations"] = r.observations;
    j["first"] = Number(r.first);
    j["last"] = Number(r.last);
    j["span"] = Number(r.span);
    j["mean_magnitude"] = Number(r.meanMagnitude);
    j["skipped"] = {{"limits", r.skippedLimits}, {"other_bands", r.skippedOtherBands}, {"empty", r.skippedEmpty}};
    if (ShowsReaderFields(r)) {
        j["skipped"]["flagged"] = r.skippedFlagged;
        j["skipped"]["non_positive_flux"] = r.skippedNonPositiveFlux;
        if (!r.readerForm.empty())
            j["input_form"] = r.readerForm;
        if (!r.fluxColumn.empty()) {
            j["flux_column"] = r.fluxColumn;
            j["relative_flux"] = r.relativeFlux;
        }
        if (!r.readerForm.empty() || r.filesJoined > 1)
            j["files_joined"] = r.filesJoined;
    }
    j["grid"] = {{"min_period", Number(r.grid.minimumPeriod)},
                 {"max_period", Number(r.grid.maximumPeriod)},
                 {"intervals", r.grid.intervals},
                 {"step", Number(r.grid.step)}};
    if (r.grid.evenInFrequency) {
        j["grid"]["kind"] = "frequency";
        j["grid"]["oversample"] = Number(r.grid.oversample);
        j["grid"]["frequency_step"] = Number(r.grid.frequencyStep);
        j["transform"] = r.grid.transform;
    }
    if (!r.method.empty()) {
        j["method"] = r.method;
        j["statistic"] = r.statistic;
        j["low_is_best"] = r.lowIsBest;
        j["false_alarm"] = r.falseAlarmKind;
        if (r.alternateCycles.tested)
            j["alternate_cycles"] = {{"period", Number(r.alternateCycles.period)},
                                     {"probability", Number(r.alternateCycles.probability)},
                                     {"cycles", r.alternateCycles.cycles},
                                     {"splits", r.alternateCycles.splits},
                                     {"doubled", r.alternateCycles.doubled},
                                     {"beyond_range", r.alternateCycles.beyondRange}};
    }
    j["significance_level"] = Number(r.significanceLevel);
    j["peaks"] = Json::array();
    for (const PeakReport &p : r.peaks) {
        Json peak = {{"period", Number(p.period)},
                     {"period_error", Number(p.periodError)},
                     {"power", Number(p.power)},
                     {"false_alarm_probability", Number(p.falseAlarmProbability)},
                     {"amplitude", Number(p.amplitude)},
                     {"epoch_of_maximum", Number(p.epochOfMaximum)}};
        if (p.hasBox)
            peak["box"] = {{"depth", Number(p.boxDepth)},
                           {"duration", Number(p.boxDuration)},
                           {"mid_time", Number(p.boxMidTime)}};
        j["peaks"].push_back(peak);
    }
    if (r.statisticsReported)
        for (std::size_t i = 0; i < r.peaks.size(); ++i) {
            Json &peak = j["peaks"][i];
            const PeakReport &p = r.peaks[i];
            peak["signal_to_noise"] = Number(p.signalToNoise);
            if (r.weighted)
                peak["reduced_chi_square"] = Number(p.reducedChiSquare);
            if (std::isfinite(p.monteCarloPeriodError))
                peak["period_error_monte_carlo"] = Number(p.monteCarloPeriodError);
        }
    if (!r.prewhitening.empty()) {
        j["prewhitening"] = Json::array();
        for (const PrewhiteningStep &s : r.prewhitening)
            j["prewhitening"].push_back({{"period", Number(s.period)},
                                         {"period_error", Number(s.periodError)},
                                         {"amplitude", Number(s.amplitude)},
                                         {"amplitude_error", Number(s.amplitudeError)},
                                         {"power", Number(s.power)},
                                         {"false_alarm_probability", Number(s.falseAlarmProbability)},
                                         {"residual_rms", Number(s.residualRms)}});
        if (r.statisticsReported)
            for (std::size_t i = 0; i < r.prewhitening.size(); ++i)
                j["prewhitening"][i]["signal_to_noise"] = Number(r.prewhitening[i].signalToNoise);
    }
    if (!r.prewhiteningStopped.empty())
        j["prewhitening_stopped"] = r.prewhiteningStopped;
    if (r.statisticsReported) {
        j["false_alarm_method"] = r.falseAlarmMethod;
        if (r.falseAlarmMethod == "bootstrap")
            j["bootstrap_resamples"] = r.bootstrapResamples;
        j["weighted"] = r.weighted;
        j["residuals_correlated"] = r.residualsCorrelated;
        if (r.residualsCorrelated)
            j["residual_error_factor"] = Number(r.residualErrorFactor);
    }
    if (!r.bands.empty()) {
        j["bands"] = Json::array();
        for (const BandReport &b : r.bands)
            j["bands"].push_back({{"band", b.band},
                                  {"observations", b.observations},
                                  {"mean_magnitude", Number(b.meanMagnitude)},
                                  {"amplitude", Number(b.amplitude)},
                                  {"epoch_of_maximum", Number(b.epochOfMaximum)}});
    }
    if (r.hasFold)
        j["fold"] = {{"period", Number(r.fold.period)},
                     {"epoch", Number(r.fold.epoch)},
                     {"amplitude", Number(r.fold.amplitude)},
                     {"residual_rms", Number(r.fold.residualRms)}};
    if (r.hasFold && r.fold.hasShape)
        j["fold"]["shape"] = ShapeJson(r.fold);
    if (r.hasExtrema)
        j["extrema"] = ExtremaJson(r.extrema);
    if (!r.notes.empty())
        j["notes"] = r.notes;
    return j;
}

} // namespace

void WriteTextReport(const PeriodReport &r, std::FILE *out)
{
    WriteDataLines(r, out);
    WritePeakTable(r, out);
    if (!r.bands.empty())
        WriteBandTable(r, out);
    if (HasBoxes(r))
        WriteBoxTable(r, out);
    if (!r.prewhitening.empty())
        WritePrewhiteningTable(r, out);
    if (r.hasFold)
        WriteFoldLines(r, out);
    if (r.hasExtrema)
        WriteExtremaLines(r.extrema, out);
    std::fflush(out);
}

std::string JsonReportText(const PeriodReport &report)
{
    return ReportJson(report).dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}

std::string JsonReportLine(const PeriodReport &report)
{
    return ReportJson(report).dump(-1, ' ', false, Json::error_handler_t::replace) + "\n";
}

void WriteJsonReport(const PeriodReport &report, std::FILE *out)
{
    const std::string text = JsonReportText(report);
    std::fwrite(text.data(), 1, text.size(), out);
    std::fflush(out);
}

std::string JsonErrorLine(const std::string &file, const std::string &star, const std::string &error)
{
    Json j;
    j["file"] = file;
    j["star"] = star.empty() ? Json(nullptr) : Json(star);
    j["error"] = error;
    return j.dump(-1, ' ', false, Json::error_handler_t::replace) + "\n";
}
