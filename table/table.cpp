// Tables of brightness estimates exported by the observer databases.
#include "table.h"

#include <cctype>
#include <cmath>
#include <cstdlib>
#include <cstring>

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
    missing = layout.timeColumn < 0 ? "time" : layout.magnitudeColumn < 0 ? "magnitude" : "";
    return missing.empty();
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
    TableRow row{TableIncomplete, 0, 0, std::string()};
    SplitTableLine(line, layout.separator, fields);
    const int count = static_cast<int>(fields.size());
    if (layout.timeColumn >= count || layout.magnitudeColumn >= count)
        return row;
    const std::string &time = fields[layout.timeColumn];
    const std::string &magnitude = fields[layout.magnitudeColumn];
    if (layout.bandColumn >= 0 && layout.bandColumn < count)
        row.band = fields[layout.bandColumn];
    if (time.empty() || magnitude.empty())
        return row;
    if (!ReadNumber(time, row.time)) {
        row.kind = TableUnreadable;
        return row;
    }
    if (magnitude[0] == '<' || magnitude[0] == '>') {
        row.kind = TableLimit;
        return row;
    }
    row.kind = ReadNumber(magnitude, row.magnitude) ? TableEstimate : TableUnreadable;
    return row;
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
