// The light-curve readers for Python: a file's light curves as dicts with
// the keys of analyze's arguments (time, mag, err, time_scale, band, name,
// file, skipped), so that analyze(**read_table(path), periods=...) reports
// what kalidor reports for the same file.  Called with the GIL held; the
// reading itself runs with it released.
#pragma once
#include <pybind11/pybind11.h>

// What read_table and read_stars take beside the path.
struct ReadArguments {
    pybind11::object band = pybind11::none();         // a table's band, or None: the band with most estimates
    pybind11::object starColumn = pybind11::none();   // read_stars: the star column's name, or None
    pybind11::object heliocentric = pybind11::none(); // (RA, DEC) to convert to HJD, or None
    pybind11::object barycentric = pybind11::none();  // (RA, DEC) to convert to BJD_TDB, or None
    pybind11::object bands = pybind11::none();        // several bands at once: "all", "A,B" or a list
    pybind11::object flux = pybind11::str("pdcsap");  // FITS: "pdcsap" or "sap"
    pybind11::object fluxUnits = pybind11::str("mag"); // FITS: "mag" or "relative"
    pybind11::object maximumEstimates;                // None: the readers' default
};

// The one light curve of the file as a dict, read as kalidor reads it: the
// forms its batch run always read (observation and Julian-date files, the
// databases' tables) with its own column names, the others (FITS light
// curves, the surveys' tables, several bands at once) with the surveys'
// names and flags, and input_form "fits" or "survey" for the report; a
// table with a star column as its survey run reads it (input_form None).
// A list of paths joins FITS light curves of one star.  Refused
// (ValueError, with the reader's text): a file the readers refuse, and a
// table of several stars (read_stars reads those).  A file that cannot be
// opened or read raises FileNotFoundError, PermissionError or OSError with
// the reader's text ("cannot open F: reason").
pybind11::dict ReadTable(const pybind11::handle &path, const ReadArguments &arguments);

// The light curves of the file as kalidor's survey run reads it: one a
// star of a table with a star column (in the order first met) and
// otherwise one, survey columns read.  A star whose rows the reader
// refused is a dict {"file", "name", "error"} in its place, which
// analyze_many turns into that star's error record.  Refusals of the whole
// file as ReadTable's.
pybind11::list ReadStars(const pybind11::handle &path, const ReadArguments &arguments);
