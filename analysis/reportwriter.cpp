// The two forms of the period report.
#include "reportwriter.h"

#include <cmath>
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
    Line(out, "Periods:", Text("%.10g", r.grid.minimumPeriod) + " to " + Text("%.10g", r.grid.maximumPeriod) + " d");
    Line(out, "Intervals:", std::to_string(r.grid.intervals) + (r.grid.intervalsChosen ? " (chosen from the data)" : ""));
    Line(out, "Step:", Text("%.6g", r.grid.step) + " d");
    if (!r.method.empty()) {
        Line(out, "Method:", r.method);
        Line(out, "Statistic:", r.statistic + (r.lowIsBest ? " (the least is the best period)" : ""));
        Line(out, "False alarm:", r.falseAlarmKind);
        Line(out, "5 % false alarm:", Text("%.6g", r.significanceLevel));
    } else {
        Line(out, "95 % level:", Text("%.6f", r.significanceLevel));
    }
    Line(out, "Spectrum:", r.spectrumFile);
    if (!r.windowFile.empty())
        Line(out, "Spectral window:", r.windowFile);
}

void WritePeakTable(const PeriodReport &r, std::FILE *out)
{
    std::fprintf(out, "\nPeaks, strongest first:\n");
    const std::string statistic = r.method.empty() ? "power" : r.statistic;
    std::fprintf(out, "  #  %-16s %-11s %-9s %-12s %-10s %s\n", "period [d]", "error [d]", statistic.c_str(),
                 "false alarm",
                 "amplitude", "epoch of maximum");
    int number = 0;
    for (const PeakReport &p : r.peaks)
        std::fprintf(out, "%3d  %-16s %-11s %-9s %-12s %-10s %s\n", ++number, Text("%.10f", p.period).c_str(),
                     Text("%.2e", p.periodError).c_str(), Text("%.6f", p.power).c_str(),
                     ProbabilityText(p.falseAlarmProbability).c_str(), Text("%.4f", p.amplitude).c_str(),
                     Text("%.5f", p.epochOfMaximum).c_str());
    if (r.peaks.empty())
        std::fprintf(out, "  (no peak with a positive power)\n");
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
    j["grid"] = {{"min_period", Number(r.grid.minimumPeriod)},
                 {"max_period", Number(r.grid.maximumPeriod)},
                 {"intervals", r.grid.intervals},
                 {"step", Number(r.grid.step)}};
    if (!r.method.empty()) {
        j["method"] = r.method;
        j["statistic"] = r.statistic;
        j["low_is_best"] = r.lowIsBest;
        j["false_alarm"] = r.falseAlarmKind;
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
    }
    if (r.hasFold)
        j["fold"] = {{"period", Number(r.fold.period)},
                     {"epoch", Number(r.fold.epoch)},
                     {"amplitude", Number(r.fold.amplitude)},
                     {"residual_rms", Number(r.fold.residualRms)}};
    if (r.hasFold && r.fold.hasShape)
        j["fold"]["shape"] = ShapeJson(r.fold);
    if (!r.notes.empty())
        j["notes"] = r.notes;
    return j;
}

} // namespace

void WriteTextReport(const PeriodReport &r, std::FILE *out)
{
    WriteDataLines(r, out);
    WritePeakTable(r, out);
    if (HasBoxes(r))
        WriteBoxTable(r, out);
    if (!r.prewhitening.empty())
        WritePrewhiteningTable(r, out);
    if (r.hasFold)
        WriteFoldLines(r, out);
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
