// What the Python functions are given, turned into the engine's values:
// arrays of numbers into a LightCurve, the keyword arguments into
// AnalysisSettings.  Every refusal is a Python ValueError (thrown as
// pybind11::value_error) whose text says which argument is wrong and why;
// nothing here releases the GIL, so every function is called with it held.
#pragma once
#include <pybind11/pybind11.h>
#include <string>
#include <vector>

#include "engine.h"

// The numbers of a one-dimensional array or sequence: numpy arrays of any
// integer or floating dtype (converted to double), contiguous or strided,
// and lists or tuples of numbers.  Refused: more than one dimension or a
// single number, strings, booleans, complex numbers and Python objects.
// 'what' names the argument in the message ("time").
std::vector<double> NumbersOfArray(const pybind11::handle &values, const std::string &what);

// A light curve of the arrays and what is known of them.  err, band, name
// and file may be None; skipped is None or a mapping with the keys of the
// report's "skipped" (limits, other_bands, empty), each a count of rows.
// read_table also gives flagged and non_positive_flux, which are taken
// (the report has no place for them).  The lengths are not compared here:
// the engine refuses arrays of different lengths with its own message.
// timeScale must be "JD", "HJD" or "BJD_TDB".
LightCurve CurveOfArrays(const pybind11::handle &time, const pybind11::handle &magnitude, const pybind11::handle &err,
                         const pybind11::handle &timeScale, const pybind11::handle &band,
                         const pybind11::handle &name, const pybind11::handle &file,
                         const pybind11::handle &skipped);

// One entry of analyze_many's list: a mapping with the keys of analyze's
// arguments and of read_table's result (time, mag, and optionally err,
// time_scale, band, name, file, skipped), or a tuple or list (time, mag)
// or (time, mag, err); or a star the reader refused, {"error": TEXT} with
// optionally file and name, as read_stars gives it: then refusal is TEXT
// and the curve holds only the file and the name.  Refusals begin with
// "light curve INDEX: ".
struct CurveEntry {
    LightCurve curve;
    std::string refusal; // empty: a light curve to analyse
};
CurveEntry CurveOfEntry(const pybind11::handle &entry, std::size_t index);

// The settings of analyze's keyword arguments, checked as the command
// line checks its options: periods a pair (MIN, MAX) of finite numbers;
// intervals None (chosen from the data) or a whole number of at least 1;
// peaks at least 1; prewhiten at least 0; fold None, a positive period or
// "best"; threads at least 0 (0: automatic).  That MIN is positive and
// below MAX is the engine's refusal, as it is for the command line.
AnalysisSettings SettingsOfArguments(const pybind11::handle &periods, const pybind11::handle &intervals,
                                     const pybind11::handle &peaks, const pybind11::handle &prewhiten,
                                     const pybind11::handle &window, const pybind11::handle &fold,
                                     const pybind11::handle &threads);

// A whole number of at least 'least' (Python int or numpy integer, not a
// bool), for 'what'.
long WholeArgument(const pybind11::handle &value, const std::string &what, long least);
