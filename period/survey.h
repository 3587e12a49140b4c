// The survey run of kalidor: many stars, from several files or from a
// table with a star column, analysed over the cores; one JSON Lines record
// a star on standard output in input order, and optionally a catalogue.
#pragma once
#include <string>
#include <vector>

#include "lightcurve.h"

// True when the batch run's parameters ask for a survey run: more than one
// FILE, a star column, JSON Lines or a catalogue.
bool IsSurveyRun(int argc, char **argv);

// Analyses every star of the files argv[1..argc-1] and ends the program:
// status 0 when every star was analysed, 1 when some were refused, the
// run-time error code when output fails.
[[noreturn]] void RunSurvey(int argc, char **argv);

// The light curves of one file as the survey reads them: one, or one a
// star of a table with a star column; false and the English refusal when
// the file cannot be read.  Reentrant: files are read side by side.
// refusals gets one text a star: empty, or why that star of a table cannot
// be analysed.
bool ReadSurveyFile(const std::string &path, std::vector<LightCurve> &stars, std::vector<std::string> &refusals,
                    std::string &error);

// The readers' choices the options ask for (band or bands, time
// conversion, star column, FITS flux column and units).
struct ReadChoices;
ReadChoices SurveyReadChoices();

// One row of the catalogue (CSV, numbers in full precision) and its header.
struct PeriodReport;
std::string CatalogueHeader();
std::string CatalogueRow(const PeriodReport &report);
std::string CatalogueErrorRow(const std::string &file, const std::string &star, const std::string &error);
