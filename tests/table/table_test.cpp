// Reading the tables of the observer databases: which files are tables,
// how lines split into fields, where the columns are, what a row is.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>

#include "table.h"

namespace {

TEST(Table, WhichFirstLinesMakeATable)
{
    const struct {
        const char *line;
        bool table;
    } cases[] = {
        {"2453000.2292\t3.7\t", true},          // full Julian date, tabs
        {"2453000.2292 3.7", true},             // full Julian date, blanks
        {"54409.02431,12.2,,,Vis.", true},      // a comma
        {"JD\tMagnitude", true},                // a column name
        {"\"jd\"\tmag", true},                  // quoted, any case
        {"900812  23.56  12.67", false},        // an observation record
        {"900812  23.56  12,67", false},        // the same with a decimal comma
        {"\"Star Name\",JD,Mag", true},          // a quoted first field
        {",JD,Mag", true},                      // an empty first field
        {"19951009  18.09  3.9", false},        // eight digits: a date
        {"2399999.5 3.7", false},               // below the full Julian dates
        {"48116.517   12.670", false},          // a Julian-date file line
        {"Date Time Mag", false},
        {"", false},
    };
    for (const auto &c : cases)
        EXPECT_EQ(IsTableFirstLine(c.line), c.table) << c.line;
}

TEST(Table, FieldsQuotedEmptyAndSeparated)
{
    const struct {
        const char *line;
        char separator;
        std::vector<std::string> fields;
    } cases[] = {
        {"a,b,,d,", ',', {"a", "b", "", "d", ""}},
        {"\"x, y\",\"say \"\"hi\"\"\", z ", ',', {"x, y", "say \"hi\"", "z"}},
        {"1\t\t3", '\t', {"1", "", "3"}},
        {"  1   2\t3  ", ' ', {"1", "2", "3"}},
        {"", ',', {""}},
        {"", ' ', {}},
    };
    for (const auto &c : cases) {
        std::vector<std::string> fields;
        SplitTableLine(c.line, c.separator, fields);
        EXPECT_EQ(fields, c.fields) << c.line;
    }
}

TEST(Table, ColumnsByHeaderOrDownloadOrder)
{
    TableLayout layout;
    std::string missing;
    ASSERT_TRUE(FindTableLayout("Observer,Filter,hjd,Mag,Uncertainty", layout, missing));
    EXPECT_TRUE(layout.header);
    EXPECT_EQ(layout.separator, ',');
    EXPECT_EQ(layout.timeColumn, 2);
    EXPECT_EQ(layout.magnitudeColumn, 3);
    EXPECT_EQ(layout.bandColumn, 1);
    EXPECT_EQ(layout.timeName, "HJD");

    EXPECT_FALSE(FindTableLayout("JD\tBand", layout, missing));
    EXPECT_EQ(missing, "magnitude");
    EXPECT_FALSE(FindTableLayout("Date,Magnitude", layout, missing));
    EXPECT_EQ(missing, "time");
}

TEST(Table, RowsOfEstimatesLimitsAndGaps)
{
    TableLayout layout; // the download order, commas
    std::vector<std::string> fields;
    const struct {
        const char *line;
        TableRowKind kind;
        double time;
        double magnitude;
        const char *band;
    } cases[] = {
        {"2454409.0347,11.8,,,Vis.,SSU", TableEstimate, 2454409.0347, 11.8, "Vis."},
        {"2454409.19,<12.3,,,V", TableLimit, 2454409.19, 0, "V"},
        {"2454409.19,>9,,,V", TableLimit, 2454409.19, 0, "V"},
        {"54409.5,\" 11.0 \"", TableEstimate, 54409.5, 11.0, ""},
        {"2454409.19,,,,V", TableIncomplete, 0, 0, "V"},
        {"", TableIncomplete, 0, 0, ""},
        {"2454409.19", TableIncomplete, 0, 0, ""},
        {"2454409.19,12.3:,,,V", TableUnreadable, 2454409.19, 0, "V"},
        {"24544O9.19,12.3,,,V", TableUnreadable, 0, 0, "V"},
    };
    for (const auto &c : cases) {
        const TableRow row = ReadTableRow(c.line, layout, fields);
        EXPECT_EQ(row.kind, c.kind) << c.line;
        if (c.kind == TableEstimate) {
            EXPECT_EQ(row.time, c.time) << c.line;
            EXPECT_EQ(row.magnitude, c.magnitude) << c.line;
        }
        EXPECT_EQ(row.band, c.band) << c.line;
    }
}

TEST(Table, BandsVisualSpelledTwoWays)
{
    EXPECT_FALSE(SameBand("vis.", "Vis."));
    std::vector<BandCount> counts;
    for (const char *band : {"V", "Vis.", "V", "Visual", "R", "Visual"})
        CountBand(counts, band);
    ASSERT_EQ(counts.size(), 3u);
    EXPECT_EQ(counts[1].count, 3);
    EXPECT_EQ(MostEstimatedBand(counts), "Vis.");
    EXPECT_EQ(MostEstimatedBand({{"B", 2}, {"I", 2}}), "B"); // the first of equals
}


TEST(Table, TallyCountsAsTheListDoes)
{
    // Bands met in many orders, visual estimates spelt both ways: the
    // indexed tally and the plain list agree on counts, spellings and the
    // first of equals.
    const std::vector<std::vector<std::string>> cases = {
        {},
        {"V"},
        {"V", "Vis.", "V", "Visual", "R", "Visual"},
        {"Visual", "Vis.", "V", "V"},
        {"B", "I", "I", "B"},
        {"", "V", "", "vis.", "Vis."},
        {"v", "Vis.", "b", "Visual", "v", "vis"},
    };
    for (const auto &bands : cases) {
        std::vector<BandCount> list;
        BandTally tally;
        for (const std::string &band : bands) {
            CountBand(list, band);
            CountBand(tally, band);
        }
        ASSERT_EQ(tally.counts.size(), list.size());
        for (std::size_t i = 0; i < list.size(); ++i) {
            EXPECT_EQ(tally.counts[i].name, list[i].name);
            EXPECT_EQ(tally.counts[i].count, list[i].count);
        }
        EXPECT_EQ(MostEstimatedBand(tally), MostEstimatedBand(list));
    }
    for (const char *a : {"V", "Vis.", "Visual", "", "v"})
        for (const char *b : {"V", "Vis.", "Visual", "", "v"})
            EXPECT_EQ(BandKey(a) == BandKey(b), SameBand(a, b)) << a << " " << b;
}

TEST(Table, SurveyLayouts)
{
    const struct {
        const char *header;
        const char *starColumn;
        int time, magnitude, uncertainty, band, flag, star;
        const char *timeName;
        char separator;
    } cases[] = {
        {"oid,expid,hjd,mjd,mag,magerr,catflags,filtercode", "", 2, 4, 5, 7, 6, 0, "HJD", ','},
        {"mjd\tmag\tmag_err\tfilter", "", 0, 1, 2, 3, -1, -1, "MJD", '\t'},
        {"obsjd,magpsf,sigmapsf,band,source_id", "", 0, 1, 2, 3, -1, 4, "OBSJD", ','},
        {"JD;Magnitude;Sigma;Quality;Object", "", 0, 1, 2, -1, 3, 4, "JD", ';'},
        {"Name,JD,Mag,Designation", "designation", 1, 2, -1, -1, -1, 3, "JD", ','},
        // The database's names come first, whatever their place.
        {"mjd,mag_autocorr,jd,mag,filtercode,band", "", 2, 3, -1, 5, -1, -1, "JD", ','},
    };
    for (const auto &c : cases) {
        TableLayout layout;
        std::string missing;
        ASSERT_TRUE(FindSurveyTableLayout(c.header, c.starColumn, layout, missing)) << c.header << " " << missing;
        EXPECT_TRUE(layout.header);
        EXPECT_EQ(layout.timeColumn, c.time) << c.header;
        EXPECT_EQ(layout.magnitudeColumn, c.magnitude) << c.header;
        EXPECT_EQ(layout.uncertaintyColumn, c.uncertainty) << c.header;
        EXPECT_EQ(layout.bandColumn, c.band) << c.header;
        EXPECT_EQ(layout.flagColumn, c.flag) << c.header;
        EXPECT_EQ(layout.starColumn, c.star) << c.header;
        EXPECT_EQ(layout.timeName, c.timeName) << c.header;
        EXPECT_EQ(layout.separator, c.separator) << c.header;
        EXPECT_EQ(layout.decimalComma, c.separator == ';') << c.header;
    }
    TableLayout layout;
    std::string missing;
    EXPECT_FALSE(FindSurveyTableLayout("JD,Mag", "Designation", layout, missing));
    EXPECT_EQ(missing, "star");
    EXPECT_FALSE(FindSurveyTableLayout("2450000.5,3.9", "Designation", layout, missing));
    EXPECT_EQ(missing, "star");
    EXPECT_FALSE(FindSurveyTableLayout("mjd,flux", "", layout, missing));
    EXPECT_EQ(missing, "magnitude");
    // The download order as FindTableLayout gives it.
    ASSERT_TRUE(FindSurveyTableLayout("2450000.5,3.9,0.1,,V", "", layout, missing));
    EXPECT_FALSE(layout.header);
    EXPECT_EQ(layout.uncertaintyColumn, 2);
    EXPECT_EQ(layout.starColumn, -1);
}

TEST(Table, FlagsDecimalCommasAndModifiedJulianDates)
{
    const struct {
        const char *field;
        bool set;
    } flags[] = {{"", false}, {"0", false}, {" 0.0 ", false}, {"G", false}, {"32768", true}, {"-1", true},
                 {"B", true}, {"g", true}};
    for (const auto &f : flags)
        EXPECT_EQ(IsFlagSet(f.field), f.set) << f.field;

    TableLayout layout;
    std::string missing;
    ASSERT_TRUE(FindSurveyTableLayout("MJD;Mag;Err;Band;Quality;Star", "", layout, missing));
    std::vector<std::string> fields;
    const TableRow row = ReadTableRow("58300,25;12,5;0,01;V;4;\"Smith, J\"", layout, fields);
    EXPECT_EQ(row.kind, TableEstimate);
    EXPECT_EQ(row.time, 58300.25);
    EXPECT_EQ(row.magnitude, 12.5);
    EXPECT_EQ(row.uncertainty, 0.01);
    EXPECT_EQ(row.band, "V");
    EXPECT_TRUE(row.flagged);
    EXPECT_EQ(row.star, "Smith, J");
    EXPECT_EQ(ReducedTableTime(layout, 58300.25), 58300.75);
    TableLayout plain;
    EXPECT_EQ(ReducedTableTime(plain, 2450000.5), 50000.5);
    EXPECT_EQ(ReducedTableTime(plain, 50000.5), 50000.5);
    // A comma table keeps its decimal points: "12,5" is two fields there.
    EXPECT_TRUE(std::isnan(ReadTableRow("2450000.5,3.9,abc", plain, fields).uncertainty));
}
} // namespace

// A line is read up to its limit and never further, so a file without line
// ends (a device such as /dev/zero) cannot make the reader hang.
TEST(Table, LinesStopAtTheirLimit)
{
    char path[] = "/tmp/table_test_XXXXXX";
    const int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    const std::string longLine(MaxTableLineLength + 10, '7');
    const std::string text = "1,2\n" + longLine + "\n3,4";
    ASSERT_EQ(write(fd, text.data(), text.size()), static_cast<ssize_t>(text.size()));
    close(fd);
    TableFile table;
    ASSERT_TRUE(OpenTableFile(table, path));
    std::string line;
    ASSERT_TRUE(ReadTableLine(table, line));
    EXPECT_EQ(line, "1,2");
    EXPECT_FALSE(table.overlong);
    ASSERT_TRUE(ReadTableLine(table, line));
    EXPECT_TRUE(table.overlong);
    EXPECT_EQ(line.size(), MaxTableLineLength);
    CloseTableFile(table);
    unlink(path);

    ASSERT_TRUE(OpenTableFile(table, "/dev/zero"));
    ASSERT_TRUE(ReadTableLine(table, line));
    EXPECT_TRUE(table.overlong);
    CloseTableFile(table);
}
