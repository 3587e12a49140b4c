// Many light curves analysed over several threads, one light curve a
// thread at a time, each giving the record a survey run prints for its
// star.  Plain C++: nothing here touches Python, so the caller may run it
// with the GIL released.
#pragma once
#include <functional>
#include <string>
#include <vector>

#include "engine.h"

// The survey run's JSON Lines record of one analysed light curve: the
// report on one line with "star" (the curve's name, when it has one) and
// "notes" (when the analysis had any, and "no times of extrema: WHY" when
// they were asked for and none could be timed), or {"file", "star",
// "error"} when the engine refused the curve.  Ends with a line feed.
std::string RecordOfAnalysis(const LightCurve &curve, const AnalysisOutcome &outcome,
                             const std::vector<std::string> &notes);

// Analyses every curve with the settings (settings.threads is set to 1:
// the curves share the threads, not the passes) over 'threads' threads (0:
// every usable core; never more than there are curves) and fills records,
// one a curve in the curves' order.  refusals is empty or holds one text a
// curve: a curve with a refusal (a star its reader refused) is not
// analysed, its record is the error record of its file, name and refusal.  While the workers run, the calling
// thread calls stopWanted about every pollMilliseconds; when it returns
// true no further analysis begins, those under way end at their next
// chunk of the pass, and the function returns false with the records
// incomplete.  True when every curve has its record (an empty record:
// memory ran out for it).  When no thread can
// be started the curves are analysed on the calling thread (without
// polling).
bool AnalyseLightCurves(const std::vector<LightCurve> &curves, const std::vector<std::string> &refusals,
                        AnalysisSettings settings, int threads, const std::function<bool()> &stopWanted,
                        int pollMilliseconds, std::vector<std::string> &records);
