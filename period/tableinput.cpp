// Tables exported by the observer databases as input: the estimates of one
// band, full Julian dates reduced, limits and other bands skipped and
// counted.  The whole table is read before the Julian-date file is written,
// so that a refused table leaves the files of an earlier run as they were.
#include <cerrno>
#include <cmath>

#include "kalidor.h"
#include "numformat.h"
#include "options.h"
#include "outputfile.h"
#include "output.h"
#include "fileio.h"
#include "runerror.h"
#include "table.h"

namespace {

void OpenTableOrStop(TableFile &table, const std::string &name)
{
    if (!OpenTableFile(table, name.c_str()))
        RunErrorFromErrno(errno);
}

// The next line; a read failure stops with its run-time error, a line too
// long for any row is refused with its number.
bool NextLineOrStop(TableFile &table, std::string &line)
{
    if (ReadTableLine(table, line)) {
        if (table.overlong)
            RejectRecord(table.line);
        return true;
    }
    if (std::ferror(table.file))
        RunErrorFromErrno(errno);
    return false;
}

TableLayout LayoutOrRefuse(TableFile &table, std::string &firstLine)
{
    NextLineOrStop(table, firstLine);
    TableLayout layout;
    std::string missing;
    if (!FindTableLayout(firstLine, layout, missing)) {
        if (missing == "time")
            Refuse("Tabulka nema sloupec casu (JD, HJD nebo BJD).", "the table has no time column (JD, HJD or BJD)");
        Refuse("Tabulka nema sloupec hvezdne velikosti (Magnitude nebo Mag).",
               "the table has no magnitude column (Magnitude or Mag)");
    }
    return layout;
}

// The band with the most estimates; a first pass that also stops at a row
// that cannot be read.
// Hands every data row of the table to visit(row); a row that cannot be
// read is refused with its line number.
template <typename Visit> void ForEachRow(TableFile &table, const TableLayout &layout, Visit visit)
{
    std::vector<std::string> fields;
    std::string line;
    if (layout.header)
        NextLineOrStop(table, line);
    while (NextLineOrStop(table, line)) {
        const TableRow row = ReadTableRow(line, layout, fields);
        if (row.kind == TableUnreadable)
            RejectRecord(table.line);
        visit(row);
    }
}

std::string BandWithMostEstimates(TableFile &table, const TableLayout &layout)
{
    BandTally counts;
    ForEachRow(table, layout, [&](const TableRow &row) {
        if (row.kind == TableEstimate)
            CountBand(counts, row.band);
    });
    if (!RewindTableFile(table))
        RunErrorFromErrno(errno);
    return MostEstimatedBand(counts);
}

// Takes the estimates of the chosen band into the observation list.
void TakeEstimates(TableFile &table, const TableLayout &layout, const std::string &band)
{
    ForEachRow(table, layout, [&](const TableRow &row) {
        if (row.kind == TableIncomplete) {
            ++Input.skippedEmpty;
        } else if (!SameBand(row.band, band)) {
            ++Input.skippedOtherBands;
        } else if (row.kind == TableLimit) {
            ++Input.skippedLimits;
        } else {
            if (ObservationCount == MaxObservations)
                RefuseTooManyRecords();
            const int n = ++ObservationCount;
            JulianDates[n] = ConvertedTime(ReducedTableTime(layout, row.time));
            Magnitudes[n] = row.magnitude;
            MagnitudeSum += row.magnitude;
            TableUncertainties.push_back(row.uncertainty);
        }
    });
}

// "Tabulka: pouzito 4254 odhadu v pasmu V, vynechano 14 mezi (<, >), ..."
std::string TableSummary()
{
    std::string line = "Tabulka: pouzito " + IntegerText(ObservationCount, 0) + " odhadu";
    if (!Input.band.empty())
        line += " v pasmu " + Input.band;
    line += ", vynechano " + IntegerText(Input.skippedLimits, 0) + " mezi (<, >)";
    if (Input.skippedOtherBands > 0)
        line += ", " + IntegerText(Input.skippedOtherBands, 0) + " odhadu jinych pasem";
    return line + " a " + IntegerText(Input.skippedEmpty, 0) + " neuplnych radku.";
}

// No uncertainty known for any estimate: none kept.
void DropUnknownTableUncertainties()
{
    for (double u : TableUncertainties)
        if (!std::isnan(u))
            return;
    TableUncertainties.clear();
}

} // namespace

bool IsTableFile(const std::string &inputName) { return IsTableFirstLine(FirstLineOf(inputName.c_str())); }

void ReadTableFile(const std::string &inputName, const std::string &julianDateName)
{
    Tell("Pocitam julianska data ...");
    TableFile table;
    OpenTableOrStop(table, inputName);
    std::string firstLine;
    const TableLayout layout = LayoutOrRefuse(table, firstLine);
    Input.timeScale = TimeScaleOfColumn(layout.timeName);
    RefuseSecondConversion(Input.timeScale);
    if (layout.bandColumn < 0 && !Options.band.empty())
        Refuse("Tabulka nema sloupec pasma (Band nebo Filter): volbu --band nelze pouzit.",
               "the table has no band column (Band or Filter); --band cannot be used");
    if (!RewindTableFile(table))
        RunErrorFromErrno(errno);

    Input.band = Options.band;
    if (layout.bandColumn >= 0 && Options.band.empty())
        Input.band = BandWithMostEstimates(table, layout);
    ObservationCount = 0;
    MagnitudeSum = 0;
    TableUncertainties.clear();
    TakeEstimates(table, layout, Input.band);
    CloseTableFile(table);
    DropUnknownTableUncertainties();
    if (ObservationCount == 0) {
        if (!Options.band.empty())
            Refuse("V tabulce neni zadny odhad v pasmu " + Options.band + ".",
                   "the table has no estimates in the band " + Options.band);
        RefuseEmptyFile();
    }
    Tell(TableSummary());
    WriteJulianDateLines(CreateJulianDateFile(julianDateName));
    Tell("Soubor " + Stem + ".jud vytvoren");
}
