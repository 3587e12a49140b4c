// The signal-to-noise ratio of a peak: its amplitude over the mean of the
// residual amplitude spectrum in a window around it.
#include <algorithm>
#include <cmath>

#include "significance.h"

namespace {

// The default window: at most this many cycles per day, at most this many
// peak widths 1/span.
const double WidestNoiseWindow = 1;
const double NoiseWindowPeakWidths = 10;

} // namespace

double DefaultNoiseWindow(double span) { return std::fmin(WidestNoiseWindow, NoiseWindowPeakWidths / span); }

bool MeanAmplitudeInWindow(const double *frequencies, const double *amplitudes, long count, double frequency,
                           double width, double &mean)
{
    const double low = frequency - width / 2, high = frequency + width / 2;
    long double sum = 0;
    long inside = 0;
    for (long k = 0; k < count; ++k)
        if (frequencies[k] >= low && frequencies[k] <= high) {
            sum += amplitudes[k];
            ++inside;
        }
    if (inside == 0)
        return false;
    mean = static_cast<double>(sum / inside);
    return true;
}

bool MeanAmplitudeInWindowOf(const AmplitudeFunction &amplitude, double frequency, double width, long points,
                             double &mean)
{
    const double high = frequency + width / 2;
    const double low = std::fmax(frequency - width / 2, 0.0);
    if (points < 1 || !(high > low))
        return false;
    // The part of the window below 0 is left out, and its points with it.
    const long kept = std::max(1L, static_cast<long>(std::lround(points * (high - low) / width)));
    const double step = (high - low) / kept;
    long double sum = 0;
    for (long k = 0; k < kept; ++k)
        sum += amplitude(low + (k + 0.5) * step);
    mean = static_cast<double>(sum / kept);
    return true;
}

double SignalToNoise(double amplitude, double noise) { return noise > 0 ? amplitude / noise : NAN; }
