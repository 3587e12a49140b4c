// Tables of estimates: the observer databases' exports, the sky surveys'
// downloads and spreadsheets.  Read as kalidor reads them, in two passes
// over the file: the first counts each star's estimates by band (only when
// the band is to be chosen), the second takes the estimates of each star's
// band, row by row in file order, so that the first fault met is the one
// kalidor meets.  Nothing but the light curves and the counts is kept, and
// a table without a star column is read as one star.
#include <cerrno>
#include <cmath>
#include <unordered_map>

#include "readerparts.h"
#include "table.h"

namespace {

// What reading has found out about one star.
struct StarState {
    LightCurve curve;
    BandTally bands;          // the first pass: estimates by band
    std::string bandKey;      // the band taken (BandKey of curve.band)
    std::string refusal;      // set when the star is refused
    long refusalLine = 0;
};

struct TableReading {
    std::string path;
    TableLayout layout;
    bool stars = false;       // the table has a star column
    std::vector<StarState> starStates; // in the order first met
    std::unordered_map<std::string, std::size_t> starIndex;
    ReadError error;          // a fault of the whole file
};

bool FindLayout(const std::string &firstLine, const ReadChoices &choices, TableReading &table)
{
    std::string missing;
    const bool found = choices.surveyColumns
                           ? FindSurveyTableLayout(firstLine, choices.starColumn, table.layout, missing)
                           : FindTableLayout(firstLine, table.layout, missing);
    if (found)
        return true;
    if (missing == "time")
        table.error = Refusal("the table has no time column (JD, HJD or BJD)", table.path, 1);
    else if (missing == "magnitude")
        table.error = Refusal("the table has no magnitude column (Magnitude or Mag)", table.path, 1);
    else
        table.error = Refusal("the table has no column " + choices.starColumn, table.path, 1);
    return false;
}

// The state of the star a row names, made when it is new.
StarState &StarOfRow(TableReading &table, const TableRow &row)
{
    const std::string &name = table.stars ? row.star : std::string();
    const auto found = table.starIndex.find(name);
    if (found != table.starIndex.end())
        return table.starStates[found->second];
    table.starIndex.emplace(name, table.starStates.size());
    table.starStates.emplace_back();
    StarState &star = table.starStates.back();
    star.curve.name = name;
    star.curve.file = table.path;
    star.curve.timeScale = TimeScaleOfColumn(table.layout.timeName);
    return star;
}

// Refuses a star; in a table without a star column that is the file's
// refusal, and reading stops.
bool RefuseStar(TableReading &table, StarState &star, const std::string &refusal, long line)
{
    star.refusal = refusal;
    star.refusalLine = line;
    if (table.stars)
        return true;
    table.error = Refusal(refusal, table.path, line);
    return false;
}

// Hands every data row of the file to visit(row, line) until it returns
// false.  A line too long for a row is refused with its number (it cannot
// be given to a star) and ends the reading; so does a failed read.
template <typename Visit> void ForEachRow(TableFile &file, TableReading &table, Visit visit)
{
    std::vector<std::string> fields;
    std::string line;
    errno = 0;
    if (table.layout.header && !ReadTableLine(file, line) && std::ferror(file.file)) {
        table.error = FileSystemError("read", table.path, errno != 0 ? errno : EIO);
        return;
    }
    for (;;) {
        errno = 0;
        if (!ReadTableLine(file, line)) {
            if (std::ferror(file.file))
                table.error = FileSystemError("read", table.path, errno != 0 ? errno : EIO);
            return;
        }
        if (file.overlong) {
            table.error = Refusal(BadRecordText(file.line), table.path, file.line);
            return;
        }
        if (!visit(ReadTableRow(line, table.layout, fields), file.line))
            return;
    }
}

// The first pass: each star's estimates counted by band; an unreadable
// row refuses its star, as the counting meets it first.
void CountBands(TableFile &file, TableReading &table)
{
    ForEachRow(file, table, [&](const TableRow &row, long line) {
        StarState &star = StarOfRow(table, row);
        if (!star.refusal.empty())
            return true;
        if (row.kind == TableUnreadable)
            return RefuseStar(table, star, BadRecordText(line), line);
        if (row.kind == TableEstimate && !row.flagged)
            CountBand(star.bands, row.band);
        return true;
    });
}

// With several bands chosen: the index of the row's band among the curve's
// bands (added when new), or -1 when the band is not asked for.
int BandIndexOfRow(const ReadChoices &choices, LightCurve &curve, const std::string &band)
{
    const std::string key = BandKey(band);
    for (std::size_t b = 0; b < curve.bands.size(); ++b)
        if (BandKey(curve.bands[b]) == key)
            return static_cast<int>(b);
    bool asked = choices.allBands;
    for (const std::string &name : choices.bandList)
        asked = asked || BandKey(name) == key;
    if (!asked)
        return -1;
    curve.bands.push_back(band);
    return static_cast<int>(curve.bands.size() - 1);
}

// The bands of a curve read several at once, ", " between.
std::string BandsText(const std::vector<std::string> &bands)
{
    std::string text;
    for (const std::string &band : bands)
        text += (text.empty() ? "" : ", ") + band;
    return text;
}

// The second pass: each star's estimates of its band taken, the other rows
// counted.
void TakeEstimates(TableFile &file, const ReadChoices &choices, TableReading &table)
{
    const TimeConverter converter = MakeTimeConverter(choices);
    const bool chooseBands = choices.band.empty() && table.layout.bandColumn >= 0;
    const bool several = SeveralBandsChosen(choices);
    ForEachRow(file, table, [&](const TableRow &row, long line) {
        // One estimate taken into the star's curve (band: its index with
        // several bands, else -1).
        auto TakeEstimate = [&](StarState &star, int band) {
            LightCurve &curve = star.curve;
            if (static_cast<long>(curve.time.size()) == choices.maximumEstimates)
                return RefuseStar(table, star, TooManyEstimatesText(choices.maximumEstimates), line);
            double time = 0;
            std::string refusal;
            if (!ConvertTime(converter, ReducedTableTime(table.layout, row.time), time, refusal))
                return RefuseStar(table, star, refusal, line);
            curve.time.push_back(time);
            curve.magnitude.push_back(row.magnitude);
            curve.uncertainty.push_back(row.uncertainty);
            if (band >= 0)
                curve.bandOf.push_back(band);
            return true;
        };
        StarState &star = StarOfRow(table, row);
        if (!star.refusal.empty())
            return true;
        LightCurve &curve = star.curve;
        if (several) {
            if (row.kind == TableUnreadable)
                return RefuseStar(table, star, BadRecordText(line), line);
            if (row.kind == TableIncomplete) {
                ++curve.skippedEmpty;
                return true;
            }
            const int band = BandIndexOfRow(choices, curve, row.band);
            if (band < 0)
                ++curve.skippedOtherBands;
            else if (row.flagged)
                ++curve.skippedFlagged;
            else if (row.kind == TableLimit)
                ++curve.skippedLimits;
            else
                return TakeEstimate(star, band);
            return true;
        }
        if (star.bandKey.empty()) { // a star met first in this pass
            curve.band = chooseBands ? MostEstimatedBand(star.bands) : choices.band;
            star.bandKey = BandKey(curve.band);
        }
        if (row.kind == TableUnreadable)
            return RefuseStar(table, star, BadRecordText(line), line);
        if (row.kind == TableIncomplete) {
            ++curve.skippedEmpty;
        } else if (BandKey(row.band) != star.bandKey) {
            ++curve.skippedOtherBands;
        } else if (row.flagged) {
            ++curve.skippedFlagged;
        } else if (row.kind == TableLimit) {
            ++curve.skippedLimits;
        } else {
            return TakeEstimate(star, -1);
        }
        return true;
    });
}

// Reads the first line into the layout and refuses what the layout and the
// choices cannot go together with.
bool ReadLayout(TableFile &file, const ReadChoices &choices, TableReading &table)
{
    std::string line;
    errno = 0;
    if (!ReadTableLine(file, line) && std::ferror(file.file)) {
        table.error = FileSystemError("read", table.path, errno != 0 ? errno : EIO);
        return false;
    }
    if (file.overlong) {
        table.error = Refusal(BadRecordText(1), table.path, 1);
        return false;
    }
    if (!FindLayout(line, choices, table))
        return false;
    table.stars = table.layout.starColumn >= 0;
    const std::string second = SecondConversionRefusal(choices, TimeScaleOfColumn(table.layout.timeName));
    if (!second.empty()) {
        table.error = Refusal(second, table.path);
        return false;
    }
    if (table.layout.bandColumn < 0 && !choices.band.empty()) {
        table.error = Refusal("the table has no band column (Band or Filter); --band cannot be used", table.path);
        return false;
    }
    if (table.layout.bandColumn < 0 && SeveralBandsChosen(choices)) {
        table.error = Refusal("the table has no band column (Band or Filter); --bands cannot be used", table.path);
        return false;
    }
    return true;
}

bool Rewind(TableFile &file, TableReading &table)
{
    if (RewindTableFile(file))
        return true;
    table.error = FileSystemError("read", table.path, errno);
    return false;
}

// The curves of the stars read, each with its refusal or completed.
void FinishStars(const ReadChoices &choices, TableReading &table, LightCurveReading &reading)
{
    if (table.starStates.empty()) {
        // No rows: a table of stars names none; without a star column the
        // one star has no estimates.
        if (table.stars) {
            table.error = Refusal(EmptyFileText, table.path);
            return;
        }
        const TableRow none{TableIncomplete, 0, 0, std::string(), 0, std::string(), false};
        StarOfRow(table, none);
    }
    for (StarState &star : table.starStates) {
        LightCurve &curve = star.curve;
        if (star.refusal.empty() && curve.time.empty()) {
            const std::string empty = !choices.bandList.empty()
                                          ? "the table has no estimates in the bands " + BandsText(choices.bandList)
                                      : choices.band.empty() ? std::string(EmptyFileText)
                                                             : "the table has no estimates in the band " + choices.band;
            if (!RefuseStar(table, star, empty, 0))
                return;
        }
        if (!star.refusal.empty()) {
            curve.time.clear();
            curve.magnitude.clear();
            curve.uncertainty.clear();
            curve.bandOf.clear();
        } else {
            DropUnknownUncertainties(curve);
            if (choices.timeConversion != ConvertNoTimes)
                curve.timeScale = ConvertedScaleName(choices.timeConversion);
        }
        if (curve.band.empty() && star.bandKey.empty())
            curve.band = choices.band;
        if (SeveralBandsChosen(choices))
            curve.band = BandsText(curve.bands);
        reading.curves.push_back(std::move(curve));
        reading.refusals.push_back(star.refusal);
    }
}

} // namespace

void ReadTableLightCurves(const std::string &path, const ReadChoices &choices, LightCurveReading &reading)
{
    TableReading table;
    table.path = path;
    TableFile file;
    if (!OpenTableFile(file, path.c_str())) {
        reading.error = FileSystemError("open", path, errno);
        return;
    }
    bool ok = ReadLayout(file, choices, table) && Rewind(file, table);
    if (ok && choices.band.empty() && table.layout.bandColumn >= 0 && !SeveralBandsChosen(choices)) {
        CountBands(file, table);
        ok = table.error.message.empty() && Rewind(file, table);
    }
    if (ok) {
        TakeEstimates(file, choices, table);
        ok = table.error.message.empty();
    }
    CloseTableFile(file);
    if (ok)
        FinishStars(choices, table, reading);
    if (!table.error.message.empty())
        reading.error = table.error;
}
