// The light curve of one star as the analysis takes it: times, magnitudes
// and optional uncertainties, with what reading the input found out.  A
// plain value: readers fill it, the analysis reads it and keeps nothing.
#pragma once
#include <string>
#include <vector>

struct LightCurve {
    std::string name;             // the star's name (a table's star column, a FITS file's OBJECT); may be empty
    std::string file;             // the input file's name as given (joined FITS files: their names, ", " between)
    std::string band;             // the band used; empty for input without bands
    std::string timeScale = "JD"; // "JD", "HJD" or "BJD_TDB"
    // Reduced Julian dates (Julian date - 2400000) in input order, the
    // magnitudes as read (or relative fluxes, see relativeFlux), and their
    // uncertainties: empty, or one per time (NaN where a row gave none).
    std::vector<double> time, magnitude, uncertainty;
    long skippedLimits = 0;       // rows of a table that give a limit (<, >), not an estimate
    long skippedOtherBands = 0;   // rows of a table of other bands
    long skippedEmpty = 0;        // rows without a time or magnitude (a FITS row with a NaN time or flux)
    long skippedFlagged = 0;      // rows whose quality flag is set (a flag column, a FITS QUALITY)
    long skippedNonPositiveFlux = 0; // FITS rows whose flux is zero or negative: no magnitude
    long datesOutOfOrder = 0;     // observation files: records dated before the record above them
    int filesJoined = 1;          // the files read into this curve (FITS sectors)
    std::string fluxColumn;       // FITS: the flux column read ("PDCSAP_FLUX" or "SAP_FLUX"); else empty
    bool relativeFlux = false;    // 'magnitude' holds flux over the median flux instead of magnitudes
    // Several bands at once: the bands taken (in the order first met) and
    // each estimate's band as an index into them.  Both empty for one band.
    std::vector<std::string> bands;
    std::vector<int> bandOf;
};
