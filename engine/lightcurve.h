// The light curve of one star as the analysis takes it: times, magnitudes
// and optional uncertainties, with what reading the input found out.  A
// plain value: readers fill it, the engine reads it and keeps nothing.
#pragma once
#include <string>
#include <vector>

struct LightCurve {
    std::string name;             // the star's name (a survey table's star column); may be empty
    std::string file;             // the input file's name as given, for the report
    std::string band;             // the band used; empty for input without bands
    std::string timeScale = "JD"; // "JD", "HJD" or "BJD_TDB"
    // Reduced Julian dates (Julian date - 2400000) in input order, the
    // magnitudes as read, and their uncertainties: empty, or one per time.
    std::vector<double> time, magnitude, uncertainty;
    long skippedLimits = 0;       // rows of a table that give a limit (<, >), not an estimate
    long skippedOtherBands = 0;   // rows of a table of other bands
    long skippedEmpty = 0;        // rows of a table without a time or magnitude
};
