// FITS light curves of the space telescopes' mission products: a binary
// table with TIME (days from BJDREFI + BJDREFF, TDB, barycentric),
// SAP_FLUX and PDCSAP_FLUX with their errors, and QUALITY, read by cfitsio.
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <strings.h>
#include <vector>

#include <fitsio.h>

#include "readerparts.h"

namespace {

const long double ReducedStart = 2400000;

// cfitsio built without its thread support serves one thread at a time.
std::mutex fitsWithoutThreads;

struct FitsFile {
    fitsfile *file = nullptr;
    int status = 0;
};

void CloseFits(FitsFile &fits)
{
    int status = 0;
    if (fits.file != nullptr)
        fits_close_file(fits.file, &status);
    fits.file = nullptr;
}

std::string FitsFault(const std::string &path, int status)
{
    char text[FLEN_STATUS] = "";
    fits_get_errstatus(status, text);
    return "cannot read the FITS file " + path + ": " + text;
}

std::string Trimmed(const std::string &text)
{
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos)
        return std::string();
    return text.substr(first, text.find_last_not_of(' ') + 1 - first);
}

// A text key of the current header; false when it is absent.
bool TextKey(FitsFile &fits, const char *name, std::string &value)
{
    char text[FLEN_VALUE] = "";
    int status = 0;
    fits_read_key(fits.file, TSTRING, name, text, nullptr, &status);
    if (status != 0)
        return false;
    value = Trimmed(text);
    return true;
}

// A number key of the current header; false when it is absent or no number.
bool NumberKey(FitsFile &fits, const char *name, double &value)
{
    int status = 0;
    fits_read_key(fits.file, TDOUBLE, name, &value, nullptr, &status);
    return status == 0;
}

// The number of a column of the current table; 0 when it has none.
int ColumnNumber(FitsFile &fits, const char *name)
{
    int column = 0, status = 0;
    fits_get_colnum(fits.file, CASEINSEN, const_cast<char *>(name), &column, &status);
    return status == 0 ? column : 0;
}

// Moves to the first binary table with TIME and a flux column; false when
// the file has none.
bool FindLightCurveTable(FitsFile &fits)
{
    int hdus = 0;
    if (fits_get_num_hdus(fits.file, &hdus, &fits.status) != 0)
        return false;
    for (int hdu = 2; hdu <= hdus; ++hdu) {
        int type = 0;
        if (fits_movabs_hdu(fits.file, hdu, &type, &fits.status) != 0)
            return false;
        if (type == BINARY_TBL && ColumnNumber(fits, "TIME") > 0 &&
            (ColumnNumber(fits, "SAP_FLUX") > 0 || ColumnNumber(fits, "PDCSAP_FLUX") > 0))
            return true;
    }
    return false;
}

// A column of one value a row, all rows read as doubles (NaN kept).
bool ReadColumn(FitsFile &fits, int column, long long rows, std::vector<double> &values)
{
    values.assign(static_cast<std::size_t>(rows), 0);
    if (rows == 0)
        return true;
    double noNullCheck = 0;
    int anyNull = 0;
    fits_read_col(fits.file, TDOUBLE, column, 1, 1, rows, &noNullCheck, values.data(), &anyNull, &fits.status);
    return fits.status == 0;
}

bool IsScalarColumn(FitsFile &fits, int column)
{
    int type = 0, status = 0;
    long repeat = 0, width = 0;
    fits_get_coltype(fits.file, column, &type, &repeat, &width, &status);
    return status == 0 && repeat == 1;
}

// The refusal of a table whose times are not days of BJD_TDB; empty when
// they are.
std::string TimeSystemRefusal(FitsFile &fits)
{
    std::string value;
    if (!TextKey(fits, "TIMESYS", value))
        return "the FITS light curve does not name its time system (TIMESYS)";
    if (strcasecmp(value.c_str(), "TDB") != 0)
        return "the FITS light curve's times are not TDB (TIMESYS " + value + ")";
    if (TextKey(fits, "TIMEUNIT", value) && strcasecmp(value.c_str(), "d") != 0)
        return "the FITS light curve's times are not in days (TIMEUNIT " + value + ")";
    if (TextKey(fits, "TIMEREF", value) && strcasecmp(value.c_str(), "SOLARSYSTEM") != 0)
        return "the FITS light curve's times are not barycentric (TIMEREF " + value + ")";
    return std::string();
}

