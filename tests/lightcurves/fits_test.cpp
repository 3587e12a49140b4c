// FITS light curves in the mission layout, written here by cfitsio: times
// to BJD_TDB, fluxes to magnitudes or relative fluxes, quality flags and
// missing values skipped and counted, sectors joined, refusals.
#include <gtest/gtest.h>

#include <cmath>
#include <fitsio.h>
#include <vector>

#include "lightcurves.h"
#include "scratch_folder.h"

namespace {

const float NaN = std::nanf("");

struct FitsRow {
    double time;
    float sap, sapError, pdcsap, pdcsapError;
    int quality;
};

struct FitsLayout {
    std::string object = "TIC 25155310";
    long bjdRefI = 2457000;
    double bjdRefF = 0;
    std::string timeSys = "TDB";
    bool pdcsap = true;       // the PDCSAP columns are there
    bool reference = true;    // BJDREFI is there
};

// Writes a light-curve file as the missions lay it out: an empty primary
// array with OBJECT, then the table LIGHTCURVE with its keys.
bool WriteLightCurveFits(const std::string &path, const std::vector<FitsRow> &rows, const FitsLayout &layout)
{
    fitsfile *file = nullptr;
    int status = 0;
    fits_create_diskfile(&file, path.c_str(), &status);
    fits_create_img(file, BYTE_IMG, 0, nullptr, &status);
    fits_update_key(file, TSTRING, "OBJECT", const_cast<char *>(layout.object.c_str()), "", &status);
    std::vector<const char *> names = {"TIME", "TIMECORR", "SAP_FLUX", "SAP_FLUX_ERR", "QUALITY"};
    std::vector<const char *> forms = {"D", "E", "E", "E", "J"};
    if (layout.pdcsap) {
        names.insert(names.end(), {"PDCSAP_FLUX", "PDCSAP_FLUX_ERR"});
        forms.insert(forms.end(), {"E", "E"});
    }
    fits_create_tbl(file, BINARY_TBL, 0, static_cast<int>(names.size()), const_cast<char **>(names.data()),
                    const_cast<char **>(forms.data()), nullptr, "LIGHTCURVE", &status);
    if (layout.reference)
        fits_update_key(file, TLONG, "BJDREFI", const_cast<long *>(&layout.bjdRefI), "", &status);
    fits_update_key(file, TDOUBLE, "BJDREFF", const_cast<double *>(&layout.bjdRefF), "", &status);
    fits_update_key(file, TSTRING, "TIMESYS", const_cast<char *>(layout.timeSys.c_str()), "", &status);
    fits_update_key(file, TSTRING, "TIMEUNIT", const_cast<char *>("d"), "", &status);
    fits_update_key(file, TSTRING, "TIMEREF", const_cast<char *>("SOLARSYSTEM"), "", &status);
    const long long n = static_cast<long long>(rows.size());
    std::vector<double> time;
    std::vector<float> zero(rows.size(), 0), sap, sapError, pdcsap, pdcsapError;
    std::vector<int> quality;
    for (const FitsRow &row : rows) {
        time.push_back(row.time);
        sap.push_back(row.sap);
        sapError.push_back(row.sapError);
        pdcsap.push_back(row.pdcsap);
        pdcsapError.push_back(row.pdcsapError);
        quality.push_back(row.quality);
    }
    fits_write_col(file, TDOUBLE, 1, 1, 1, n, time.data(), &status);
    fits_write_col(file, TFLOAT, 2, 1, 1, n, zero.data(), &status);
    fits_write_col(file, TFLOAT, 3, 1, 1, n, sap.data(), &status);
    fits_write_col(file, TFLOAT, 4, 1, 1, n, sapError.data(), &status);
    fits_write_col(file, TINT, 5, 1, 1, n, quality.data(), &status);
    if (layout.pdcsap) {
        fits_write_col(file, TFLOAT, 6, 1, 1, n, pdcsap.data(), &status);
        fits_write_col(file, TFLOAT, 7, 1, 1, n, pdcsapError.data(), &status);
    }
    fits_close_file(file, &status);
    return status == 0;
}

// A sector: a good row, a flagged one, a missing flux, a missing time, a
// negative flux, and two more good rows; fluxes around 'level'.
std::vector<FitsRow> Sector(double start, float level)
{
    return {
        {start + 0.0, 1.00f * level, 2, 1.000f * level, 1.0f, 0},
        {start + 0.1, 1.05f * level, 2, 1.500f * level, 1.0f, 128},
        {start + 0.2, 1.02f * level, 2, NaN, NaN, 0},
        {std::nan(""), 1.01f * level, 2, 1.010f * level, 1.0f, 0},
        {start + 0.4, 0.10f * level, 2, -0.05f * level, 1.0f, 0},
        {start + 0.5, 0.99f * level, 2, 1.100f * level, 1.5f, 0},
        {start + 0.6, 1.01f * level, 2, 0.900f * level, 1.2f, 0},
    };
}

// The magnitude and its error of flux f with error e against median m.
double Magnitude(double f, double m) { return -2.5 * std::log10(f / m); }
double MagnitudeError(double f, double e) { return 2.5 / std::log(10.0) * e / f; }

TEST(Fits, TimesFluxesAndSkippedRows)
{
    ScratchFolder folder;
    const std::string path = folder.PathOf("sector1.fits");
    ASSERT_TRUE(WriteLightCurveFits(path, Sector(1325.2934527, 1000), {}));
    const LightCurveReading reading = ReadLightCurves(path, {});
    ASSERT_FALSE(ReadFailed(reading)) << reading.error.message;
    ASSERT_EQ(reading.curves.size(), 1u);
    const LightCurve &curve = reading.curves[0];
    EXPECT_EQ(curve.name, "TIC 25155310");
    EXPECT_EQ(curve.timeScale, "BJD_TDB");
    EXPECT_EQ(curve.fluxColumn, "PDCSAP_FLUX");
    EXPECT_EQ(curve.filesJoined, 1);
    EXPECT_FALSE(curve.relativeFlux);
    EXPECT_EQ(curve.skippedFlagged, 1);
    EXPECT_EQ(curve.skippedEmpty, 2);
    EXPECT_EQ(curve.skippedNonPositiveFlux, 1);
    // The median of the fluxes kept before the negative one is left out:
    // of 1000, -50, 1100 and 900.
    const double m = (900.0 + 1000.0) / 2;
    const double expectedTime[] = {58325.2934527, 58325.7934527, 58325.8934527};
    const double flux[] = {1000, 1100, 900};
    const double error[] = {1.0, 1.5, static_cast<double>(1.2f)};
    ASSERT_EQ(curve.time.size(), 3u);
    ASSERT_EQ(curve.uncertainty.size(), 3u);
    for (int i = 0; i < 3; ++i) {
        EXPECT_NEAR(curve.time[i], expectedTime[i], 1e-8) << i;
        EXPECT_NEAR(curve.magnitude[i], Magnitude(flux[i], m), 1e-12) << i;
        EXPECT_NEAR(curve.uncertainty[i], MagnitudeError(flux[i], error[i]), 1e-12) << i;
    }
}

TEST(Fits, SimpleApertureFluxAndRelativeFluxByChoice)
{
    ScratchFolder folder;
    const std::string path = folder.PathOf("s.fits");
    ASSERT_TRUE(WriteLightCurveFits(path, Sector(100, 2000), {}));
    ReadChoices sap;
    sap.flux = SapFlux;
    LightCurveReading reading = ReadLightCurves(path, sap);
    ASSERT_FALSE(ReadFailed(reading)) << reading.error.message;
    // SAP: the rows of the flag and the missing time are out; the median
    // of 2000, 2040, 200, 1980, 2020 is 2000.
    const LightCurve &curve = reading.curves[0];
    EXPECT_EQ(curve.fluxColumn, "SAP_FLUX");
    EXPECT_EQ(curve.skippedEmpty, 1);
    ASSERT_EQ(curve.time.size(), 5u);
    EXPECT_NEAR(curve.magnitude[1], Magnitude(2040, 2000), 1e-6);
    EXPECT_NEAR(curve.magnitude[2], Magnitude(200, 2000), 1e-6);

    ReadChoices relative;
    relative.fluxUnits = FluxRelative;
    reading = ReadLightCurves(path, relative);
    ASSERT_FALSE(ReadFailed(reading)) << reading.error.message;
    // Relative flux keeps the negative one: median of 2000, -100, 2200, 1800.
    const LightCurve &flux = reading.curves[0];
    EXPECT_TRUE(flux.relativeFlux);
    EXPECT_EQ(flux.skippedNonPositiveFlux, 0);
    const double median = 1900;
    const std::vector<double> expected = {2000 / median, -100 / median, 2200 / median, 1800 / median};
    ASSERT_EQ(flux.magnitude.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i)
        EXPECT_NEAR(flux.magnitude[i], expected[i], 1e-12) << i;
    EXPECT_NEAR(flux.uncertainty[3], 1.2 / median, 1e-9);
}

TEST(Fits, SectorsJoinedEachByItsOwnMedian)
{
    ScratchFolder folder;
    std::vector<std::string> paths;
    const float levels[] = {1000, 4000, 250};
    const double starts[] = {1325.5, 1353.25, 1381.125};
    FitsLayout layout;
    layout.bjdRefI = 2454833;
    layout.bjdRefF = 0.00069444;
    for (int s = 0; s < 3; ++s) {
        paths.push_back(folder.PathOf("sector" + std::to_string(s) + ".fits"));
        ASSERT_TRUE(WriteLightCurveFits(paths.back(), Sector(starts[s], levels[s]), layout));
    }
    const LightCurveReading reading = ReadJoinedLightCurve(paths, {});
    ASSERT_FALSE(ReadFailed(reading)) << reading.error.message;
    ASSERT_EQ(reading.curves.size(), 1u);
    const LightCurve &curve = reading.curves[0];
    EXPECT_EQ(curve.filesJoined, 3);
    EXPECT_EQ(curve.file, paths[0] + ", " + paths[1] + ", " + paths[2]);
    EXPECT_EQ(curve.skippedFlagged, 3);
    EXPECT_EQ(curve.skippedEmpty, 6);
    EXPECT_EQ(curve.skippedNonPositiveFlux, 3);
    ASSERT_EQ(curve.time.size(), 9u);
    ASSERT_EQ(curve.uncertainty.size(), 9u);
    // The same shape at every level gives the same magnitudes.
    const double offsets[] = {0, 0.5, 0.6};
    for (int s = 0; s < 3; ++s)
        for (int i = 0; i < 3; ++i) {
            const std::size_t k = static_cast<std::size_t>(3 * s + i);
            const long double expected = (2454833.0L - 2400000) + 0.00069444L + starts[s] + offsets[i];
            EXPECT_NEAR(curve.time[k], static_cast<double>(expected), 1e-8) << k;
            EXPECT_NEAR(curve.magnitude[k], curve.magnitude[static_cast<std::size_t>(i)], 1e-6) << k;
        }
    EXPECT_NEAR(curve.magnitude[1], Magnitude(1.1, 0.95), 1e-6);
}

TEST(Fits, Refusals)
{
    ScratchFolder folder;
    const std::string good = folder.PathOf("good.fits");
    ASSERT_TRUE(WriteLightCurveFits(good, Sector(1, 1000), {}));
    FitsLayout other;
    other.object = "TIC 1";
    const std::string otherStar = folder.PathOf("other.fits");
    ASSERT_TRUE(WriteLightCurveFits(otherStar, Sector(30, 1000), other));
    FitsLayout utc;
    utc.timeSys = "UTC";
    const std::string utcTimes = folder.PathOf("utc.fits");
    ASSERT_TRUE(WriteLightCurveFits(utcTimes, Sector(1, 1000), utc));
    FitsLayout noReference;
    noReference.reference = false;
    const std::string unreferenced = folder.PathOf("noref.fits");
    ASSERT_TRUE(WriteLightCurveFits(unreferenced, Sector(1, 1000), noReference));
    FitsLayout sapOnly;
    sapOnly.pdcsap = false;
    const std::string onlySap = folder.PathOf("sap.fits");
    ASSERT_TRUE(WriteLightCurveFits(onlySap, Sector(1, 1000), sapOnly));
    const std::string flagged = folder.PathOf("flagged.fits");
    ASSERT_TRUE(WriteLightCurveFits(flagged, {{1, 1, 1, 1, 1, 4}, {2, 1, 1, 1, 1, 4}}, {}));
    const std::string image = folder.PathOf("image.fits");
    {
        fitsfile *file = nullptr;
        int status = 0;
        long size[2] = {4, 4};
        fits_create_diskfile(&file, image.c_str(), &status);
        fits_create_img(file, SHORT_IMG, 2, size, &status);
        fits_close_file(file, &status);
        ASSERT_EQ(status, 0);
    }
    const std::string text = folder.Write("text.dat", "951009 18.09 3.9\n");

    ReadChoices barycentric;
    barycentric.timeConversion = ConvertToBarycentric;
    const struct {
        std::vector<std::string> paths;
        ReadChoices choices;
        std::string message;
    } cases[] = {
        {{good}, barycentric, "the times of the file are BJD_TDB already; a second conversion is refused"},
        {{utcTimes}, {}, "the FITS light curve's times are not TDB (TIMESYS UTC)"},
        {{unreferenced}, {}, "the FITS light curve has no time reference (BJDREFI)"},
        {{onlySap}, {}, "the FITS light curve has no PDCSAP_FLUX column"},
        {{flagged}, {}, "the file holds no estimate"},
        {{image}, {}, "the file is no FITS light curve (a table with TIME and SAP_FLUX or PDCSAP_FLUX)"},
        {{good, otherStar}, {}, "the FITS files hold different stars: TIC 25155310 in " + good + ", TIC 1 in " + otherStar},
        {{good, text}, {}, "only FITS light curves can be joined: " + text + " is none"},
        {{good, utcTimes}, {}, "the FITS light curve's times are not TDB (TIMESYS UTC)"},
    };
    for (const auto &c : cases) {
        const LightCurveReading reading = ReadJoinedLightCurve(c.paths, c.choices);
        EXPECT_TRUE(ReadFailed(reading)) << c.message;
        EXPECT_EQ(reading.error.message, c.message);
        EXPECT_EQ(reading.error.runError, 0) << c.message;
        EXPECT_EQ(reading.error.file, c.paths.back()) << c.message;
        EXPECT_TRUE(reading.curves.empty());
    }
    const LightCurveReading missing = ReadJoinedLightCurve({good, folder.PathOf("none.fits")}, {});
    EXPECT_EQ(missing.error.runError, 2) << missing.error.message;
    // SAP alone is read when asked for.
    ReadChoices sap;
    sap.flux = SapFlux;
    EXPECT_FALSE(ReadFailed(ReadLightCurves(onlySap, sap)));
}

TEST(Fits, RecognisedByContentWhateverTheName)
{
    ScratchFolder folder;
    // Brackets are part of the name, not a filter of cfitsio's syntax.
    const std::string path = folder.PathOf("light[1].jud");
    ASSERT_TRUE(WriteLightCurveFits(path, Sector(1, 1000), {}));
    EXPECT_EQ(InputFormOf(path), FitsForm);
    const LightCurveReading reading = ReadLightCurves(path, {});
    ASSERT_FALSE(ReadFailed(reading)) << reading.error.message;
    EXPECT_EQ(reading.curves[0].time.size(), 3u);
}

} // namespace
