// Reading light curves from text: observation and Julian-date files, the
// databases' tables, the surveys' downloads, spreadsheets and tables of
// many stars, with their refusals.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "lightcurves.h"
#include "scratch_folder.h"

namespace {

const double NaN = std::nan("");

// What a light curve should hold.
struct Expected {
    std::vector<double> time, magnitude, uncertainty;
    std::string band = "";
    std::string timeScale = "JD";
    long limits = 0, otherBands = 0, empty = 0, flagged = 0;
    std::string name = "";
};

bool SameValue(double a, double b, double tolerance)
{
    return (std::isnan(a) && std::isnan(b)) || std::fabs(a - b) <= tolerance;
}

void ExpectValues(const std::vector<double> &got, const std::vector<double> &wanted, const std::string &what)
{
    ASSERT_EQ(got.size(), wanted.size()) << what;
    for (std::size_t i = 0; i < got.size(); ++i)
        EXPECT_TRUE(SameValue(got[i], wanted[i], 1e-9)) << what << " [" << i << "]: " << got[i] << " != " << wanted[i];
}

void ExpectCurve(const LightCurve &curve, const Expected &e, const std::string &label)
{
    ExpectValues(curve.time, e.time, label + " time");
    ExpectValues(curve.magnitude, e.magnitude, label + " magnitude");
    ExpectValues(curve.uncertainty, e.uncertainty, label + " uncertainty");
    EXPECT_EQ(curve.band, e.band) << label;
    EXPECT_EQ(curve.timeScale, e.timeScale) << label;
    EXPECT_EQ(curve.skippedLimits, e.limits) << label;
    EXPECT_EQ(curve.skippedOtherBands, e.otherBands) << label;
    EXPECT_EQ(curve.skippedEmpty, e.empty) << label;
    EXPECT_EQ(curve.skippedFlagged, e.flagged) << label;
    EXPECT_EQ(curve.name, e.name) << label;
}

ReadChoices WithBand(const std::string &band)
{
    ReadChoices choices;
    choices.band = band;
    return choices;
}

// 1995 October 9, 18:09 UT is JD 2450000.25625.
const double Oct9At1809 = 50000.25625;

struct OneCurveCase {
    const char *file;
    const char *content;
    ReadChoices choices;
    Expected expected;
};

void ReadOneCurveCases(const std::vector<OneCurveCase> &cases)
{
    ScratchFolder folder;
    for (const OneCurveCase &c : cases) {
        const std::string path = folder.Write(c.file, c.content);
        const LightCurveReading reading = ReadLightCurves(path, c.choices);
        ASSERT_FALSE(ReadFailed(reading)) << c.content << ": " << reading.error.message;
        ASSERT_EQ(reading.curves.size(), 1u) << c.content;
        EXPECT_EQ(reading.refusals[0], "") << c.content;
        EXPECT_EQ(reading.curves[0].file, path);
        ExpectCurve(reading.curves[0], c.expected, c.content);
    }
}

TEST(TextFiles, ObservationAndJulianDateRecords)
{
    ReadOneCurveCases({
        {"a.dat", "951009  18.09  3.9\n951010\t18.09\t4.25\n", {}, {{Oct9At1809, Oct9At1809 + 1}, {3.9, 4.25}, {}}},
        // Eight-digit dates; a record may run over lines; CR LF ends.
        {"b.dat", "19951009 18.09\r\n 3.9\r\n", {}, {{Oct9At1809}, {3.9}, {}}},
        // Minutes as written: 23.56 is 23 h 56 min.
        {"c.dat", "951009 23.56 4\n", {}, {{49999.5 + 23 / 24.0 + 56 / 1440.0}, {4}, {}}},
        {"d.jud", "50000.25625   3.900\n48116.517 12.67\n", {}, {{Oct9At1809, 48116.517}, {3.9, 12.67}, {}}},
    });
}

TEST(TextFiles, DatesOutOfOrderAreCountedAsTheDialogueNotesThem)
{
    ScratchFolder folder;
    const LightCurveReading reading =
        ReadLightCurves(folder.Write("o.dat", "951010 1.00 4\n951009 1.00 4\n19951008 1.00 4\n951011 1.0 4\n"), {});
    ASSERT_FALSE(ReadFailed(reading)) << reading.error.message;
    EXPECT_EQ(reading.curves[0].datesOutOfOrder, 2);
}

TEST(Tables, DatabaseLayouts)
{
    const char *header = "JD,Magnitude,Uncertainty,HQuncertainty,Band,Observer Code\n";
    const std::string aavso = std::string(header) +
                              "2450000.5,3.9,0.1,,V,ABC\n"
                              "2450001.5,<4.2,,,V,ABC\n"
                              "2450002.5,4.0,0.2,,Vis.,X\n"
                              "2450003.5,4.1,,,Visual,Y\n"
                              "2450004.5,,,,V,\n";
    ReadOneCurveCases({
        // Visual estimates spelt two ways outnumber V; a limit of V is
        // counted with the other band.
        {"t1.csv", aavso.c_str(), {}, {{50002.5, 50003.5}, {4.0, 4.1}, {0.2, NaN}, "Vis.", "JD", 0, 2, 1}},
        {"t2.csv", aavso.c_str(), WithBand("V"), {{50000.5}, {3.9}, {0.1}, "V", "JD", 1, 2, 1}},
        {"t3.csv", aavso.c_str(), WithBand("Visual"), {{50002.5, 50003.5}, {4.0, 4.1}, {0.2, NaN}, "Visual", "JD", 0, 2, 1}},
        // The download order without a header, tabs, the third field the
        // uncertainty; reduced dates stay as they are.
        {"t4.tsv", "2453000.2292\t3.7\t0.05\n53001.5\t3.8\t\n", {}, {{53000.2292, 53001.5}, {3.7, 3.8}, {0.05, NaN}}},
        // No uncertainty anywhere: none at all.
        {"t5.tsv", "2453000.2292\t3.7\t\n2453001.5\t3.8\t\n", {}, {{53000.2292, 53001.5}, {3.7, 3.8}, {}}},
        // An uncertainty that is no number is unknown, not a refusal.
        {"t6.csv", "JD,Mag,Err\n2450000.5,3.9,abc\n2450001.5,4.0,0.03\n", {},
         {{50000.5, 50001.5}, {3.9, 4.0}, {NaN, 0.03}}},
        // The first of two bands with equal counts; blanks separate.
        {"t7.txt", "JD Mag Band\n2450000.5 3.9 B\n2450001.5 4.0 I\n2450002.5 4.1 I\n2450003.5 4.2 B\n", {},
         {{50000.5, 50003.5}, {3.9, 4.2}, {}, "B", "JD", 0, 2, 0}},
        {"t8.csv", "hjd,mag\n2450000.5,3.9\n", {}, {{50000.5}, {3.9}, {}, "", "HJD"}},
        {"t9.csv", "\"BJD_TDB\",\"Mag\"\n2450000.5,\" 3.9 \"\n", {}, {{50000.5}, {3.9}, {}, "", "BJD_TDB"}},
    });
}

TEST(Tables, SurveyDownloads)
{
    // The time column of each layout, with full, reduced and modified
    // Julian dates; flags; bands under their survey names.
    ReadOneCurveCases({
        {"ztf.csv",
         "oid,expid,hjd,mjd,mag,magerr,catflags,filtercode,ra,dec\n"
         "633,1,2458300.61,58300.11,15.10,0.02,0,zr,10.1,20.2\n"
         "633,2,2458301.62,58301.12,15.30,0.02,32768,zr,10.1,20.2\n"
         "633,3,2458302.63,58302.13,15.90,0.03,0,zg,10.1,20.2\n"
         "633,4,2458303.64,58303.14,15.20,0.02,0,zr,10.1,20.2\n",
         {},
         {{58300.61, 58303.64}, {15.10, 15.20}, {0.02, 0.02}, "zr", "HJD", 0, 1, 0, 1, "633"}},
        {"mjd.csv", "mjd,mag,magerr,filter\n58300.0,15.1,0.02,g\n58301.25,15.2,0.03,g\n", {},
         {{58300.5, 58301.75}, {15.1, 15.2}, {0.02, 0.03}, "g"}},
        {"alerts.csv", "obsjd,magpsf,sigmapsf,fid\n2458300.7,18.2,0.1,1\n2458301.7,18.4,0.12,2\n", {},
         {{58300.7, 58301.7}, {18.2, 18.4}, {0.1, 0.12}}},
        {"asassn.csv",
         "HJD,UT Date,Camera,FWHM,Limit,mag,mag_err,flux(mJy),flux_err,Filter\n"
         "2458000.1,2017-09-03.6,bd,1.5,17.2,12.5,0.01,33.5,0.3,V\n"
         "2458001.1,2017-09-04.6,bd,1.6,17.0,>17.0,99.99,0.1,0.3,V\n"
         "2458002.1,2017-09-05.6,bd,1.5,17.2,12.6,0.01,33.0,0.3,V\n",
         {},
         {{58000.1, 58002.1}, {12.5, 12.6}, {0.01, 0.01}, "V", "HJD", 1}},
        // A letter for good and bad rows.
        {"quality.csv", "jd,mag,mag_err,quality\n2459000.1,12.5,0.01,G\n2459000.2,12.6,0.01,B\n2459000.3,12.7,,0\n",
         {},
         {{59000.1, 59000.3}, {12.5, 12.7}, {0.01, NaN}, "", "JD", 0, 0, 0, 1}},
        {"autocorr.csv", "mjd,mag_autocorr,sigma\n58300.0,15.1,0.02\n", {}, {{58300.5}, {15.1}, {0.02}}},
        // A spreadsheet: semicolons, decimal commas, a header.
        {"sheet.csv", "JD;Mag;Err;Band\n2450000,5;3,9;0,1;V\n2450001,25;4;;V\n", {},
         {{50000.5, 50001.25}, {3.9, 4.0}, {0.1, NaN}, "V"}},
        {"sheet.txt", "HJD;Magnitude\n2450000.5;3.9\n", {}, {{50000.5}, {3.9}, {}, "", "HJD"}},
    });
}

struct StarExpected {
    std::string name;
    std::vector<double> time;
    std::string band;
    long otherBands;
    std::string refusal;
};

void ExpectStars(const std::string &content, const ReadChoices &choices, const std::vector<StarExpected> &stars)
{
    ScratchFolder folder;
    const LightCurveReading reading = ReadLightCurves(folder.Write("stars.csv", content), choices);
    ASSERT_FALSE(ReadFailed(reading)) << reading.error.message;
    ASSERT_EQ(reading.curves.size(), stars.size()) << content;
    ASSERT_EQ(reading.refusals.size(), stars.size());
    for (std::size_t i = 0; i < stars.size(); ++i) {
        EXPECT_EQ(reading.curves[i].name, stars[i].name);
        ExpectValues(reading.curves[i].time, stars[i].time, stars[i].name);
        EXPECT_EQ(reading.curves[i].magnitude.size(), reading.curves[i].time.size());
        EXPECT_EQ(reading.curves[i].band, stars[i].band) << stars[i].name;
        EXPECT_EQ(reading.curves[i].skippedOtherBands, stars[i].otherBands) << stars[i].name;
        EXPECT_EQ(reading.refusals[i], stars[i].refusal) << stars[i].name;
    }
}

TEST(Stars, InterleavedRowsGiveOneCurveAStarInTheOrderFirstMet)
{
    ExpectStars("Name,JD,Mag,Band\n"
                "S Ori,2450000.5,9.1,V\n"
                "R Leo,2450000.6,6.0,Vis.\n"
                "S Ori,2450001.5,9.2,B\n"
                "R Leo,2450001.6,6.1,V\n"
                "S Ori,2450002.5,9.3,V\n"
                "R Leo,2450002.6,6.2,Visual\n",
                {},
                {{"S Ori", {50000.5, 50002.5}, "V", 1, ""}, {"R Leo", {50000.6, 50002.6}, "Vis.", 1, ""}});
}

TEST(Stars, TheUsualColumnNamesAndOneNamedByChoice)
{
    for (const char *name : {"name", "STAR", "Object", "objectid", "oid", "source_id"})
        ExpectStars(std::string(name) + ",jd,mag\nA,2450000.5,1\nB,2450000.6,2\nA,2450001.5,3\n", {},
                    {{"A", {50000.5, 50001.5}, "", 0, ""}, {"B", {50000.6}, "", 0, ""}});
    ReadChoices choices;
    choices.starColumn = "designation";
    ExpectStars("JD,Designation,Mag,Name\n2450000.5,A,1,x\n2450000.6,B,2,x\n", choices,
                {{"A", {50000.5}, "", 0, ""}, {"B", {50000.6}, "", 0, ""}});
}

TEST(Stars, AFaultInOneStarRefusesThatStarOnly)
{
    ReadChoices band = WithBand("V");
    ExpectStars("oid,jd,mag,band\n"
                "1,2450000.5,10.1,V\n"
                "2,2450000.6,11.1,V\n"
                "2,2450000.7,11.x,V\n"
                "3,2450000.8,12.1,R\n"
                "1,2450001.5,10.2,V\n",
                band,
                {{"1", {50000.5, 50001.5}, "V", 0, ""},
                 {"2", {}, "V", 0, "bad data format on line 4"},
                 {"3", {}, "V", 1, "the table has no estimates in the band V"}});
}

TEST(Stars, TooManyEstimatesAreCountedForEachStar)
{
    ReadChoices choices;
    choices.maximumEstimates = 2;
    ExpectStars("oid,jd,mag\n1,2450000.5,1\n2,2450000.5,1\n1,2450001.5,1\n2,2450001.5,1\n1,2450002.5,1\n", choices,
                {{"1", {}, "", 0, "too many estimates: at most 2 records"}, {"2", {50000.5, 50001.5}, "", 0, ""}});
}

struct RefusalCase {
    const char *file;
    const char *content;
    ReadChoices choices;
    const char *message;
    int runError;
    long line;
};

TEST(Refusals, TheBatchRunsTexts)
{
    ReadChoices helio;
    helio.timeConversion = ConvertToHeliocentric;
    ReadChoices two;
    two.maximumEstimates = 2;
    ReadChoices named;
    named.starColumn = "Designation";
    const RefusalCase cases[] = {
        {"a.csv", "Date,Magnitude\n1,2\n", {}, "the table has no time column (JD, HJD or BJD)", 0, 1},
        {"b.csv", "JD,Brightness\n1,2\n", {}, "the table has no magnitude column (Magnitude or Mag)", 0, 1},
        {"c.csv", "JD,Mag\n2450000.5,3.9\n", WithBand("V"),
         "the table has no band column (Band or Filter); --band cannot be used", 0, 0},
        {"d.csv", "JD,Mag,Band\n2450000.5,3.9,B\n", WithBand("V"), "the table has no estimates in the band V", 0, 0},
        {"e.csv", "JD,Mag\n2450000.5,3.9\n2450001.5,4.x\n", {}, "bad data format on line 3", 0, 3},
        {"f.csv", "HJD,Mag\n2450000.5,3.9\n", helio, "the times of the file are HJD already; a second conversion is refused",
         0, 0},
        {"g.csv", "JD,Mag\n", {}, "the file holds no estimate", 0, 0},
        {"h.csv", "JD,Mag\n2450000.5,3.9\n", named, "the table has no column Designation", 0, 1},
        {"i.dat", "951309 18.09 3.9\n", {}, "bad data format on line 1", 0, 1},
        {"j.dat", "951009 18.09 3.9\n951009 18.61 3.9\n", {}, "bad data format on line 2", 0, 2},
        {"k.dat", "", {}, "the file holds no estimate", 0, 0},
        {"l.dat", "951009 18.09 3.9\n", WithBand("V"), "--band applies to tables only", 0, 0},
        {"m.dat", "951009 18.09 3.9\n951009 18.10 3.9\n951009 18.11 3.9\n", two,
         "too many estimates: at most 2 records", 0, 0},
        // A number that cannot be read is kalidor's run-time error 106.
        {"n.dat", "951009 18.09 3,9\n", {}, "invalid numeric format on line 1", 106, 1},
        {"o.dat", "951009 18.09 3.9\n\n", {}, "invalid numeric format on line 2", 106, 2},
        {"p.jud", "50000.5 3.9\n50001.5 1e999\n", {}, "bad data format on line 2", 0, 2},
        {"q.jud", "50000.5\n", {}, "invalid numeric format on line 1", 106, 1},
        {"r.jud", "-5000000 3.9\n", helio, "the time -5000000.000 cannot be converted to HJD", 0, 1},
    };
    ScratchFolder folder;
    for (const RefusalCase &c : cases) {
        const std::string path = folder.Write(c.file, c.content);
        const LightCurveReading reading = ReadLightCurves(path, c.choices);
        EXPECT_TRUE(ReadFailed(reading)) << c.file;
        EXPECT_EQ(reading.error.message, c.message) << c.file;
        EXPECT_EQ(reading.error.runError, c.runError) << c.file;
        EXPECT_EQ(reading.error.line, c.line) << c.file;
        EXPECT_EQ(reading.error.file, path) << c.file;
        EXPECT_TRUE(reading.curves.empty()) << c.file;
    }
}

TEST(Refusals, FilesThatCannotBeRead)
{
    ScratchFolder folder;
    const std::string missing = folder.PathOf("missing.dat");
    LightCurveReading reading = ReadLightCurves(missing, {});
    EXPECT_EQ(reading.error.message, "cannot open " + missing + ": No such file or directory");
    EXPECT_EQ(reading.error.runError, 2);
    ReadChoices table;
    table.form = TableForm;
    reading = ReadLightCurves(missing, table);
    EXPECT_EQ(reading.error.runError, 2);
    // A folder opens but cannot be read.
    reading = ReadLightCurves(folder.path, {});
    EXPECT_EQ(reading.error.runError, 5) << reading.error.message;
    // A file without line ends is refused at its first line, not read on.
    reading = ReadLightCurves("/dev/zero", table);
    EXPECT_EQ(reading.error.message, "bad data format on line 1");
    // A line too long for any row, in a table of stars: no star can be told.
    const std::string longLine = "S," + std::string(70000, '7') + ",1\n";
    reading = ReadLightCurves(folder.Write("long.csv", "name,jd,mag\nS,2450000.5,1\n" + longLine), {});
    EXPECT_EQ(reading.error.message, "bad data format on line 3");
    EXPECT_EQ(reading.error.line, 3);
}

TEST(Forms, RecognisedByContent)
{
    const struct {
        const char *file;
        const char *content;
        InputForm form;
    } cases[] = {
        {"a.fits", "SIMPLE  =                    T", FitsForm},
        {"fits.dat", "SIMPLE  =                    T", FitsForm}, // content, not name
        {"a.jud", "50000.5 3.9\n", JulianDateFileForm},
        {"b.dat", "951009 18.09 3.9\n", ObservationFileForm},
        {"c.dat", "2453000.2292\t3.7\t\n", TableForm},
        {"d.txt", "JD;Mag\n", TableForm},
        {"e.txt", "oid\tmjd\tmag\n", TableForm},
        {"f.txt", "Date Time Mag\n", ObservationFileForm},
    };
    ScratchFolder folder;
    for (const auto &c : cases)
        EXPECT_EQ(InputFormOf(folder.Write(c.file, c.content)), c.form) << c.file;
    EXPECT_EQ(InputFormOf(folder.Write("g.txt", "oid\tmjd\tmag\n"), false), ObservationFileForm);
}

} // namespace
