// The period report on a stream, as text for people or as one JSON object
// for programs.
#pragma once
#include <cstdio>
#include <string>

#include "report.h"

// Aligned English lines: the data, the grid, a table of the peaks and, when
// present, of the prewhitening steps and the fold.
void WriteTextReport(const PeriodReport &report, std::FILE *out);
// One JSON object with numbers in full double precision.
void WriteJsonReport(const PeriodReport &report, std::FILE *out);
// The JSON object of WriteJsonReport on one line (a JSON Lines record),
// with the same numbers.
std::string JsonReportLine(const PeriodReport &report);
// A JSON Lines record of a light curve that could not be analysed.
std::string JsonErrorLine(const std::string &file, const std::string &star, const std::string &error);
