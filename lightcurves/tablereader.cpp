// Tables of estimates: the observer databases' exports, the sky surveys'
// downloads and spreadsheets.  The whole table is read first; then each
// star (the whole table when it has no star column) gets its band, its
// estimates and its counts, row by row in file order, so that the first
// fault met is the one kalidor meets.
#include <cerrno>
#include <cmath>
#include <unordered_map>

#include "readerparts.h"
#include "table.h"

namespace {

// One data row as read: what the estimates of a star are taken from.
struct StoredRow {
    double time;
    double magnitude;
    double uncertainty;
    long line;
    int band;          // the index of the band's spelling; -1 for rows that have none that counts
    int star;
    TableRowKind kind;
    bool flagged;
};

// The rows of a table, with their bands and stars each kept once.
struct TableContent {
    TableLayout layout;
    std::string timeScale;
    std::vector<StoredRow> rows;
    std::vector<std::string> bandNames; // the spellings met, by index
    std::vector<int> bandClass;         // of each spelling: its band ("Vis." and "Visual" share one)
    std::unordered_map<std::string, int> bandIndex;
    std::unordered_map<std::string, int> classIndex; // BandKey to band
    std::vector<std::string> starNames; // in the order first met
    std::unordered_map<std::string, int> starIndex;
};

// The index of a band's spelling, taken into the table when it is new.
int BandOfSpelling(TableContent &table, const std::string &band)
{
    const auto found = table.bandIndex.find(band);
    if (found != table.bandIndex.end())
        return found->second;
    const int spelling = static_cast<int>(table.bandNames.size());
    table.bandIndex.emplace(band, spelling);
    table.bandNames.push_back(band);
    const auto bandClass = table.classIndex.emplace(BandKey(band), static_cast<int>(table.classIndex.size()));
    table.bandClass.push_back(bandClass.first->second);
    return spelling;
}

// The index of a star's name, taken into the table when it is new.
int StarOfName(TableContent &table, const std::string &name)
{
    const auto found = table.starIndex.find(name);
    if (found != table.starIndex.end())
        return found->second;
    const int star = static_cast<int>(table.starNames.size());
    table.starIndex.emplace(name, star);
    table.starNames.push_back(name);
    return star;
}

std::string TimeScaleOfColumn(const std::string &name)
{
    if (name == "HJD")
        return "HJD";
    if (name == "BJD" || name == "BJD_TDB")
        return "BJD_TDB";
    return "JD";
}

bool FindLayout(const std::string &firstLine, const ReadChoices &choices, const std::string &path,
                TableLayout &layout, ReadError &error)
{
    std::string missing;
    const bool found = choices.surveyColumns ? FindSurveyTableLayout(firstLine, choices.starColumn, layout, missing)
                                             : FindTableLayout(firstLine, layout, missing);
    if (found)
        return true;
    if (missing == "time")
        error = Refusal("the table has no time column (JD, HJD or BJD)", path, 1);
    else if (missing == "magnitude")
        error = Refusal("the table has no magnitude column (Magnitude or Mag)", path, 1);
    else
        error = Refusal("the table has no column " + choices.starColumn, path, 1);
    return false;
}

// The next line; false at the end or on a failed read (then with the error).
bool NextLine(TableFile &file, const std::string &path, std::string &line, ReadError &error)
{
    if (ReadTableLine(file, line))
        return true;
    if (std::ferror(file.file))
        error = FileSystemError("read", path, errno != 0 ? errno : EIO);
    return false;
}

// Reads the layout and every row of the file.
bool ReadTableContent(const std::string &path, const ReadChoices &choices, TableContent &table, ReadError &error)
{
    TableFile file;
    if (!OpenTableFile(file, path.c_str())) {
        error = FileSystemError("open", path, errno);
        return false;
    }
    std::string line;
    errno = 0;
    if (!NextLine(file, path, line, error) && !error.message.empty()) {
        CloseTableFile(file);
        return false;
    }
    bool ok = true;
    if (file.overlong) {
        error = Refusal(BadRecordText(1), path, 1);
        ok = false;
    }
    ok = ok && FindLayout(line, choices, path, table.layout, error);
    if (ok) {
        table.timeScale = TimeScaleOfColumn(table.layout.timeName);
        const std::string second = SecondConversionRefusal(choices, table.timeScale);
        if (!second.empty()) {
            error = Refusal(second, path);
            ok = false;
        } else if (table.layout.bandColumn < 0 && !choices.band.empty()) {
            error = Refusal("the table has no band column (Band or Filter); --band cannot be used", path);
            ok = false;
        }
    }
    const bool stars = table.layout.starColumn >= 0;
    std::vector<std::string> fields;
    bool haveLine = ok && !table.layout.header && file.line == 1;
    while (ok && (haveLine || NextLine(file, path, line, error))) {
        haveLine = false;
        StoredRow stored{0, 0, std::nan(""), file.line, -1, 0, TableUnreadable, false};
        if (file.overlong) {
            // A line too long for a row: no star can be told for it.
            if (stars) {
                error = Refusal(BadRecordText(file.line), path, file.line);
                ok = false;
                break;
            }
            table.rows.push_back(stored);
            continue;
        }
        const TableRow row = ReadTableRow(line, table.layout, fields);
        stored.time = row.time;
        stored.magnitude = row.magnitude;
        stored.uncertainty = row.uncertainty;
        stored.kind = row.kind;
        stored.flagged = row.flagged;
        if (row.kind == TableEstimate || row.kind == TableLimit)
            stored.band = BandOfSpelling(table, row.band);
        stored.star = stars ? StarOfName(table, row.star) : 0;
        table.rows.push_back(stored);
    }
    if (ok && !error.message.empty())
        ok = false; // a failed read
    CloseTableFile(file);
    if (!stars && ok)
        table.starNames.assign(1, std::string());
    return ok;
}

// The rows of each star in file order: order[first[s] .. first[s + 1]).
void GroupRowsByStar(const TableContent &table, std::vector<long> &first, std::vector<long> &order)
{
    const std::size_t stars = table.starNames.size();
    first.assign(stars + 1, 0);
    for (const StoredRow &row : table.rows)
        ++first[static_cast<std::size_t>(row.star) + 1];
    for (std::size_t s = 0; s < stars; ++s)
        first[s + 1] += first[s];
    std::vector<long> next(first.begin(), first.end() - 1);
    order.assign(table.rows.size(), 0);
    for (std::size_t i = 0; i < table.rows.size(); ++i)
        order[static_cast<std::size_t>(next[static_cast<std::size_t>(table.rows[i].star)]++)] = static_cast<long>(i);
}

// The band with the most estimates among a star's rows (the first of
// equals, spelt as first met); 'entryOfBand' is all -1 before and after.
struct BandChoice {
    int bandClass;    // -1: no row is of it
    std::string name;
};

// The band 'name' as the table's rows know it.
BandChoice ChosenBand(const TableContent &table, const std::string &name)
{
    const auto found = table.classIndex.find(BandKey(name));
    return {found == table.classIndex.end() ? -1 : found->second, name};
}

BandChoice MostEstimatedBandOfRows(const TableContent &table, const long *rows, long count,
                                   std::vector<long> &entryOfBand)
{
    struct Entry {
        int spelling;
        int bandClass;
        long count;
    };
    std::vector<Entry> entries;
    for (long k = 0; k < count; ++k) {
        const StoredRow &row = table.rows[static_cast<std::size_t>(rows[k])];
        if (row.kind != TableEstimate || row.flagged)
            continue;
        const int bandClass = table.bandClass[static_cast<std::size_t>(row.band)];
        long &entry = entryOfBand[static_cast<std::size_t>(bandClass)];
        if (entry < 0) {
            entry = static_cast<long>(entries.size());
            entries.push_back({row.band, bandClass, 0});
        }
        ++entries[static_cast<std::size_t>(entry)].count;
    }
    const Entry *most = nullptr;
    for (const Entry &entry : entries) {
        if (most == nullptr || entry.count > most->count)
            most = &entry;
        entryOfBand[static_cast<std::size_t>(entry.bandClass)] = -1;
    }
    if (most != nullptr)
        return {most->bandClass, table.bandNames[static_cast<std::size_t>(most->spelling)]};
    return ChosenBand(table, std::string());
}

// Takes a star's estimates into the curve; false with the refusal text and
// its line at the first fault.
bool TakeEstimates(const TableContent &table, const long *rows, long count, const ReadChoices &choices,
                   const TimeConverter &converter, int bandClass, LightCurve &curve, std::string &refusal,
                   long &refusalLine)
{
    for (long k = 0; k < count; ++k) {
        const StoredRow &row = table.rows[static_cast<std::size_t>(rows[k])];
        if (row.kind == TableUnreadable) {
            refusal = BadRecordText(row.line);
            refusalLine = row.line;
            return false;
        }
        if (row.kind == TableIncomplete) {
            ++curve.skippedEmpty;
        } else if (table.bandClass[static_cast<std::size_t>(row.band)] != bandClass) {
            ++curve.skippedOtherBands;
        } else if (row.flagged) {
            ++curve.skippedFlagged;
        } else if (row.kind == TableLimit) {
            ++curve.skippedLimits;
        } else {
            if (static_cast<long>(curve.time.size()) == choices.maximumEstimates) {
                refusal = TooManyEstimatesText(choices.maximumEstimates);
                refusalLine = row.line;
                return false;
            }
            double time = 0;
            if (!ConvertTime(converter, ReducedTableTime(table.layout, row.time), time, refusal)) {
                refusalLine = row.line;
                return false;
            }
            curve.time.push_back(time);
            curve.magnitude.push_back(row.magnitude);
            curve.uncertainty.push_back(row.uncertainty);
        }
    }
    return true;
}

// The light curve of one star from its rows; false with the refusal text.
bool StarLightCurve(const TableContent &table, const long *rows, long count, const ReadChoices &choices,
                    const TimeConverter &converter, std::vector<long> &entryOfBand, LightCurve &curve,
                    std::string &refusal, long &refusalLine)
{
    BandChoice band;
    if (choices.band.empty() && table.layout.bandColumn >= 0) {
        // Without a band asked for, the rows are counted first, and the
        // counting meets an unreadable row before anything else.
        for (long k = 0; k < count; ++k) {
            const StoredRow &row = table.rows[static_cast<std::size_t>(rows[k])];
            if (row.kind == TableUnreadable) {
                refusal = BadRecordText(row.line);
                refusalLine = row.line;
                return false;
            }
        }
        band = MostEstimatedBandOfRows(table, rows, count, entryOfBand);
    } else {
        band = ChosenBand(table, choices.band);
    }
    curve.band = band.name;
    if (!TakeEstimates(table, rows, count, choices, converter, band.bandClass, curve, refusal, refusalLine))
        return false;
    if (curve.time.empty()) {
        refusal = choices.band.empty() ? EmptyFileText : "the table has no estimates in the band " + choices.band;
        refusalLine = 0;
        return false;
    }
    DropUnknownUncertainties(curve);
    if (converter.choice != ConvertNoTimes)
        curve.timeScale = ConvertedScaleName(converter.choice);
    return true;
}

} // namespace

