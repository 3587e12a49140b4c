// Readers of light curves: observation files, Julian-date files, tables of
// the observer databases and the sky surveys (with a star column: one light
// curve a star), spreadsheet exports, and the space telescopes' FITS light
// curves.  A path and choices in, light curves or an error out: no state
// between calls, nothing printed, nothing ended, so that any number of
// files may be read from several threads at once.
//
// The values are those kalidor's own reading gives for the same file and
// options: the same times (reduced Julian dates, converted as asked), the
// same magnitudes, band and skipped counts, and the same refusal texts as
// its batch run writes (after "kalidor: ").
#pragma once
#include <string>
#include <vector>

#include "lightcurvevalue.h"

// What a file is.  By content: a FITS file by its signature ("SIMPLE  ="
// at the start), then a Julian-date file by a name ending in ".jud", a
// table by its first line (IsTableFirstLine of the table library, or a
// header that FindSurveyTableLayout takes), and an observation file
// otherwise.  A caller may impose a form instead (kalidor's own rule for
// ".jud" looks at the name from its first point on).
enum InputForm { FormFromContent, ObservationFileForm, JulianDateFileForm, TableForm, FitsForm };

enum TimeConversionChoice {
    ConvertNoTimes,       // the times as read
    ConvertToHeliocentric, // UTC Julian dates to HJD
    ConvertToBarycentric  // UTC Julian dates to BJD_TDB
};

enum FluxColumnChoice { PdcsapFlux, SapFlux };

enum FluxUnitsChoice {
    FluxToMagnitudes, // -2.5 log10(flux / median flux), errors 2.5 / ln 10 * error / flux
    FluxRelative      // flux / median flux, errors error / median flux
};

// The most estimates of one light curve by default, as kalidor takes.
const long DefaultMaximumEstimates = 1000000;

struct ReadChoices {
    InputForm form = FormFromContent;
    std::string band;             // a table's band; empty: the band with most estimates (each star its own)
    TimeConversionChoice timeConversion = ConvertNoTimes;
    double starHours = 0;         // the star's right ascension (hours) and declination (degrees), J2000,
    double starDegrees = 0;       // for a time conversion
    // Tables: true reads the sky surveys' column names, flag columns,
    // semicolon tables and star columns beside the databases' names; false
    // reads exactly the names kalidor reads today (no star grouping).
    bool surveyColumns = true;
    std::string starColumn;       // the star column's name (any case); empty: the usual names
    FluxColumnChoice flux = PdcsapFlux;   // FITS light curves
    FluxUnitsChoice fluxUnits = FluxToMagnitudes;
    long maximumEstimates = DefaultMaximumEstimates; // of one light curve
    // Tables: several bands at once.  allBands takes the estimates of every
    // band, bandList (when not empty) those of the bands named; the curve
    // then gets 'bands' and 'bandOf', and 'band' names the bands taken with
    // ", " between.  Either one with 'band' set is refused.
    bool allBands = false;
    std::vector<std::string> bandList;
};

// True when the choices ask for several bands at once.
bool SeveralBandsChosen(const ReadChoices &choices);

// A refused or unreadable file.
struct ReadError {
    std::string message; // the batch run's English text, such as "bad data format on line 12"
    int runError = 0;    // 0: refused input (kalidor's status 1); else kalidor's run-time error code
                         // (2 file not found, 5 access denied, 101 read fault, 106 invalid number ...)
    std::string file;    // the file it concerns
    long line = 0;       // the line (or record) it concerns, from 1; 0: none
};

struct LightCurveReading {
    ReadError error;                    // error.message empty: the file was read
    std::vector<LightCurve> curves;     // one (or, with a star column, one a star in the order first met)
    std::vector<std::string> refusals;  // one a curve: empty, or why that star has no usable light curve
};

// True when the reading failed as a whole (error.message is set).
bool ReadFailed(const LightCurveReading &reading);

