// Observations for the tests of the methods: made-up light curves on the
// uneven sampling of a ground-based observer (nightly gaps, seasons) and
// the real delta Cep table kept with the tests.
#pragma once
#include <cmath>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

struct Observations {
    std::vector<double> t, y, w; // w empty: unweighted
};

// Times of 'seasons' observing seasons of 200 nights, a year apart: each
// night is clear with the given chance and then gives one to three
// estimates between 0.1 and 0.4 of a day after the night's start.
inline std::vector<double> NightlyTimes(std::mt19937_64 &random, int seasons, double clearChance)
{
    std::uniform_real_distribution<double> uniform(0, 1);
    std::vector<double> t;
    const double start = 53004.3;
    for (int season = 0; season < seasons; ++season) {
        for (int night = 0; night < 200; ++night) {
            if (uniform(random) >= clearChance)
                continue;
            const int estimates = 1 + static_cast<int>(uniform(random) * 3);
            for (int k = 0; k < estimates; ++k)
                t.push_back(start + 365.25 * season + night + 0.1 + 0.3 * uniform(random));
        }
    }
    return t;
}

// A dip of the given depth and width in phase, centred at phase 0 (x is
// the phase distance from the centre, -0.5..0.5): the round bottom of an
// eclipse of a star by its companion.
inline double Dip(double x, double depth, double width)
{
    const double u = 2 * x / width;
    return std::fabs(u) < 1 ? depth * std::sqrt(1 - u * u) : 0;
}

// The phase distance of x from the nearest whole number, -0.5..0.5.
inline double PhaseDistance(double x) { return x - std::round(x); }

// An eclipsing binary of the given period and primary epoch: flat at
// magnitude 11 with a 0.5 mag primary and a 0.2 mag secondary eclipse,
// both 0.1 in phase wide, the secondary at phase 0.5; Gaussian noise.
inline Observations EclipsingBinary(unsigned seed, double period, double epoch, double noise)
{
    std::mt19937_64 random(seed);
    std::normal_distribution<double> error(0, noise);
    Observations obs;
    obs.t = NightlyTimes(random, 2, 0.45);
    for (double t : obs.t) {
        const double phase = (t - epoch) / period;
        obs.y.push_back(11 + Dip(PhaseDistance(phase), 0.5, 0.1) + Dip(PhaseDistance(phase - 0.5), 0.2, 0.1) +
                        error(random));
    }
    return obs;
}

// A pulsator of three harmonics in the sine convention, with uneven
// sigmas and weights 1/sigma^2 when 'weighted', or Gaussian noise of one
// sigma otherwise.
inline Observations Pulsator(unsigned seed, double period, bool weighted)
{
    std::mt19937_64 random(seed);
    std::uniform_real_distribution<double> uniform(0, 1);
    std::normal_distribution<double> gauss(0, 1);
    Observations obs;
    obs.t = NightlyTimes(random, 2, 0.3);
    for (double t : obs.t) {
        const double theta = 2 * M_PI * (t - 53001.7) / period;
        const double sigma = weighted ? 0.02 + 0.1 * uniform(random) : 0.05;
        obs.y.push_back(4.0 + 0.35 * std::sin(theta + 1.0) + 0.15 * std::sin(2 * theta + 0.3) +
                        0.07 * std::sin(3 * theta + 5.0) + sigma * gauss(random));
        if (weighted)
            obs.w.push_back(1 / (sigma * sigma));
    }
    return obs;
}

// Gaussian noise of one sigma at n uniformly random times over 'span' days;
// with 'weighted' the sigmas vary from 0.5 to 2 and the weights are 1/sigma^2.
inline Observations Noise(std::mt19937_64 &random, int n, double span, bool weighted)
{
    std::uniform_real_distribution<double> uniform(0, 1);
    std::normal_distribution<double> gauss(0, 1);
    Observations obs;
    for (int i = 0; i < n; ++i) {
        const double sigma = weighted ? 0.5 + 1.5 * uniform(random) : 1;
        obs.t.push_back(50000 + span * uniform(random));
        obs.y.push_back(7 + sigma * gauss(random));
        if (weighted)
            obs.w.push_back(1 / (sigma * sigma));
    }
    return obs;
}

inline const double *WeightsOf(const Observations &obs) { return obs.w.empty() ? nullptr : obs.w.data(); }

// The delta Cep table of the tests: tab-separated Julian date and
// magnitude; limits (a magnitude written with < or >) and rows without a
// magnitude are left out.  Times are reduced Julian dates.
inline Observations DeltaCepheiTable()
{
    Observations obs;
    std::ifstream in(std::string(TEST_DATA_FOLDER) + "/delcep.tsv");
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string date, magnitude;
        if (!std::getline(fields, date, '\t') || !std::getline(fields, magnitude, '\t'))
            continue;
        if (date.empty() || magnitude.empty() || magnitude[0] == '<' || magnitude[0] == '>')
            continue;
        obs.t.push_back(std::stod(date) - 2400000);
        obs.y.push_back(std::stod(magnitude));
    }
    return obs;
}

// The eta Aql excerpt of the tests: the survey's rows of heliocentric
// Julian date - 2450000 and five apertures' magnitudes; the first
// aperture's magnitude of the rows graded A or B is used, without the
// rows it marks as not measured (29.999, 99.999).  Times are reduced
// heliocentric Julian dates.
inline Observations EtaAquilaeSurveyRows()
{
    Observations obs;
    std::ifstream in(std::string(TEST_DATA_FOLDER) + "/etaaql-asas.txt");
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#')
            continue;
        std::istringstream fields(line);
        double time = 0, magnitude = 0, skipped = 0;
        std::string grade;
        fields >> time >> magnitude;
        for (int k = 0; k < 9; ++k)
            fields >> skipped;
        fields >> grade;
        if (!fields || (grade != "A" && grade != "B") || magnitude > 29)
            continue;
        obs.t.push_back(time + 50000);
        obs.y.push_back(magnitude);
    }
    return obs;
}

// A Julian-date file of the tests: a reduced Julian date and a magnitude a
// line.
inline Observations JulianDateFile(const std::string &name)
{
    Observations obs;
    std::ifstream in(std::string(TEST_DATA_FOLDER) + "/" + name);
    double t = 0, y = 0;
    while (in >> t >> y) {
        obs.t.push_back(t);
        obs.y.push_back(y);
    }
    return obs;
}