void ReadTableLightCurves(const std::string &path, const ReadChoices &choices, LightCurveReading &reading)
{
    TableContent table;
    if (!ReadTableContent(path, choices, table, reading.error))
        return;
    const bool stars = table.layout.starColumn >= 0;
    if (stars && table.starNames.empty()) {
        reading.error = Refusal(EmptyFileText, path);
        return;
    }
    std::vector<long> first, order;
    GroupRowsByStar(table, first, order);
    const TimeConverter converter = MakeTimeConverter(choices);
    std::vector<long> entryOfBand(table.classIndex.size(), -1);
    for (std::size_t s = 0; s < table.starNames.size(); ++s) {
        LightCurve curve;
        curve.name = table.starNames[s];
        curve.file = path;
        curve.timeScale = table.timeScale;
        std::string refusal;
        long refusalLine = 0;
        const long *rows = order.data() + first[s];
        if (!StarLightCurve(table, rows, first[s + 1] - first[s], choices, converter, entryOfBand, curve, refusal,
                            refusalLine)) {
            if (!stars) {
                reading.error = Refusal(refusal, path, refusalLine);
                return;
            }
            curve.time.clear();
            curve.magnitude.clear();
            curve.uncertainty.clear();
        }
        reading.curves.push_back(std::move(curve));
        reading.refusals.push_back(refusal);
    }
}