// Reads the light curves of one file.
//
// Observation files (date YYMMDD or YYYYMMDD, UT time hh.mm, magnitude a
// record) and Julian-date files (reduced Julian date, magnitude) give one
// curve without uncertainties.  Refusals: "bad data format on line N" (N
// the record), "too many estimates: at most M records", "the file holds no
// estimate", "--band applies to tables only"; a number that cannot be read
// is run-time error 106, "invalid numeric format on line L".
//
// Tables (see FindSurveyTableLayout of the table library for the column
// names) give the estimates of one band: choices.band ("Vis." and "Visual"
// being one band), or the band with most estimates (the first of equals).
// Limits, rows of other bands, incomplete rows and rows with a quality
// flag set are skipped and counted.  Full Julian dates are reduced, a
// modified Julian date gets 0.5 added, a column HJD or BJD names the time
// scale.  The uncertainty column's values go into 'uncertainty' (NaN for an
// empty field or one that is no number; the vector stays empty when no
// estimate used has one).  Refusals as kalidor's: "the table has no time
// column (JD, HJD or BJD)", "the table has no magnitude column (Magnitude
// or Mag)", "the table has no band column (Band or Filter); --band cannot
// be used", "the table has no estimates in the band V", "bad data format
// on line N", and "the table has no column NAME" for a missing star
// column.  With a star column every star gets its own curve, band choice
// and counts, and what is wrong with one star's rows (an unreadable row,
// no estimates, a time that cannot be converted, too many estimates) is
// that star's refusal while the others are read; a table of stars without
// rows is refused as a whole ("the file holds no estimate"), and so is a
// line too long for any row (no star can be told for it).  An empty star
// field, or a row too short to have one, counts for the star "".
//
// With several bands chosen (SeveralBandsChosen), the rows of every band
// asked for are taken in file order, no band is chosen by counting, and
// rows of the other bands are counted as skippedOtherBands.  Refusals:
// "--band and --bands cannot be used together", "the table has no band
// column (Band or Filter); --bands cannot be used", "--bands applies to
// tables only", and "the table has no estimates in the bands B" for a list
// none of whose bands has an estimate.
//
// FITS light curves (the first binary table with TIME and SAP_FLUX or
// PDCSAP_FLUX, their _ERR columns and QUALITY; keys BJDREFI, BJDREFF,
// TIMESYS TDB, TIMEUNIT d and TIMEREF SOLARSYSTEM where given) give reduced
// BJD_TDB times (TIME + BJDREFI + BJDREFF - 2400000) and magnitudes or
// relative fluxes of the chosen flux against the median of the rows kept;
// rows with a non-zero QUALITY (skippedFlagged), a NaN time or flux
// (skippedEmpty) or, for magnitudes, a flux not above zero
// (skippedNonPositiveFlux) are skipped.  An error that is NaN, or a file
// without the error column, gives NaN uncertainties.  The name is the
// OBJECT key.  Refusals: "the file is no FITS light curve (a table with
// TIME and SAP_FLUX or PDCSAP_FLUX)", "the FITS light curve has no
// PDCSAP_FLUX column" (or SAP_FLUX), "the FITS light curve does not name
// its time system (TIMESYS)", "the FITS light curve's times are not TDB
// (TIMESYS X)", "... are not in days (TIMEUNIT X)", "... are not
// barycentric (TIMEREF X)", "the FITS light curve has no time reference
// (BJDREFI)", "the FITS light curve's columns hold more than one value a
// row", "the median flux of the FITS light curve is not positive", "the
// file holds no estimate", and "cannot read the FITS file F: reason" for
// a damaged file.
//
// A time conversion of times that are on HJD or BJD_TDB already is refused:
// "the times of the file are HJD already; a second conversion is refused";
// a time that cannot be converted: "the time T cannot be converted to HJD".
// A file that cannot be opened or read: "cannot open F: reason" or "cannot
// read F: reason" with the run-time error code of the failure.
LightCurveReading ReadLightCurves(const std::string &path, const ReadChoices &choices);

// Reads several FITS light curves of one star (sectors, quarters) into one
// curve, in the order given, each file's fluxes divided by its own median;
// filesJoined says how many.  Refused: a file that is no FITS light curve
// ("only FITS light curves can be joined: F is none"), files of different
// stars by their OBJECT keys ("the FITS files hold different stars: A in F,
// B in G"), and each file's own refusals (error.file names the file).  One
// path reads as ReadLightCurves.
LightCurveReading ReadJoinedLightCurve(const std::vector<std::string> &paths, const ReadChoices &choices);

// The form of a file by content (FormFromContent's rule above).  A file
// that cannot be read counts as an observation file (reading it then tells
// why it cannot be read).  'surveyColumns' as in ReadChoices.
InputForm InputFormOf(const std::string &path, bool surveyColumns = true);
