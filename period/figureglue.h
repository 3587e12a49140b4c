// kalidor's publication figures (--plots png|svg|pdf): the spectrum of a
// pass as STEM-spectrum.EXT and a fold as STEM-phase.EXT, filled from the
// run's own data and drawn by the figures module.
#pragma once
#include <vector>

#include "figures.h"
#include "report.h"

// The phase of a time for a period and epoch, 0 <= phase < 1; NaN where
// the period folds nothing (0).
double PhaseOf(double date, double period, double epoch);

// The title of a figure: the input file's name and the band, when known.
std::string FigureTitle();

// Writes STEM-spectrum.EXT of a spectrum over a grid of periods, with the
// 95 % level, the peaks to mark and, when not empty, the spectral window
// on the same grid; valueTitle is the title of the values' axis.  Does
// nothing without --plots.
void WriteSpectrumFigureFile(std::vector<double> periods, std::vector<double> powers, double level,
                             std::vector<SpectrumPeak> peaks, std::vector<double> windowPowers,
                             const std::string &valueTitle = "Power");

// Writes STEM-phase.EXT: the observation list (magnitudes centred, as the
// spectrum pass leaves them) folded with period and epoch, and the fitted
// constant plus sine; a periodError that is not a positive number is the
// least-squares error of the fit.  Does nothing without --plots.
void WritePhaseFigureFile(double period, double periodError, double epoch);

// The dialogue's figure of the latest spectrum pass: the spectrum file
// read back, its threshold, the strongest peak and the other peaks above
// the threshold (at most --peaks in all).  Does nothing without --plots.
void WriteFigureOfSpectrumPass();

// The batch run's figures: STEM-spectrum.EXT of the report's spectrum file
// with its level and peaks (and the window file below it, when written),
// and STEM-phase.EXT with the report's fold, when made.  Does nothing
// without --plots.
void WriteFiguresOfReport(const PeriodReport &report);

// Writes STEM-oc.EXT: the O-C of the timed extrema against their cycle
// numbers with their errors, the linear and (when fitted) quadratic
// ephemerides, and dP/dt with the F test's probability in the title.  Does
// nothing without --plots or without an O-C fit.
void WriteOCFigureFile(const ExtremaReport &extrema);
