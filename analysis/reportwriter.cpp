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
    Line(out, "Intervals:", std::to_string(r.grid.intervals) + (r.grid.intervalsChosen ? " (chosen from the data)" : ""));
    Line(out, "Step:", Text("%.6g", r.grid.step) + " d");
    Line(out, "95 % level:", Text("%.6f", r.significanceLevel));
    Line(out, "Spectrum:", r.spectrumFile);
    if (!r.windowFile.empty())
        Line(out, "Spectral window:", r.windowFile);
}

void WritePeakTable(const PeriodReport &r, std::FILE *out)
{
    std::fprintf(out, "\nPeaks, strongest first:\n");
    std::fprintf(out, "  #  %-16s %-11s %-9s %-12s %-10s %s\n", "period [d]", "error [d]", "power", "false alarm",
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
    j["significance_level"] = Number(r.significanceLevel);
    j["peaks"] = Json::array();
    for (const PeakReport &p : r.peaks)
        j["peaks"].push_back({{"period", Number(p.period)},
                              {"period_error", Number(p.periodError)},
                              {"power", Number(p.power)},
                              {"false_alarm_probability", Number(p.falseAlarmProbability)},
                              {"amplitude", Number(p.amplitude)},
                              {"epoch_of_maximum", Number(p.epochOfMaximum)}});
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
