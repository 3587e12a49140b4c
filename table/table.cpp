// Tables of brightness estimates exported by the observer databases.
#include "table.h"

#include <cctype>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "numparse.h"

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string Capitals(const std::string &text)
{
    std::string result = text;
    for (char &c : result)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return result;
}

bool IsTimeName(const std::string &capitals)
{
    return capitals == "JD" || capitals == "HJD" || capitals == "BJD" || capitals == "BJD_TDB";
}

bool IsMagnitudeName(const std::string &capitals) { return capitals == "MAGNITUDE" || capitals == "MAG"; }

bool IsBandName(const std::string &capitals) { return capitals == "BAND" || capitals == "FILTER"; }

bool IsOneOf(const std::string &capitals, std::initializer_list<const char *> names)
{
    for (const char *name : names)
        if (capitals == name)
            return true;
    return false;
}

bool IsSurveyTimeName(const std::string &capitals) { return IsOneOf(capitals, {"MJD", "OBSJD"}); }
bool IsSurveyMagnitudeName(const std::string &capitals) { return IsOneOf(capitals, {"MAG_AUTOCORR", "MAGPSF"}); }
bool IsSurveyBandName(const std::string &capitals) { return capitals == "FILTERCODE"; }
bool IsFlagName(const std::string &capitals) { return IsOneOf(capitals, {"CATFLAGS", "QUALITY"}); }

bool IsUncertaintyName(const std::string &capitals)
{
    return IsOneOf(capitals, {"UNCERTAINTY", "ERR", "ERROR", "MAG_ERR", "MAGERR", "SIGMA", "SIGMAPSF"});
}

bool IsStarName(const std::string &capitals)
{
    return IsOneOf(capitals, {"NAME", "STAR", "OBJECT", "OBJECTID", "OID", "SOURCE_ID"});
}

std::string Trimmed(const std::string &text)
{
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos)
        return std::string();
    return text.substr(first, text.find_last_not_of(" \t") + 1 - first);
}

bool IsColumnName(const std::string &field)
{
    const std::string capitals = Capitals(field);
    return IsTimeName(capitals) || IsMagnitudeName(capitals) || IsBandName(capitals);
}

// The whole text as a finite real, blanks around it allowed.
bool ReadNumber(const std::string &text, double &value)
{
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos)
        return false;
    const RealParse parse = ParseReal(text.substr(first, text.find_last_not_of(" \t") + 1 - first));
    value = parse.value;
    return parse.position == 0 && std::isfinite(value);
}

// As ReadNumber, with a decimal comma read as a point when asked.
bool ReadTableNumber(const std::string &text, bool decimalComma, double &value)
{
    if (!decimalComma || text.find(',') == std::string::npos)
        return ReadNumber(text, value);
    std::string pointed = text;
    for (char &c : pointed)
        if (c == ',')
            c = '.';
    return ReadNumber(pointed, value);
}

// The first column of fields whose name (in capitals) 'is' accepts; -1
// when none does.
template <typename Is> int FirstColumn(const std::vector<std::string> &fields, Is is)
{
    for (int i = 0; i < static_cast<int>(fields.size()); ++i)
        if (is(Capitals(fields[i])))
            return i;
    return -1;
}

// A spreadsheet's header: semicolons and neither commas nor tabs.
bool IsSemicolonLine(const std::string &line)
{
    return line.find(';') != std::string::npos && line.find(',') == std::string::npos &&
           line.find('\t') == std::string::npos;
}

char SeparatorOf(const std::string &line)
{
    if (line.find(',') != std::string::npos)
        return ',';
    if (line.find('\t') != std::string::npos)
        return '\t';
    return ' ';
}

std::string FirstField(const std::string &line)
{
    std::vector<std::string> fields;
    SplitTableLine(line, SeparatorOf(line), fields);
    return fields.empty() ? std::string() : fields[0];
}

void DropByteOrderMark(std::string &line)
{
    if (line.compare(0, 3, "\xEF\xBB\xBF") == 0)
        line.erase(0, 3);
}

// True when the text before the first comma of a line is one field: a
// single word, or a quoted text.  An observation record with a decimal
// comma ("900812  23.56  12,67") has several words there.
bool CommaSeparatesFields(const std::string &line)
{
    const std::size_t comma = line.find(',');
    if (comma == std::string::npos)
        return false;
    const std::string first = line.substr(0, comma);
    const std::size_t start = first.find_first_not_of(" \t");
    if (start == std::string::npos || first[start] == '"')
        return true; // an empty or quoted first field
    const std::size_t end = first.find_last_not_of(" \t");
    return first.find_first_of(" \t", start) > end;
}

} // namespace

