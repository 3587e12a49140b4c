// Observation files (date, UT time, magnitude a record) and Julian-date
// files (reduced Julian date, magnitude a record), read number by number as
// kalidor reads them: numbers separated by blanks, tabs and line ends, the
// rest of a record's last line skipped.
#include <cerrno>
#include <cmath>
#include <cstdio>

#include "dates.h"
#include "numformat.h"
#include "numparse.h"
#include "readerparts.h"

namespace {

// The longest number text; a longer one is no number.
const std::size_t MaxNumberText = 255;

// A file read a byte at a time, counting its lines.
struct NumberStream {
    std::FILE *file = nullptr;
    int pending = -1;   // a byte looked at and not yet taken
    long line = 1;      // the line of the next byte
    int readErrno = 0;  // a failed read's error number; 0: none
};

int TakeByte(NumberStream &in)
{
    int c = in.pending;
    if (c >= 0) {
        in.pending = -1;
    } else {
        c = getc_unlocked(in.file);
        if (c == EOF) {
            if (std::ferror(in.file) && in.readErrno == 0)
                in.readErrno = errno != 0 ? errno : EIO;
            return -1;
        }
    }
    if (c == '\n')
        ++in.line;
    return c;
}

int PeekByte(NumberStream &in)
{
    if (in.pending < 0) {
        const int c = getc_unlocked(in.file);
        if (c == EOF) {
            if (std::ferror(in.file) && in.readErrno == 0)
                in.readErrno = errno != 0 ? errno : EIO;
            return -1;
        }
        in.pending = c;
    }
    return in.pending;
}

bool IsSeparator(int c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

enum NumberResult { NumberRead, NumberInvalid, NumberReadFault };

// Skips separators (across lines) and reads the number's text up to the
// next separator.  The end of the file before a number, a text longer than
// MaxNumberText and a text that is no number are invalid.
NumberResult ReadNumber(NumberStream &in, double &value)
{
    int c = PeekByte(in);
    while (c >= 0 && IsSeparator(c)) {
        TakeByte(in);
        c = PeekByte(in);
    }
    if (in.readErrno != 0)
        return NumberReadFault;
    if (c < 0)
        return NumberInvalid;
    char text[MaxNumberText];
    std::size_t length = 0;
    while (c >= 0 && !IsSeparator(c)) {
        if (length == MaxNumberText)
            return NumberInvalid;
        text[length++] = static_cast<char>(TakeByte(in));
        c = PeekByte(in);
    }
    if (in.readErrno != 0)
        return NumberReadFault;
    return ReadRealText(text, length, value) ? NumberRead : NumberInvalid;
}

// Takes the rest of the line, its line end included.
void SkipLine(NumberStream &in)
{
    int c;
    do
        c = TakeByte(in);
    while (c >= 0 && c != '\n');
}

bool AtEnd(NumberStream &in) { return PeekByte(in) < 0; }

bool InRange(long double v, long double highest) { return v >= 0 && v <= highest; }

// Reads 'count' numbers of a record into values; false with the error set
// when one cannot be read.
bool ReadRecordNumbers(NumberStream &in, const std::string &path, double *values, int count, ReadError &error)
{
    for (int i = 0; i < count; ++i) {
        const long line = in.line;
        switch (ReadNumber(in, values[i])) {
        case NumberRead:
            break;
        case NumberInvalid:
            // At the end of the file the fault is on the last line.
            error = InvalidNumberError(path, in.line > line && AtEnd(in) ? in.line - 1 : in.line);
            return false;
        case NumberReadFault:
            error = FileSystemError("read", path, in.readErrno);
            return false;
        }
    }
    SkipLine(in);
    if (in.readErrno != 0) {
        error = FileSystemError("read", path, in.readErrno);
        return false;
    }
    return true;
}

bool OpenStream(NumberStream &in, const std::string &path, ReadError &error)
{
    in.file = std::fopen(path.c_str(), "rb");
    if (in.file == nullptr) {
        error = FileSystemError("open", path, errno);
        return false;
    }
    return true;
}

// The reduced Julian date of an observation record's date and time
// fields; false when the fields are no date and time.
bool RecordDate(double date, double time, double &reduced)
{
    const DateFieldParts parts = SplitDateField(date);
    const TimeFieldParts clock = SplitTimeField(time);
    if (!InRange(parts.day, 31) || !InRange(parts.month, 12) || !InRange(clock.hours, 24) ||
        !InRange(clock.minutes, 59) || !parts.usable)
        return false;
    reduced = JulianDateOfParts(parts, static_cast<int>(clock.hours), static_cast<int>(clock.minutes));
    return true;
}

// Reads the records of an observation file into the curve; false with the
// error set at the first record refused.
bool ReadObservationRecords(NumberStream &in, const std::string &path, const ReadChoices &choices,
                            LightCurve &curve, ReadError &error)
{
    const TimeConverter converter = MakeTimeConverter(choices);
    long double previousOrder = 0;
    long record = 0;
    while (!AtEnd(in)) {
        if (record == choices.maximumEstimates) {
            error = Refusal(TooManyEstimatesText(choices.maximumEstimates), path);
            return false;
        }
        ++record;
        double fields[3];
        if (!ReadRecordNumbers(in, path, fields, 3, error))
            return false;
        const double magnitude = fields[2];
        // The dialogue notes each record dated before the one above it,
        // comparing calendar dates of either form.
        const long double order = DateFieldOrder(fields[0]);
        if (SplitDateField(fields[0]).usable && previousOrder > order)
            ++curve.datesOutOfOrder;
        previousOrder = order;
        double reduced = 0, time = 0;
        std::string refusal;
        if (!RecordDate(fields[0], fields[1], reduced)) {
            error = Refusal(BadRecordText(record), path, record);
            return false;
        }
        if (!ConvertTime(converter, reduced, time, refusal)) {
            error = Refusal(refusal, path, record);
            return false;
        }
        // A value that is not finite, or whose text would not fit kalidor's
        // Julian-date file, is refused as the program refuses it.
        if (!std::isfinite(magnitude) || !std::isfinite(time) || !ThreeDecimalTextFits(magnitude) || !ThreeDecimalTextFits(time)) {
            error = Refusal(BadRecordText(record), path, record);
            return false;
        }
        curve.time.push_back(time);
        curve.magnitude.push_back(magnitude);
    }
    if (in.readErrno != 0) {
        error = FileSystemError("read", path, in.readErrno);
        return false;
    }
    return true;
}

// Reads the records of a Julian-date file into the curve, times as
// written; false with the error set at the first record refused.
bool ReadJulianDateRecords(NumberStream &in, const std::string &path, const ReadChoices &choices, LightCurve &curve,
                           ReadError &error)
{
    long record = 0;
    while (!AtEnd(in)) {
        if (record == choices.maximumEstimates) {
            error = Refusal(TooManyEstimatesText(choices.maximumEstimates), path);
            return false;
        }
        ++record;
        double fields[2];
        if (!ReadRecordNumbers(in, path, fields, 2, error))
            return false;
        if (!std::isfinite(fields[0]) || !std::isfinite(fields[1])) {
            error = Refusal(BadRecordText(record), path, record);
            return false;
        }
        curve.time.push_back(fields[0]);
        curve.magnitude.push_back(fields[1]);
    }
    if (in.readErrno != 0) {
        error = FileSystemError("read", path, in.readErrno);
        return false;
    }
    return true;
}

// Converts every time of the curve after the whole file was read, as
// kalidor does for a Julian-date file.
bool ConvertAllTimes(const std::string &path, const ReadChoices &choices, LightCurve &curve, ReadError &error)
{
    const TimeConverter converter = MakeTimeConverter(choices);
    for (std::size_t i = 0; i < curve.time.size(); ++i) {
        std::string refusal;
        if (!ConvertTime(converter, curve.time[i], curve.time[i], refusal)) {
            error = Refusal(refusal, path, static_cast<long>(i) + 1);
            return false;
        }
    }
    return true;
}

typedef bool (*RecordReader)(NumberStream &, const std::string &, const ReadChoices &, LightCurve &, ReadError &);

void ReadRecordFile(const std::string &path, const ReadChoices &choices, RecordReader readRecords, bool convertAfter,
                    LightCurveReading &reading)
{
    NumberStream in;
    if (!OpenStream(in, path, reading.error))
        return;
    LightCurve curve;
    curve.file = path;
    bool read = readRecords(in, path, choices, curve, reading.error);
    std::fclose(in.file);
    if (!read)
        return;
    if (curve.time.empty()) {
        reading.error = Refusal(EmptyFileText, path);
        return;
    }
    if (convertAfter && !ConvertAllTimes(path, choices, curve, reading.error))
        return;
    curve.timeScale = ConvertedScaleName(choices.timeConversion);
    reading.curves.push_back(curve);
    reading.refusals.emplace_back();
}

} // namespace

void ReadObservationLightCurve(const std::string &path, const ReadChoices &choices, LightCurveReading &reading)
{
    ReadRecordFile(path, choices, ReadObservationRecords, false, reading);
}

void ReadJulianDateLightCurve(const std::string &path, const ReadChoices &choices, LightCurveReading &reading)
{
    ReadRecordFile(path, choices, ReadJulianDateRecords, true, reading);
}
