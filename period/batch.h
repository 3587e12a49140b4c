// The batch run of kalidor: no questions, the files of the dialogue and a
// period report on standard output.
#pragma once
#include <string>

#include "engine.h"

// Runs the analysis of the file argv[1] with the periods and choices of
// Options (or a survey run of several files); writes the report and ends
// the program (status 0), or refuses with an English message on standard
// error (status 1).
[[noreturn]] void RunBatch(int argc, char **argv);

// The engine's settings that Options ask for.
AnalysisSettings SettingsOfOptions();
// The report in the form Options ask for (text or JSON), as one text.
std::string ReportText(const PeriodReport &report);
// Warns on standard error (and only there) when the grid gives fewer than
// three points per peak width, where the strongest period may be missed:
// in English in a batch run, in Czech in the dialogue.
void WarnIfGridTooCoarse(double pmin, double pmax, long intervals, double span);
