// The observation file and the Julian-date file.
#include <cerrno>
#include <cmath>
#include <sys/stat.h>
#include <unistd.h>

#include "dates.h"
#include "kalidor.h"
#include "numformat.h"
#include "output.h"
#include "fileio.h"
#include "outputfile.h"
#include "runerror.h"

namespace {

void OpenInputOrStop(TextInput &in, const std::string &name)
{
    if (!OpenTextInput(in, name.c_str()))
        RunErrorFromErrno(errno);
}

bool InRange(long double v, long double highest) { return v >= 0 && v <= highest; }

} // namespace

void RefuseTooManyRecords()
{
    Refuse("Prilis mnoho odhadu: program pojme nejvyse " + IntegerText(MaxObservations, 0) + " zaznamu.",
           "too many estimates: at most " + IntegerText(MaxObservations, 0) + " records");
}

void RefuseEmptyFile() { Refuse("Soubor neobsahuje zadny odhad.", "the file holds no estimate"); }

void RejectRecord(long record)
{
    Refuse("Spatny format dat na radku " + IntegerText(record, 0), "bad data format on line " + IntegerText(record, 0));
}

int CreateJulianDateFile(const std::string &julianDateName)
{
    RefuseOverwritingInput(julianDateName);
    // Written beside the earlier file and put in its place only when
    // complete, so that a refused or stopped run leaves the earlier one.
    return CreateOutputFile(julianDateName);
}

void WriteJulianDateLines(int fd)
{
    std::string buffer;
    for (int i = 1; i <= ObservationCount; ++i) {
        buffer += FormatFixed(JulianDates[i], 4) + "   " + FormatFixed(Magnitudes[i], 3) + "\n";
        if (buffer.size() >= 60000) {
            WriteOrStop(fd, buffer.data(), buffer.size());
            buffer.clear();
        }
    }
    WriteOrStop(fd, buffer.data(), buffer.size());
    FinishOutputFile(fd);
}

bool IsSameFile(const std::string &a, const std::string &b)
{
    struct stat sa, sb;
    if (stat(a.c_str(), &sa) != 0 || stat(b.c_str(), &sb) != 0)
        return false;
    return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

void RefuseOverwritingInput(const std::string &outputName)
{
    if (IsSameFile(InputName, outputName))
        Refuse("Soubor " + outputName + " je vstupni soubor, nelze jej prepsat.",
               "the file " + outputName + " is the input file; it cannot be overwritten");
}

void ReadObservationFile(const std::string &inputName, const std::string &julianDateName)
{
    Tell("Pocitam julianska data ...");
    TextInput in;
    OpenInputOrStop(in, inputName);
    const int julianDates = CreateJulianDateFile(julianDateName);
    ObservationCount = 0;
    MagnitudeSum = 0;
    long double previousOrder = 0;
    int record = 0;
    while (!AtEndOfInput(in)) {
        if (record == MaxObservations)
            RefuseTooManyRecords();
        ++record;
        const double date = ReadReal(in);
        const double time = ReadReal(in);
        const double magnitude = ReadReal(in);
        SkipLine(in);
        Magnitudes[record] = magnitude;
        // The note compares calendar dates, so that six- and eight-digit
        // dates may follow each other; a field that is no date gets none.
        const DateFieldParts parts = SplitDateField(date);
        const long double order = DateFieldOrder(date);
        if (parts.usable && previousOrder > order)
            Tell("Poznamka: Data nejsou usporadana chronologicky");
        previousOrder = order;
        MagnitudeSum += magnitude;

        const TimeFieldParts clock = SplitTimeField(time);
        if (!InRange(parts.day, 31) || !InRange(parts.month, 12) || !InRange(clock.hours, 24) ||
            !InRange(clock.minutes, 59) || !parts.usable)
            RejectRecord(record);
        // A magnitude or a date too large for a double is refused the same
        // way, so that no infinity reaches the spectrum.
        JulianDates[record] =
            ConvertedTime(JulianDateOfParts(parts, static_cast<int>(clock.hours), static_cast<int>(clock.minutes)));
        if (!std::isfinite(magnitude) || !std::isfinite(JulianDates[record]))
            RejectRecord(record);
        // A value whose text would pass 255 characters would be cut in the
        // Julian-date file and read back as another number.
        if (!FitsFormatFixed(magnitude) || !FitsFormatFixed(JulianDates[record]))
            RejectRecord(record);
        ObservationCount = record;
    }
    CloseTextInput(in);
    if (ObservationCount == 0)
        RefuseEmptyFile(); // the exit hook removes the empty file
    WriteJulianDateLines(julianDates);
    Tell("Soubor " + Stem + ".jud vytvoren");
}

void ReadJulianDateFile(const std::string &inputName)
{
    ObservationCount = 0;
    MagnitudeSum = 0;
    TextInput in;
    OpenInputOrStop(in, inputName);
    while (!AtEndOfInput(in)) {
        if (ObservationCount == MaxObservations)
            RefuseTooManyRecords();
        const int n = ObservationCount + 1;
        JulianDates[n] = ReadReal(in);
        Magnitudes[n] = ReadReal(in);
        SkipLine(in);
        if (!std::isfinite(JulianDates[n]) || !std::isfinite(Magnitudes[n]))
            RejectRecord(n);
        ObservationCount = n;
        MagnitudeSum += Magnitudes[n];
    }
    CloseTextInput(in);
    if (ObservationCount == 0)
        RefuseEmptyFile();
}