double MedianOf(std::vector<double> values)
{
    const std::size_t n = values.size();
    std::nth_element(values.begin(), values.begin() + static_cast<long>(n / 2), values.end());
    const double upper = values[n / 2];
    if (n % 2 == 1)
        return upper;
    const double lower = *std::max_element(values.begin(), values.begin() + static_cast<long>(n / 2));
    return static_cast<double>((static_cast<long double>(lower) + upper) / 2);
}

// The columns of a light-curve table as read.
struct FitsColumns {
    std::vector<double> time, flux, error, quality;
    bool hasError = false;
};

// Reads the light-curve table's columns and its time reference (reduced:
// BJDREFI + BJDREFF - 2400000); false with the error.
bool ReadFitsColumns(FitsFile &fits, const std::string &path, const ReadChoices &choices, FitsColumns &columns,
                     long double &reference, LightCurve &curve, ReadError &error)
{
    const std::string second = SecondConversionRefusal(choices, "BJD_TDB");
    if (!second.empty()) {
        error = Refusal(second, path);
        return false;
    }
    const char *fluxName = choices.flux == SapFlux ? "SAP_FLUX" : "PDCSAP_FLUX";
    const int timeColumn = ColumnNumber(fits, "TIME");
    const int fluxColumn = ColumnNumber(fits, fluxName);
    if (fluxColumn == 0) {
        error = Refusal(std::string("the FITS light curve has no ") + fluxName + " column", path);
        return false;
    }
    const int errorColumn = ColumnNumber(fits, (std::string(fluxName) + "_ERR").c_str());
    const int qualityColumn = ColumnNumber(fits, "QUALITY");
    for (int column : {timeColumn, fluxColumn, errorColumn, qualityColumn})
        if (column > 0 && !IsScalarColumn(fits, column)) {
            error = Refusal("the FITS light curve's columns hold more than one value a row", path);
            return false;
        }
    const std::string timeRefusal = TimeSystemRefusal(fits);
    if (!timeRefusal.empty()) {
        error = Refusal(timeRefusal, path);
        return false;
    }
    double whole = 0, fraction = 0;
    if (!NumberKey(fits, "BJDREFI", whole)) {
        error = Refusal("the FITS light curve has no time reference (BJDREFI)", path);
        return false;
    }
    if (!NumberKey(fits, "BJDREFF", fraction))
        fraction = 0;
    reference = (static_cast<long double>(whole) - ReducedStart) + fraction;
    long long rows = 0;
    fits_get_num_rowsll(fits.file, &rows, &fits.status);
    columns.hasError = errorColumn > 0;
    if (fits.status != 0 || !ReadColumn(fits, timeColumn, rows, columns.time) ||
        !ReadColumn(fits, fluxColumn, rows, columns.flux) ||
        (errorColumn > 0 && !ReadColumn(fits, errorColumn, rows, columns.error)) ||
        (qualityColumn > 0 && !ReadColumn(fits, qualityColumn, rows, columns.quality))) {
        error = Refusal(FitsFault(path, fits.status), path);
        return false;
    }
    curve.fluxColumn = fluxName;
    return true;
}

// The rows kept: quality not set, time and flux numbers.  Counts the rest.
std::vector<std::size_t> UsableRows(const FitsColumns &columns, LightCurve &curve)
{
    std::vector<std::size_t> kept;
    for (std::size_t i = 0; i < columns.time.size(); ++i) {
        if (!columns.quality.empty() && columns.quality[i] != 0)
            ++curve.skippedFlagged;
        else if (!std::isfinite(columns.time[i]) || !std::isfinite(columns.flux[i]))
            ++curve.skippedEmpty;
        else
            kept.push_back(i);
    }
    return kept;
}

