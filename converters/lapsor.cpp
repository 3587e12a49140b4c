// lapsor: turns times given as days:hours:minutes:seconds into days; with a
// second time also prints the interval between the two, and with a width
// (in days, or in hours with the unit h) the interval divided by it.  A
// result that is no finite number is replaced by a message.  The exit
// status is always 0.
#include <cctype>
#include <cmath>
#include <string>

#include "numformat.h"
#include "numparse.h"
#include "output.h"
#include "runerror.h"
#include "text.h"

namespace {

const char UsageText[] = "lapsor  dd:hh:mm  [dd:hh:mm  [<width> [unit]]]\r\n"
                         " (two parameters will give the length of interval as well\r\n"
                         "  the third parameter will divide that length afterwards)\r\n"
                         "\r\n";

// The fields of the time being read: days, hours, minutes, seconds.  They
// live for the whole run, so a time that gives fewer fields keeps the later
// ones of the time before.
const int TimeFieldCount = 4;
double TimeFields[TimeFieldCount] = {0, 0, 0, 0};

// Written in place of a result that is no finite number (a time, interval
// or ratio beyond the range of a double), in the form of the message of a
// converter that gets no number.
const char NoFiniteResultMessage[] = "No finite number (time / 1 d) results,\r\n"
                                     "  the times or the width are too large or too small.\n";

// Days with 5 decimals in 8 characters; differences and ratios are written
// from their extended-precision values.  A result that is not finite as a
// double is not written: the message ends the output (status 0).
void WriteDays(long double days)
{
    if (!std::isfinite(static_cast<double>(days))) {
        WriteText(NoFiniteResultMessage);
        EndProgram(0);
    }
    WriteText(ExtendedFieldText(days, 8, 5));
}

[[noreturn]] void StopWithUsage()
{
    WriteText(UsageText);
    EndProgram(0);
}

// A '?' at the second or a later position asks for the usage text.
bool AsksForUsage(const std::string &parameter) { return parameter.find('?', 1) != std::string::npos; }

// Reads the fields of a time into TimeFields.  The first character that the
// real reader rejects ends a field; a field that begins with a rejected
// character reads as 0 and ends the time.  Fields after the fourth are
// ignored.
void ReadTimeFields(const std::string &s)
{
    int k = 1;
    long pos = 1;
    long len = static_cast<long>(s.size());
    long p;
    do {
        const RealParse r = ParseReal(Copy(s, pos, len));
        TimeFields[k - 1] = r.value;
        p = r.position;
        if (p > 1) {
            len = p - 1;
            TimeFields[k - 1] = ParseReal(Copy(s, pos, len)).value;
            k += 1;
            pos = pos + len + 1;
            p = len + 1;
            len = static_cast<long>(s.size()) - pos + 1;
        }
    } while (p >= 2 && len != 0 && k <= TimeFieldCount);
}

// The time in TimeFields in days, evaluated in extended precision.
double TimeInDays()
{
    const long double seconds = TimeFields[3];
    return static_cast<double>(TimeFields[0] + (TimeFields[1] + (TimeFields[2] + seconds / 60) / 60) / 24);
}

double ReadTime(const std::string &parameter)
{
    if (AsksForUsage(parameter))
        StopWithUsage();
    ReadTimeFields(parameter);
    return TimeInDays();
}

} // namespace

namespace {

int ConvertInterval(int argc, char **argv)
{
    const int parameterCount = argc - 1;
    if (parameterCount < 1)
        StopWithUsage();

    const double start = ReadTime(argv[1]);
    WriteDays(start);
    if (parameterCount < 2)
        return 0;

    const double end = ReadTime(argv[2]);
    WriteText(" d (start)\r\n");
    WriteDays(end);
    WriteText(" d (end)\n");
    const long double interval = static_cast<long double>(end) - start;
    WriteDays(interval);
    WriteText(" d (time)\n");
    if (parameterCount < 3)
        return 0;

    double width = ParseReal(argv[3]).value;
    std::string unit;
    if (parameterCount >= 4) {
        unit = Copy(argv[4], 1, 1);
        if (!unit.empty() && std::toupper(static_cast<unsigned char>(unit[0])) == 'H')
            width = width / 24;
    }
    if (width != 0) {
        WriteDays(interval / width);
        WriteText(" " + unit + " (ratio)\n");
    }
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    StopOnUncaughtExceptions("lapsor");
    try {
        return ConvertInterval(argc, argv);
    } catch (...) {
        StopOnException("lapsor");
    }
}
