// The batch run of kalidor: no questions, the files of the dialogue and a
// period report on standard output.
#pragma once

// Runs the analysis of the file argv[1] with the periods and choices of
// Options; writes the report and ends the program (status 0), or refuses
// with an English message on standard error (status 1).
[[noreturn]] void RunBatch(int argc, char **argv);

// The number of grid points that fall on the narrowest peak of a spectrum
// (width about pmin^2 / span) with K intervals over pmin..pmax.
double PointsPerPeakWidth(double pmin, double pmax, long intervals, double span);
// Warns on standard error (and only there) when the grid gives fewer than
// three points per peak width, where the strongest period may be missed.
void WarnIfGridTooCoarse(double pmin, double pmax, long intervals, double span);