// The magnitudes (or relative fluxes) of the kept rows into the curve.
bool TakeFluxes(const std::string &path, const ReadChoices &choices, const FitsColumns &columns,
                const std::vector<std::size_t> &kept, long double reference, LightCurve &curve, ReadError &error)
{
    std::vector<double> fluxes;
    fluxes.reserve(kept.size());
    for (std::size_t i : kept)
        fluxes.push_back(columns.flux[i]);
    const double median = MedianOf(fluxes);
    if (!(median > 0)) {
        error = Refusal("the median flux of the FITS light curve is not positive", path);
        return false;
    }
    const bool relative = choices.fluxUnits == FluxRelative;
    const long double errorScale = 2.5L / std::log(10.0L);
    for (std::size_t i : kept) {
        const long double flux = columns.flux[i];
        if (!relative && !(flux > 0)) {
            ++curve.skippedNonPositiveFlux;
            continue;
        }
        if (static_cast<long>(curve.time.size()) == choices.maximumEstimates) {
            error = Refusal(TooManyEstimatesText(choices.maximumEstimates), path);
            return false;
        }
        const double err = columns.hasError ? columns.error[i] : std::nan("");
        curve.time.push_back(static_cast<double>(reference + columns.time[i]));
        if (relative) {
            curve.magnitude.push_back(static_cast<double>(flux / median));
            curve.uncertainty.push_back(static_cast<double>(err / median));
        } else {
            curve.magnitude.push_back(static_cast<double>(-2.5L * std::log10(flux / median)));
            curve.uncertainty.push_back(static_cast<double>(errorScale * err / flux));
        }
    }
    curve.relativeFlux = relative;
    return true;
}

bool ReadOpenFits(FitsFile &fits, const std::string &path, const ReadChoices &choices, LightCurve &curve,
                  ReadError &error)
{
    std::string object;
    if (TextKey(fits, "OBJECT", object))
        curve.name = object;
    if (!FindLightCurveTable(fits)) {
        error = Refusal(fits.status != 0
                            ? FitsFault(path, fits.status)
                            : "the file is no FITS light curve (a table with TIME and SAP_FLUX or PDCSAP_FLUX)",
                        path);
        return false;
    }
    if (curve.name.empty() && TextKey(fits, "OBJECT", object))
        curve.name = object;
    FitsColumns columns;
    long double reference = 0;
    if (!ReadFitsColumns(fits, path, choices, columns, reference, curve, error))
        return false;
    const std::vector<std::size_t> kept = UsableRows(columns, curve);
    if (kept.empty()) {
        error = Refusal(EmptyFileText, path);
        return false;
    }
    if (!TakeFluxes(path, choices, columns, kept, reference, curve, error))
        return false;
    if (curve.time.empty()) {
        error = Refusal(EmptyFileText, path);
        return false;
    }
    return true;
}

} // namespace

bool ReadFitsLightCurve(const std::string &path, const ReadChoices &choices, LightCurve &curve, ReadError &error)
{
    curve = LightCurve();
    curve.file = path;
    curve.timeScale = "BJD_TDB";
    // The file system's own refusal for a file that cannot be opened.
    std::FILE *probe = std::fopen(path.c_str(), "rb");
    if (probe == nullptr) {
        error = FileSystemError("open", path, errno);
        return false;
    }
    std::fclose(probe);
    std::unique_lock<std::mutex> serial(fitsWithoutThreads, std::defer_lock);
    if (!fits_is_reentrant())
        serial.lock();
    FitsFile fits;
    // The disk-file opener takes the name as it is, without cfitsio's
    // extended syntax of filters and sections in brackets.
    if (fits_open_diskfile(&fits.file, path.c_str(), READONLY, &fits.status) != 0) {
        error = Refusal(
            "the file is no FITS light curve (a table with TIME and SAP_FLUX or PDCSAP_FLUX)", path);
        CloseFits(fits);
        return false;
    }
    const bool read = ReadOpenFits(fits, path, choices, curve, error);
    CloseFits(fits);
    if (!read)
        return false;
    DropUnknownUncertainties(curve);
    return true;
}
