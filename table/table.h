// Tables of brightness estimates as the observer databases export them:
// one estimate per line, fields separated by commas or tabs (or, for a
// table without either, by blanks; or by semicolons in a spreadsheet's
// export), fields optionally quoted, the columns named by a header line or
// in the databases' download order (time, magnitude, uncertainty, a fourth
// field, band, then anything).
//
// The library reads lines and fields; what the estimates are used for is
// the caller's business.
#pragma once
#include <cstdio>
#include <string>
#include <unordered_map>
#include <vector>

// Full Julian dates start here; smaller times count as reduced already.
const double FullJulianDateStart = 2400000;
// A first field from here on has eight digits: a date YYYYMMDD, not a
// Julian date.
const double EightDigitStart = 10000000;

// How a table's lines are split and where its columns are.
struct TableLayout {
    char separator = ',';      // ',', '\t', ';', or ' ' for runs of blanks and tabs
    bool header = false;       // the first line names the columns
    int timeColumn = 0;        // columns counted from 0
    int magnitudeColumn = 1;
    int bandColumn = 4;        // -1 when the header names no band column
    std::string timeName = "JD"; // the time column's name in capitals ("JD" without a header)
    int uncertaintyColumn = 2; // -1 when the header names none
    int starColumn = -1;       // the star's name; -1: none
    int flagColumn = -1;       // a quality flag (0 good); -1: none
    bool decimalComma = false; // numbers written with a decimal comma ("12,5")
};

// True when a file whose first line is 'line' is a table: the line has a
// comma after a first field of one word (or a quoted or empty one; an
// observation record with a decimal comma is no table), or its first field
// is a full Julian date (seven digits, from 2400000 on) or a column name.
bool IsTableFirstLine(const std::string &line);

// The layout that the first line gives.  For a header line, false when it
// names no time column (JD, HJD, BJD) or no magnitude column (Magnitude,
// Mag); 'missing' then says which ("time" or "magnitude").  A header's
// uncertainty column is found by the names of SurveyTableLayout; star and
// flag columns are not looked for.
bool FindTableLayout(const std::string &firstLine, TableLayout &layout, std::string &missing);

// The layout of a table by the names of FindTableLayout and, beside them,
// those of the sky surveys' downloads, always taking the first column of a
// kind in the header (any case):
//   time         JD, HJD, BJD, BJD_TDB, else MJD, OBSJD
//   magnitude    Magnitude, Mag, else Mag_autocorr, Magpsf
//   uncertainty  Uncertainty, Err, Error, Mag_err, Magerr, Sigma, Sigmapsf
//   band         Band, Filter, else Filtercode
//   flag         Catflags, Quality
//   star         'starColumn' when given, else Name, Star, Object, ObjectID,
//                OID, Source_ID
// A line with semicolons and neither commas nor tabs is a spreadsheet's
// header: fields split at ';', numbers with decimal commas.  Where the
// first line is data the layout is FindTableLayout's.  False when a header
// has no time or no magnitude column, or lacks the named star column (a
// table without a header has none); 'missing' then says "time",
// "magnitude" or "star".
bool FindSurveyTableLayout(const std::string &firstLine, const std::string &starColumn, TableLayout &layout,
                           std::string &missing);

// The time scale a time column's name (in capitals) gives: "HJD" for HJD,
// "BJD_TDB" for BJD and BJD_TDB, "JD" for any other.
std::string TimeScaleOfColumn(const std::string &timeName);

// The reduced Julian date of a time as a table writes it: a modified
// Julian date (the time column MJD) plus 0.5; otherwise a full Julian date
// (from FullJulianDateStart on) less FullJulianDateStart, a smaller one as
// it is.
double ReducedTableTime(const TableLayout &layout, double time);

// The fields of a line: quotes around a field are removed ("" inside them
// is one "), blanks around a field are dropped, two separators in a row
// enclose an empty field.
void SplitTableLine(const std::string &line, char separator, std::vector<std::string> &fields);

enum TableRowKind {
    TableEstimate,     // a time and a magnitude
    TableLimit,        // the magnitude starts with '<' or '>': a limit, not an estimate
    TableIncomplete,   // an empty line, or no time or no magnitude
    TableUnreadable    // a time or magnitude that is not a number
};

struct TableRow {
    TableRowKind kind;
    double time;       // as written (full or reduced Julian date)
    double magnitude;
    std::string band;  // empty without a band column or field
    double uncertainty; // NaN without one, or when it is empty or no number
    std::string star;  // empty without a star column or field
    bool flagged;      // the flag field is set (see IsFlagSet)
};

// One data line of a table read by its layout.  The kind depends only on
// the time and magnitude fields.
TableRow ReadTableRow(const std::string &line, const TableLayout &layout, std::vector<std::string> &fields);

// True when a quality flag field marks its row as bad: a number other than
// 0, or a text other than "G" (good); an empty field is no flag.
bool IsFlagSet(const std::string &field);

// True when two band names denote the same band: equal names, and "Vis."
// and "Visual" (the databases' two spellings of visual estimates).
bool SameBand(const std::string &a, const std::string &b);

// The estimates of each band, in the order the bands first occur.
struct BandCount {
    std::string name; // the spelling first met
    long count;
};
// Counts one estimate into a plain list; each call compares with every band
// met before, so it suits a few bands only (BandTally takes any number).
void CountBand(std::vector<BandCount> &counts, const std::string &band);
// The band with the most estimates (the first of equals); empty list: "".
std::string MostEstimatedBand(const std::vector<BandCount> &counts);

// The same count in time linear in the estimates: the list with an index
// of the bands by name, "Vis." and "Visual" under one entry.
struct BandTally {
    std::vector<BandCount> counts;
    std::unordered_map<std::string, std::size_t> index;
};
void CountBand(BandTally &tally, const std::string &band);
std::string MostEstimatedBand(const BandTally &tally);
// The key under which a band is counted: the name, one key for both
// spellings of visual estimates.  Names are equal keys exactly when
// SameBand holds.
std::string BandKey(const std::string &band);

// The longest line a table may have; a longer one is no row of a table
// (and a file without line ends, such as a device, is never read whole).
const std::size_t MaxTableLineLength = 65536;

// A table file read line by line, lines of up to MaxTableLineLength bytes.
struct TableFile {
    std::FILE *file = nullptr;
    long line = 0;          // the number of the line read last, from 1
    bool overlong = false;  // the line read last was cut at MaxTableLineLength
};
// Opens a file; on failure false with errno set.
bool OpenTableFile(TableFile &table, const char *path);
// The next line without its line end (and without a byte-order mark on the
// first line); false at the end of the file or on a failed read (errno set,
// ferror true).  A line longer than MaxTableLineLength gives its first
// MaxTableLineLength bytes with 'overlong' set, and the rest is not read.
bool ReadTableLine(TableFile &table, std::string &line);
// Back to the first line.
bool RewindTableFile(TableFile &table);
void CloseTableFile(TableFile &table);
// The first line of a file ("" when it cannot be read).
std::string FirstLineOf(const char *path);