bool IsTableFirstLine(const std::string &line)
{
    if (CommaSeparatesFields(line))
        return true;
    const std::string first = FirstField(line);
    double value = 0;
    if (ReadNumber(first, value))
        return value >= FullJulianDateStart && value < EightDigitStart;
    return IsColumnName(first);
}

bool FindTableLayout(const std::string &firstLine, TableLayout &layout, std::string &missing)
{
    layout = TableLayout();
    layout.separator = SeparatorOf(firstLine);
    std::vector<std::string> fields;
    SplitTableLine(firstLine, layout.separator, fields);
    double value = 0;
    if (fields.empty() || ReadNumber(fields[0], value))
        return true; // data from the first line on: the download order
    layout.header = true;
    layout.timeColumn = layout.magnitudeColumn = layout.bandColumn = -1;
    for (int i = 0; i < static_cast<int>(fields.size()); ++i) {
        const std::string name = Capitals(fields[i]);
        if (layout.timeColumn < 0 && IsTimeName(name)) {
            layout.timeColumn = i;
            layout.timeName = name;
        } else if (layout.magnitudeColumn < 0 && IsMagnitudeName(name)) {
            layout.magnitudeColumn = i;
        } else if (layout.bandColumn < 0 && IsBandName(name)) {
            layout.bandColumn = i;
        }
    }
    layout.uncertaintyColumn = FirstColumn(fields, IsUncertaintyName);
    missing = layout.timeColumn < 0 ? "time" : layout.magnitudeColumn < 0 ? "magnitude" : "";
    return missing.empty();
}

bool FindSurveyTableLayout(const std::string &firstLine, const std::string &starColumn, TableLayout &layout,
                           std::string &missing)
{
    const bool semicolons = IsSemicolonLine(firstLine);
    std::string line = firstLine;
    if (semicolons) // split as a comma table would be, then the separator put back
        for (char &c : line)
            if (c == ';')
                c = ',';
    FindTableLayout(line, layout, missing);
    missing.clear();
    if (!layout.header) {
        if (!starColumn.empty())
            missing = "star";
        return missing.empty();
    }
    if (semicolons) {
        layout.separator = ';';
        layout.decimalComma = true;
    }
    std::vector<std::string> fields;
    SplitTableLine(firstLine, layout.separator, fields);
    if (layout.timeColumn < 0) {
        layout.timeColumn = FirstColumn(fields, IsSurveyTimeName);
        if (layout.timeColumn >= 0)
            layout.timeName = Capitals(fields[layout.timeColumn]);
    }
    if (layout.magnitudeColumn < 0)
        layout.magnitudeColumn = FirstColumn(fields, IsSurveyMagnitudeName);
    if (layout.bandColumn < 0)
        layout.bandColumn = FirstColumn(fields, IsSurveyBandName);
    layout.flagColumn = FirstColumn(fields, IsFlagName);
    if (starColumn.empty()) {
        layout.starColumn = FirstColumn(fields, IsStarName);
    } else {
        const std::string wanted = Capitals(Trimmed(starColumn));
        layout.starColumn = FirstColumn(fields, [&](const std::string &name) { return name == wanted; });
    }
    missing = layout.timeColumn < 0        ? "time"
              : layout.magnitudeColumn < 0 ? "magnitude"
              : !starColumn.empty() && layout.starColumn < 0 ? "star"
                                                              : "";
    return missing.empty();
}

std::string TimeScaleOfColumn(const std::string &timeName)
{
    if (timeName == "HJD")
        return "HJD";
    if (timeName == "BJD" || timeName == "BJD_TDB")
        return "BJD_TDB";
    return "JD";
}

double ReducedTableTime(const TableLayout &layout, double time)
{
    if (layout.timeName == "MJD")
        return time + 0.5;
    return time >= FullJulianDateStart ? time - FullJulianDateStart : time;
}

