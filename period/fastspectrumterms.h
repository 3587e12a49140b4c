// What the spectrum kernels share: the prepared observations and one sum
// function per kernel (each in its own file, compiled for its vector units).
#pragma once
#include "fastspectrum.h"

// 2 pi in extended precision, the factor of every angle.
const long double SpectrumTwoPi = 6.283185307179586476925286766559L;

// Room past the last observation, so that the widest kernel may read whole
// groups of eight; the extra entries are zero.
const int SpectrumTermPadding = 8;

// The observations of one pass, prepared for the kernels.  The angle of an
// observation at frequency f is the double nearest to the extended product
// angleExtended * f, where angleExtended = (t - t[0]) * 2 pi in extended
// precision; angleHigh + angleLow is angleExtended exactly.  weight is 1 for
// an observation and 0 for the padding.
struct SpectrumTerms {
    int count;
    alignas(64) double angleHigh[MaxObservations + SpectrumTermPadding];
    alignas(64) double angleLow[MaxObservations + SpectrumTermPadding];
    alignas(64) double magnitude[MaxObservations + SpectrumTermPadding];
    alignas(64) double weight[MaxObservations + SpectrumTermPadding];
    long double angleExtended[MaxObservations + SpectrumTermPadding];
};

extern SpectrumTerms PreparedTerms;

// The angle of observation i at the given frequency, rounded as the
// reference rounds it: to extended precision, then to a double.
static inline double ExtendedAngle(const SpectrumTerms &terms, int i, double frequency)
{
    return static_cast<double>(terms.angleExtended[i] * frequency);
}

SpectrumSums SpectrumSumsPlain(const SpectrumTerms &terms, double frequency);
SpectrumSums SpectrumSumsAvx2(const SpectrumTerms &terms, double frequency);
SpectrumSums SpectrumSumsAvx512(const SpectrumTerms &terms, double frequency);
