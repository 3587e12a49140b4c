// The input forms that only the light-curve readers take: the space
// telescopes' FITS light curves (one file, or several sectors of one star
// joined), the sky surveys' tables and spreadsheet exports, and any table
// read with several bands at once.  The curve read fills the observation
// list as the dialogue's own readers do, and what the list cannot hold
// (uncertainties, each estimate's band, the readers' counts) is kept
// beside it for the batch run's light curve.
#include <cmath>

#include "kalidor.h"
#include "lightcurves.h"
#include "numformat.h"
#include "options.h"
#include "runerror.h"
#include "survey.h"
#include "table.h"

std::vector<std::string> JoinedInputs;
LightCurve ReaderCurve;
std::string ReaderForm;
std::vector<double> TableUncertainties;

namespace {

bool SeveralBandsAsked() { return Options.allBands || !Options.bandList.empty(); }

std::string BandsOfCurve(const LightCurve &curve)
{
    return curve.bands.size() > 1 ? " v pasmech " + curve.band : !curve.band.empty() ? " v pasmu " + curve.band : "";
}

// "Svetelna krivka FITS: pouzito 1200 odhadu (PDCSAP_FLUX), vynechano ..."
std::string FitsSummary(const LightCurve &c)
{
    return "Svetelna krivka FITS: pouzito " + IntegerText(static_cast<long>(c.time.size()), 0) + " odhadu (" +
           c.fluxColumn + (c.relativeFlux ? ", relativni tok" : "") + "), vynechano " +
           IntegerText(c.skippedFlagged, 0) + " radku s priznakem kvality, " + IntegerText(c.skippedEmpty, 0) +
           " radku bez casu nebo toku a " + IntegerText(c.skippedNonPositiveFlux, 0) + " radku s nekladnym tokem.";
}

// The table line of the dialogue, with the flagged rows beside the others.
std::string SurveyTableSummary(const LightCurve &c)
{
    std::string line = "Tabulka: pouzito " + IntegerText(static_cast<long>(c.time.size()), 0) + " odhadu" +
                       BandsOfCurve(c) + ", vynechano " + IntegerText(c.skippedLimits, 0) + " mezi (<, >)";
    if (c.skippedOtherBands > 0)
        line += ", " + IntegerText(c.skippedOtherBands, 0) + " odhadu jinych pasem";
    if (c.skippedFlagged > 0)
        line += ", " + IntegerText(c.skippedFlagged, 0) + " radku s priznakem kvality";
    return line + " a " + IntegerText(c.skippedEmpty, 0) + " neuplnych radku.";
}

[[noreturn]] void RefuseReading(const ReadError &error)
{
    if (error.runError != 0)
        RunError(error.runError);
    Refuse("Soubor nelze nacist: " + error.message + ".", error.message);
}

void TakeIntoObservationList(const LightCurve &curve)
{
    if (curve.time.size() > static_cast<std::size_t>(MaxObservations))
        RefuseTooManyRecords();
    ObservationCount = 0;
    MagnitudeSum = 0;
    for (std::size_t i = 0; i < curve.time.size(); ++i) {
        const int n = ++ObservationCount;
        JulianDates[n] = curve.time[i];
        Magnitudes[n] = curve.magnitude[i];
        MagnitudeSum += curve.magnitude[i];
        // The Julian-date file writes three decimals of what fits its lines.
        if (!FitsFormatFixed(Magnitudes[n]) || !FitsFormatFixed(JulianDates[n]))
            RejectRecord(n);
    }
    Input.band = curve.band;
    Input.timeScale = curve.timeScale;
    Input.skippedLimits = curve.skippedLimits;
    Input.skippedOtherBands = curve.skippedOtherBands;
    Input.skippedEmpty = curve.skippedEmpty;
}

// A table whose header only the survey names explain: the dialogue's own
// reader refuses it for want of a time or magnitude column.
bool OnlySurveyNamesExplain(const std::string &inputName)
{
    const std::string first = FirstLineOf(inputName.c_str());
    TableLayout layout;
    std::string missing;
    return !FindTableLayout(first, layout, missing) && FindSurveyTableLayout(first, "", layout, missing);
}

} // namespace

bool TakesReaderPath(const std::string &inputName)
{
    if (JoinedInputs.size() > 1)
        return true;
    if (FileExtension(inputName) == ".jud")
        return false;
    const InputForm form = InputFormOf(inputName, true);
    if (form == FitsForm)
        return true;
    if (form != TableForm)
        return false;
    return SeveralBandsAsked() || !IsTableFile(inputName) || OnlySurveyNamesExplain(inputName);
}

void ReadThroughReaders(const std::string &inputName)
{
    Tell("Pocitam julianska data ...");
    ReadChoices choices = SurveyReadChoices();
    choices.starColumn.clear();
    choices.maximumEstimates = MaxObservations;
    const bool joined = JoinedInputs.size() > 1;
    const LightCurveReading reading =
        joined ? ReadJoinedLightCurve(JoinedInputs, choices) : ReadLightCurves(inputName, choices);
    if (ReadFailed(reading))
        RefuseReading(reading.error);
    if (reading.curves.size() != 1)
        Refuse("Tabulka obsahuje vice hvezd: pouzijte hromadny beh (--periods) se sloupcem hvezdy.",
               "the table holds several stars; use a survey run (--report jsonl)");
    if (!reading.refusals[0].empty())
        Refuse("Soubor nelze nacist: " + reading.refusals[0] + ".", reading.refusals[0]);
    ReaderCurve = reading.curves[0];
    ReaderCurve.file = joined ? reading.curves[0].file : inputName;
    const bool fits = !ReaderCurve.fluxColumn.empty();
    ReaderForm = fits ? "fits" : "survey";
    TakeIntoObservationList(ReaderCurve);
    if (joined)
        Tell("Spojeno " + IntegerText(ReaderCurve.filesJoined, 0) + " souboru FITS jedne hvezdy, kazdy vydelen "
             "svym medianem toku.");
    Tell(fits ? FitsSummary(ReaderCurve) : SurveyTableSummary(ReaderCurve));
    WriteJulianDateLines(CreateJulianDateFile(JulianDateFileName));
    Tell("Soubor " + Stem + ".jud vytvoren");
}

void AddReadersValues(LightCurve &curve)
{
    if (ReaderForm.empty()) {
        curve.uncertainty = TableUncertainties;
        return;
    }
    curve.file = ReaderCurve.file;
    curve.name = ReaderCurve.name;
    curve.uncertainty = ReaderCurve.uncertainty;
    curve.bands = ReaderCurve.bands;
    curve.bandOf = ReaderCurve.bandOf;
    curve.skippedFlagged = ReaderCurve.skippedFlagged;
    curve.skippedNonPositiveFlux = ReaderCurve.skippedNonPositiveFlux;
    curve.filesJoined = ReaderCurve.filesJoined;
    curve.fluxColumn = ReaderCurve.fluxColumn;
    curve.relativeFlux = ReaderCurve.relativeFlux;
}
