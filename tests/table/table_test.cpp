// Reading the tables of the observer databases: which files are tables,
// how lines split into fields, where the columns are, what a row is.
#include <gtest/gtest.h>

#include <unistd.h>

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
