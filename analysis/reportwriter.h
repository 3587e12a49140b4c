// The period report on a stream, as text for people or as one JSON object
// for programs.
//
// The JSON texts are always valid JSON in UTF-8: the file name and the band
// are written as they are when they are UTF-8, and each byte sequence in
// them that is not UTF-8 (a Latin-1 letter, a stray byte of a file name)
// is replaced by U+FFFD, the replacement character.  The text report
// writes them byte for byte.
#pragma once
#include <cstdio>
#include <string>

#include "report.h"

// Aligned English lines: the data, the grid, a table of the peaks and, when
// present, of the prewhitening steps, the fold and the times of extrema
// with their O-C fits.
void WriteTextReport(const PeriodReport &report, std::FILE *out);
// One JSON object with numbers in full double precision, indented by two
// blanks, and a line end: the text of JsonReportText.
void WriteJsonReport(const PeriodReport &report, std::FILE *out);
// The JSON object of WriteJsonReport as a text, indented, with a line end.
std::string JsonReportText(const PeriodReport &report);
// The same object, keys and numbers as one compact line (no blank between
// its parts, no line end inside) and a line end: a record of JSON Lines.
std::string JsonReportLine(const PeriodReport &report);
// A JSON Lines record of a light curve that could not be analysed.
std::string JsonErrorLine(const std::string &file, const std::string &star, const std::string &error);
