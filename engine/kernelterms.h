// What the spectrum kernels share: the prepared observations, the lane sums
// that every kernel fills in the same order, and one sum function per kernel
// (each in its own file, compiled for its vector units).
#pragma once
#include "spectrumkernels.h"

// 2 pi in extended precision, the factor of every angle.
const long double SpectrumTwoPi = 6.283185307179586476925286766559L;

// Every kernel adds term i to lane i mod SpectrumLanes of each sum, terms in
// increasing order, whatever its vector width; the lanes are added up in one
// fixed order at the end.  So all kernels round alike and give the same sums.
const int SpectrumLanes = 8;

// Room past the last observation, so that the widest kernel may read whole
// steps of four vectors of eight; the extra entries are zero.
const int SpectrumTermPadding = 32;


// The partial sums of one trial frequency, lane by lane, in the order of
// SpectrumSums (scc, sc, sss, ss, ssc, syc, sys).
struct SpectrumLaneSums {
    alignas(64) double lane[7][SpectrumLanes];
};

// The angle of observation i at the given frequency, rounded as the
// reference rounds it: to extended precision, then to a double.
static inline double ExtendedAngle(const SpectrumTerms &terms, int i, double frequency)
{
    return static_cast<double>((static_cast<long double>(terms.angleHigh[i]) + terms.angleLow[i]) * frequency);
}

// The sine and cosine of a term that the vector path leaves out (an angle of
// 2^49 radians or more, or below 2^-700 but not 0): the reference angle's
// libm values, the same in every kernel.
void SpectrumOutlyingTerm(const SpectrumTerms &terms, int i, double frequency, double &sine, double &cosine);

// Adds the terms begin .. end - 1 at the frequency to the lane sums; begin
// is a multiple of 32 and end at most terms.count rounded up to 32.
void SpectrumLaneSumsPlain(const SpectrumTerms &terms, int begin, int end, double frequency, SpectrumLaneSums &sums);
void SpectrumLaneSumsAvx2(const SpectrumTerms &terms, int begin, int end, double frequency, SpectrumLaneSums &sums);
void SpectrumLaneSumsAvx512(const SpectrumTerms &terms, int begin, int end, double frequency, SpectrumLaneSums &sums);
