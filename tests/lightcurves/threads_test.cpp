// Many files read from several threads at once give the values that reading
// them one at a time gives: the readers keep nothing between calls (the time
// conversions' ephemeris days are each thread's own).
#include <gtest/gtest.h>

#include <fitsio.h>

#include <atomic>
#include <cmath>
#include <thread>
#include <vector>

#include "lightcurves.h"
#include "scratch_folder.h"

namespace {

// A made-up star's estimates in one of the text forms.
std::string TextFile(int star, int form)
{
    std::string text;
    if (form == 1)
        text = "name,jd,mag,magerr,band\n";
    for (int i = 0; i < 120; ++i) {
        const double jd = 2451000.5 + 37.1 * star + 0.731 * i;
        const double mag = 10 + std::sin(0.37 * i + star);
        char line[160];
        if (form == 0) // an observation file: dates of 1998 and on, times hh.mm
            std::snprintf(line, sizeof line, "%02d%02d%02d %02d.%02d %.3f\n", 98, 1 + (i / 28) % 12,
                          1 + i % 28, i % 24, (i * 7) % 60, mag);
        else if (form == 1) // a table of three stars, interleaved
            std::snprintf(line, sizeof line, "S%d,%.5f,%.3f,%.3f,%s\n", i % 3, jd, mag, 0.01 + 0.001 * (i % 7),
                          i % 4 == 0 ? "B" : "V");
        else // a Julian-date file
            std::snprintf(line, sizeof line, "%.4f %.3f\n", jd - 2400000, mag);
        text += line;
    }
    return text;
}

bool WriteFits(const std::string &path, int star)
{
    fitsfile *file = nullptr;
    int status = 0;
    fits_create_diskfile(&file, path.c_str(), &status);
    fits_create_img(file, BYTE_IMG, 0, nullptr, &status);
    const std::string object = "TIC " + std::to_string(star);
    fits_update_key(file, TSTRING, "OBJECT", const_cast<char *>(object.c_str()), "", &status);
    const char *names[] = {"TIME", "PDCSAP_FLUX", "PDCSAP_FLUX_ERR", "QUALITY"};
    const char *forms[] = {"D", "E", "E", "J"};
    fits_create_tbl(file, BINARY_TBL, 0, 4, const_cast<char **>(names), const_cast<char **>(forms), nullptr,
                    "LIGHTCURVE", &status);
    long reference = 2457000;
    fits_update_key(file, TLONG, "BJDREFI", &reference, "", &status);
    fits_update_key(file, TSTRING, "TIMESYS", const_cast<char *>("TDB"), "", &status);
    std::vector<double> time, flux, error;
    std::vector<int> quality;
    for (int i = 0; i < 500; ++i) {
        time.push_back(1400 + 0.02 * i);
        flux.push_back(1000 + 50 * std::sin(0.1 * i + star));
        error.push_back(1 + 0.01 * i);
        quality.push_back(i % 17 == 0 ? 4 : 0);
    }
    fits_write_col(file, TDOUBLE, 1, 1, 1, 500, time.data(), &status);
    fits_write_col(file, TDOUBLE, 2, 1, 1, 500, flux.data(), &status);
    fits_write_col(file, TDOUBLE, 3, 1, 1, 500, error.data(), &status);
    fits_write_col(file, TINT, 4, 1, 1, 500, quality.data(), &status);
    fits_close_file(file, &status);
    return status == 0;
}

bool SameValues(const std::vector<double> &a, const std::vector<double> &b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (!(a[i] == b[i] || (std::isnan(a[i]) && std::isnan(b[i]))))
            return false;
    return true;
}

bool SameReading(const LightCurveReading &a, const LightCurveReading &b)
{
    if (a.error.message != b.error.message || a.curves.size() != b.curves.size() || a.refusals != b.refusals)
        return false;
    for (std::size_t i = 0; i < a.curves.size(); ++i) {
        const LightCurve &x = a.curves[i], &y = b.curves[i];
        if (!SameValues(x.time, y.time) || !SameValues(x.magnitude, y.magnitude) ||
            !SameValues(x.uncertainty, y.uncertainty) || x.name != y.name || x.band != y.band ||
            x.timeScale != y.timeScale || x.skippedOtherBands != y.skippedOtherBands ||
            x.skippedFlagged != y.skippedFlagged)
            return false;
    }
    return true;
}

TEST(Threads, ManyFilesAtOnceGiveTheValuesOfOneAtATime)
{
    ScratchFolder folder;
    struct Job {
        std::string path;
        ReadChoices choices;
    };
    std::vector<Job> jobs;
    for (int star = 0; star < 24; ++star) {
        Job job;
        const int form = star % 4;
        if (form == 3) {
            job.path = folder.PathOf("star" + std::to_string(star) + ".fits");
            ASSERT_TRUE(WriteFits(job.path, star));
        } else {
            job.path = folder.Write("star" + std::to_string(star) + (form == 2 ? ".jud" : ".txt"),
                                    TextFile(star, form));
        }
        // Each thread converts times of stars far apart in the sky and in
        // time, so that a shared ephemeris would be overwritten under it.
        if (form != 3) {
            job.choices.timeConversion = star % 2 == 0 ? ConvertToBarycentric : ConvertToHeliocentric;
            job.choices.starHours = star;
            job.choices.starDegrees = -80 + 7 * star;
        }
        jobs.push_back(job);
    }
    std::vector<LightCurveReading> alone;
    for (const Job &job : jobs) {
        alone.push_back(ReadLightCurves(job.path, job.choices));
        ASSERT_FALSE(ReadFailed(alone.back())) << job.path << ": " << alone.back().error.message;
    }
    std::atomic<int> mismatches(0);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&, t] {
            for (int round = 0; round < 2; ++round)
                for (std::size_t k = 0; k < jobs.size(); ++k) {
                    const std::size_t i = (k * 7 + static_cast<std::size_t>(t) * 5 + round) % jobs.size();
                    if (!SameReading(ReadLightCurves(jobs[i].path, jobs[i].choices), alone[i]))
                        ++mismatches;
                }
        });
    for (std::thread &thread : threads)
        thread.join();
    EXPECT_EQ(mismatches.load(), 0);
}

} // namespace
