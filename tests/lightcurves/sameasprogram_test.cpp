// The readers give what kalidor's own reading gives: the same times,
// magnitudes, band, time scale and skipped counts for the real files kept
// with the tests, with and without time conversions and bands; and the
// same refusal texts as its batch run writes.
#include <gtest/gtest.h>

#include <unistd.h>

#include <vector>

#include "kalidor.h"
#include "lightcurves.h"
#include "options.h"
#include "run_kalidor.h"
#include "scratch_folder.h"

namespace {

// delta Cep, J2000: one star for every conversion, as the program keeps
// the direction of its first one.
const double StarHours = 22.48618611;
const double StarDegrees = 58.41519444;

struct ProgramCase {
    const char *file;
    const char *band;
    TimeConversion conversion;
};

TimeConversionChoice ChoiceOf(TimeConversion conversion)
{
    return conversion == HeliocentricTime ? ConvertToHeliocentric
                                          : conversion == BarycentricTime ? ConvertToBarycentric : ConvertNoTimes;
}

// The program's reading of 'file' in the current folder.
void ReadAsTheProgramDoes(const ProgramCase &c)
{
    Options = RunOptions();
    Options.band = c.band;
    Options.timeConversion = c.conversion;
    Options.starHours = StarHours;
    Options.starDegrees = StarDegrees;
    BatchRun = true;
    Input = InputSummary();
    SetInputName(c.file);
    ObtainObservations();
}

void ExpectSameAsProgram(const ProgramCase &c, const LightCurve &curve, const std::string &label)
{
    ASSERT_EQ(static_cast<long>(curve.time.size()), ObservationCount) << label;
    ASSERT_EQ(curve.magnitude.size(), curve.time.size()) << label;
    for (int i = 0; i < ObservationCount; ++i) {
        ASSERT_EQ(curve.time[static_cast<std::size_t>(i)], JulianDates[i + 1]) << label << " time " << i;
        ASSERT_EQ(curve.magnitude[static_cast<std::size_t>(i)], Magnitudes[i + 1]) << label << " magnitude " << i;
    }
    EXPECT_EQ(curve.band, Input.band) << label;
    EXPECT_EQ(curve.timeScale, Input.timeScale) << label;
    EXPECT_EQ(curve.skippedLimits, Input.skippedLimits) << label;
    EXPECT_EQ(curve.skippedOtherBands, Input.skippedOtherBands) << label;
    EXPECT_EQ(curve.skippedEmpty, Input.skippedEmpty) << label;
    (void)c;
}

void CompareWithProgram(const ScratchFolder &folder, const std::vector<ProgramCase> &cases, bool surveyColumns)
{
    char previous[4096];
    ASSERT_NE(getcwd(previous, sizeof previous), nullptr);
    ASSERT_EQ(chdir(folder.path.c_str()), 0);
    for (const ProgramCase &c : cases) {
        const std::string label = std::string(c.file) + " band '" + c.band + "' conversion " +
                                  std::to_string(static_cast<int>(c.conversion));
        ReadChoices choices;
        choices.band = c.band;
        choices.timeConversion = ChoiceOf(c.conversion);
        choices.starHours = StarHours;
        choices.starDegrees = StarDegrees;
        choices.surveyColumns = surveyColumns;
        const LightCurveReading reading = ReadLightCurves(c.file, choices);
        ASSERT_FALSE(ReadFailed(reading)) << label << ": " << reading.error.message;
        ASSERT_EQ(reading.curves.size(), 1u) << label;
        ReadAsTheProgramDoes(c);
        ExpectSameAsProgram(c, reading.curves[0], label);
        EXPECT_TRUE(reading.curves[0].uncertainty.empty() ||
                    reading.curves[0].uncertainty.size() == reading.curves[0].time.size())
            << label;
    }
    ASSERT_EQ(chdir(previous), 0);
}

TEST(SameAsProgram, TheRealFilesOfTheTests)
{
    ScratchFolder folder;
    for (const char *name : {"delcep.dat", "delcep.tsv", "sscyg-sample.csv", "tcas.jud", "sori.jud"})
        folder.Write(name, FileContent(std::string(TEST_DATA) + "/" + name));
    const std::vector<ProgramCase> cases = {
        {"delcep.dat", "", NoTimeConversion},       {"delcep.dat", "", HeliocentricTime},
        {"delcep.dat", "", BarycentricTime},        {"tcas.jud", "", NoTimeConversion},
        {"tcas.jud", "", HeliocentricTime},         {"sori.jud", "", NoTimeConversion},
        {"sori.jud", "", BarycentricTime},          {"delcep.tsv", "", NoTimeConversion},
        {"delcep.tsv", "", HeliocentricTime},       {"delcep.tsv", "", BarycentricTime},
        {"sscyg-sample.csv", "", NoTimeConversion}, {"sscyg-sample.csv", "V", NoTimeConversion},
        {"sscyg-sample.csv", "Vis.", NoTimeConversion}, {"sscyg-sample.csv", "Visual", NoTimeConversion},
        {"sscyg-sample.csv", "R", BarycentricTime}, {"sscyg-sample.csv", "", HeliocentricTime},
    };
    CompareWithProgram(folder, cases, true);
    CompareWithProgram(folder, cases, false);
}

TEST(SameAsProgram, HeaderTablesTheProgramReads)
{
    ScratchFolder folder;
    folder.Write("aavso.csv", "JD,Magnitude,Uncertainty,HQuncertainty,Band,Observer Code,Star Name\n"
                              "2450000.5,3.9,0.1,,V,ABC,SS Cyg\n"
                              "2450001.5,<4.2,,,V,ABC,SS Cyg\n"
                              "2450002.5,4.0,0.2,,Vis.,X,SS Cyg\n"
                              "2450003.5,4.1,,,Visual,Y,SS Cyg\n"
                              "2450004.5,,,,V,,SS Cyg\n"
                              "\n"
                              "2450005.5,4.4,,,B,,SS Cyg\n");
    folder.Write("asassn.csv", "HJD,UT Date,Camera,FWHM,Limit,mag,mag_err,flux(mJy),flux_err,Filter\n"
                               "2458000.1,2017-09-03.6,bd,1.5,17.2,12.5,0.01,33.5,0.3,V\n"
                               "2458001.1,2017-09-04.6,bd,1.6,17.0,>17.0,99.99,0.1,0.3,V\n"
                               "2458002.1,2017-09-05.6,bd,1.5,17.2,12.6,0.01,33.0,0.3,g\n"
                               "2458003.1,2017-09-05.6,bd,1.5,17.2,12.7,0.01,33.0,0.3,V\n");
    folder.Write("blanks.txt", "  JD   Mag  Filter\n2450000.5 3.9 V\n2450001.5 4.0 V\n2450002.5 4.0 R\n");
    CompareWithProgram(folder,
                       {{"aavso.csv", "", NoTimeConversion},
                        {"aavso.csv", "V", HeliocentricTime},
                        {"asassn.csv", "", NoTimeConversion},
                        {"asassn.csv", "g", NoTimeConversion},
                        {"blanks.txt", "", BarycentricTime}},
                       true);
    // A survey's download as the program reads it today: one band, no
    // flags, no stars; the readers do the same when told to use only the
    // program's names.
    folder.Write("ztf.csv", "oid,expid,hjd,mjd,mag,magerr,catflags,filtercode\n"
                            "633,1,2458300.61,58300.11,15.10,0.02,0,zr\n"
                            "634,2,2458301.62,58301.12,15.30,0.02,32768,zr\n"
                            "633,3,2458302.63,58302.13,15.90,0.03,0,zg\n");
    CompareWithProgram(folder, {{"ztf.csv", "", NoTimeConversion}}, false);
}

// The refusals: the readers' text is what the batch run writes after
// "kalidor: ", and the run-time error code is its exit status.
TEST(SameAsProgram, RefusalsAsTheBatchRunWritesThem)
{
    const struct {
        const char *file;
        const char *content;
        std::vector<std::string> options;
    } cases[] = {
        {"a.csv", "Date,Magnitude\n1,2\n", {}},
        {"b.csv", "JD,Brightness\n1,2\n", {}},
        {"c.csv", "JD,Mag\n2450000.5,3.9\n", {"--band", "V"}},
        {"d.csv", "JD,Mag,Band\n2450000.5,3.9,B\n", {"--band", "V"}},
        {"e.csv", "JD,Mag\n2450000.5,3.9\n2450001.5,4.x\n", {}},
        {"f.csv", "HJD,Mag\n2450000.5,3.9\n", {"--heliocentric", "22:29:10", "+58:24:55"}},
        {"g.csv", "JD,Mag\n", {}},
        {"h.csv", "JD,Mag,Band\n2450000.5,3.9,V\n2450001.5,3.9,V\n2450002.5,3.9,V\n2450003.5,4.x,B\n", {"--band", "V"}},
        {"i.dat", "951309 18.09 3.9\n", {}},
        {"j.dat", "951009 18.09 3.9\n951009 18.61 3.9\n", {}},
        {"k.dat", "", {}},
        {"l.dat", "951009 18.09 3.9\n", {"--band", "V"}},
        {"m.dat", "951009 18.09 3,9\n", {}},
        {"n.dat", "951009 18.09 3.9\n\n", {}},
        {"o.jud", "50000.5 3.9\n50001.5 1e999\n", {}},
        {"p.jud", "-5000000 3.9\n", {"--barycentric", "22:29:10", "+58:24:55"}},
        {"q.dat", "19951009 18.09 1e400\n", {}},
    };
    ScratchFolder folder;
    std::vector<pid_t> runs;
    for (const auto &c : cases) {
        folder.Write(c.file, c.content);
        std::vector<std::string> args = {"--periods", "1:10"};
        args.insert(args.end(), c.options.begin(), c.options.end());
        args.push_back(c.file);
        runs.push_back(StartProgram(KALIDOR, args, folder.path, "/dev/null", folder.PathOf(std::string(c.file) + ".out"),
                                    folder.PathOf(std::string(c.file) + ".err")));
    }
    for (std::size_t i = 0; i < runs.size(); ++i) {
        const auto &c = cases[i];
        const int status = WaitProgram(runs[i]);
        ReadChoices choices;
        for (std::size_t k = 0; k < c.options.size(); ++k)
            if (c.options[k] == "--band")
                choices.band = c.options[k + 1];
            else if (c.options[k] == "--heliocentric")
                choices.timeConversion = ConvertToHeliocentric;
            else if (c.options[k] == "--barycentric")
                choices.timeConversion = ConvertToBarycentric;
        const LightCurveReading reading = ReadLightCurves(folder.PathOf(c.file), choices);
        ASSERT_TRUE(ReadFailed(reading)) << c.file;
        if (reading.error.runError == 0) {
            EXPECT_EQ(status, 1) << c.file;
            const std::string message = reading.error.message;
            EXPECT_EQ(FileContent(folder.PathOf(std::string(c.file) + ".err")), "kalidor: " + message + "\n")
                << c.file;
        } else {
            EXPECT_EQ(status, reading.error.runError) << c.file;
            EXPECT_EQ(FileContent(folder.PathOf(std::string(c.file) + ".out")).compare(0, 14, "Runtime error "), 0)
                << c.file;
        }
    }
}

} // namespace
