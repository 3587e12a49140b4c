// tempconv: converts the Fahrenheit temperature of the first parameter to
// Celsius.  Further parameters are ignored; the exit status is always 0.
#include <cmath>
#include <string>

#include "numformat.h"
#include "numparse.h"
#include "output.h"
#include "runerror.h"

namespace {

// The degree sign of code page 437, one byte.
const char DegreeSign[] = "\xF8";

const char NoNumberMessage[] = "No number (Fahrenheit temperature / 1 \xF8"
                               "F) given,\r\n"
                               "  to compute Celsius temperature.\n";

// (f - 32) * 5 / 9, evaluated in that order in extended precision.
double CelsiusOf(double fahrenheit) { return static_cast<double>((fahrenheit - 32.0L) * 5 / 9); }

} // namespace

namespace {

int ConvertTemperature(int argc, char **argv)
{
    const std::string parameter = argc > 1 ? argv[1] : "";
    const RealParse fahrenheit = ParseReal(parameter);
    // A number beyond the range of a double (1e400) gives no temperature.
    if (fahrenheit.position == 0 && std::isfinite(fahrenheit.value))
        WriteText(RealFieldText(CelsiusOf(fahrenheit.value), 6, 2) + DegreeSign + "C\n");
    else
        WriteText(NoNumberMessage);
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    StopOnUncaughtExceptions("tempconv");
    try {
        return ConvertTemperature(argc, argv);
    } catch (...) {
        StopOnException("tempconv");
    }
}