void SplitTableLine(const std::string &line, char separator, std::vector<std::string> &fields)
{
    fields.clear();
    const std::size_t length = line.size();
    std::size_t i = 0;
    const bool blanks = separator == ' ';
    if (blanks) {
        while (i < length && IsBlank(line[i]))
            ++i;
        if (i == length)
            return;
    }
    for (;;) {
        std::string field;
        while (i < length && IsBlank(line[i]) && line[i] != separator)
            ++i;
        if (i < length && line[i] == '"') {
            // A quoted field: up to the closing quote, "" standing for ".
            ++i;
            while (i < length) {
                if (line[i] == '"') {
                    if (i + 1 < length && line[i + 1] == '"') {
                        field += '"';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                field += line[i++];
            }
            while (i < length && !(blanks ? IsBlank(line[i]) : line[i] == separator))
                ++i;
        } else {
            while (i < length && !(blanks ? IsBlank(line[i]) : line[i] == separator))
                field += line[i++];
            while (!field.empty() && IsBlank(field.back()))
                field.pop_back();
        }
        fields.push_back(field);
        if (i >= length)
            return;
        if (blanks) {
            while (i < length && IsBlank(line[i]))
                ++i;
            if (i == length)
                return;
        } else {
            ++i; // the separator
        }
    }
}

TableRow ReadTableRow(const std::string &line, const TableLayout &layout, std::vector<std::string> &fields)
{
    TableRow row{TableIncomplete, 0, 0, std::string(), std::nan(""), std::string(), false};
    SplitTableLine(line, layout.separator, fields);
    const int count = static_cast<int>(fields.size());
    const auto present = [count](int column) { return column >= 0 && column < count; };
    if (present(layout.starColumn))
        row.star = fields[layout.starColumn];
    if (present(layout.flagColumn))
        row.flagged = IsFlagSet(fields[layout.flagColumn]);
    double uncertainty = 0;
    if (present(layout.uncertaintyColumn) &&
        ReadTableNumber(fields[layout.uncertaintyColumn], layout.decimalComma, uncertainty))
        row.uncertainty = uncertainty;
    if (layout.timeColumn >= count || layout.magnitudeColumn >= count)
        return row;
    if (present(layout.bandColumn))
        row.band = fields[layout.bandColumn];
    const std::string &time = fields[layout.timeColumn];
    const std::string &magnitude = fields[layout.magnitudeColumn];
    if (time.empty() || magnitude.empty())
        return row;
    if (!ReadTableNumber(time, layout.decimalComma, row.time)) {
        row.kind = TableUnreadable;
        return row;
    }
    if (magnitude[0] == '<' || magnitude[0] == '>') {
        row.kind = TableLimit;
        return row;
    }
    row.kind = ReadTableNumber(magnitude, layout.decimalComma, row.magnitude) ? TableEstimate : TableUnreadable;
    return row;
}

bool IsFlagSet(const std::string &field)
{
    const std::string text = Trimmed(field);
    if (text.empty() || text == "G")
        return false;
    double value = 0;
    return !ReadNumber(text, value) || value != 0;
}

bool SameBand(const std::string &a, const std::string &b)
{
    if (a == b)
        return true;
    const auto visual = [](const std::string &name) { return name == "Vis." || name == "Visual"; };
    return visual(a) && visual(b);
}

void CountBand(std::vector<BandCount> &counts, const std::string &band)
{
    for (BandCount &entry : counts)
        if (SameBand(entry.name, band)) {
            ++entry.count;
            return;
        }
    counts.push_back({band, 1});
}

std::string MostEstimatedBand(const std::vector<BandCount> &counts)
{
    const BandCount *most = nullptr;
    for (const BandCount &entry : counts)
        if (most == nullptr || entry.count > most->count)
            most = &entry;
    return most ? most->name : std::string();
}

std::string BandKey(const std::string &band)
{
    // Every other key starts with 'b', so no band's name can meet the key
    // of visual estimates.
    if (band == "Vis." || band == "Visual")
        return "v";
    return "b" + band;
}

void CountBand(BandTally &tally, const std::string &band)
{
    const std::string key = BandKey(band);
    const auto found = tally.index.find(key);
    if (found != tally.index.end()) {
        ++tally.counts[found->second].count;
        return;
    }
    tally.index.emplace(key, tally.counts.size());
    tally.counts.push_back({band, 1});
}

std::string MostEstimatedBand(const BandTally &tally) { return MostEstimatedBand(tally.counts); }

bool OpenTableFile(TableFile &table, const char *path)
{
    table.file = std::fopen(path, "rb");
    table.line = 0;
    return table.file != nullptr;
}

bool ReadTableLine(TableFile &table, std::string &line)
{
    line.clear();
    table.overlong = false;
    int c = 0;
    bool any = false;
    while ((c = getc_unlocked(table.file)) != EOF) {
        any = true;
        if (c == '\n')
            break;
        if (line.size() == MaxTableLineLength) {
            table.overlong = true;
            break;
        }
        line.push_back(static_cast<char>(c));
    }
    if (!any)
        return false;
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    if (++table.line == 1)
        DropByteOrderMark(line);
    return true;
}

bool RewindTableFile(TableFile &table)
{
    table.line = 0;
    return std::fseek(table.file, 0, SEEK_SET) == 0;
}

void CloseTableFile(TableFile &table)
{
    if (table.file != nullptr)
        std::fclose(table.file);
    table.file = nullptr;
}

std::string FirstLineOf(const char *path)
{
    TableFile table;
    std::string line;
    if (OpenTableFile(table, path))
        ReadTableLine(table, line);
    CloseTableFile(table);
    return line;
}
