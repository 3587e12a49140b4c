// The made-up observations of the benchmarks, put into kalidor's
// observation list and centred: uneven times (exponential gaps of the given
// mean, as nightly observing gives) and a noisy variable of 7.3 days.
#pragma once
#include <cmath>
#include <random>

#include "kalidor.h"

inline void MakeBenchObservations(int n, unsigned seed, double meanGap)
{
    std::mt19937_64 random(seed);
    std::exponential_distribution<double> gap(1 / meanGap);
    std::normal_distribution<double> noise(0, 0.15);
    double t = 47003.5684;
    MagnitudeSum = 0;
    for (int i = 1; i <= n; ++i) {
        JulianDates[i] = t;
        Magnitudes[i] = 11.7 + 0.4 * std::sin(2 * M_PI * t / 7.3) + noise(random);
        MagnitudeSum += Magnitudes[i];
        t += gap(random) + 0.01;
    }
    ObservationCount = n;
    CentreMagnitudes(MagnitudeSum / n);
}
