// The period report on a stream, as text for people or as one JSON object
// for programs.
#pragma once
#include <cstdio>

#include "report.h"

// Aligned English lines: the data, the grid, a table of the peaks and, when
// present, of the prewhitening steps and the fold.
void WriteTextReport(const PeriodReport &report, std::FILE *out);
// One JSON object with numbers in full double precision.
void WriteJsonReport(const PeriodReport &report, std::FILE *out);
