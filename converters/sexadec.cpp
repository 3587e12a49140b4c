// sexadec: turns one sexagesimal value (degrees:minutes:seconds or
// hours:minutes:seconds) into a decimal number and prints it together with
// the number multiplied by 15.  A refused value prints nothing; the exit
// status is always 0.
#include <string>

#include "numformat.h"
#include "numparam.h"
#include "output.h"
#include "runerror.h"

namespace {

const char UsageLine[] = "degrees:minutes:seconds to degrees (or h:min:s -> hours): babylonian to decadic\n";

// "value, and *15 =value*15"; the product is formed and written in
// extended precision, so its last decimal is rounded from the exact product.
std::string ResultLine(double value)
{
    const long double product = value * 15.0L;
    return RealFieldText(value, 8, 4) + ", and *15 =" + ExtendedFieldText(product, 9, 4) + "\n";
}

} // namespace

namespace {

int ConvertSexagesimal(int argc, char **argv)
{
    if (argc != 2) {
        WriteText(UsageLine);
        return 0;
    }
    // Always read as degrees: any value below 361 in magnitude is accepted,
    // so hours pass as well.
    double value = 0;
    if (ReadSexagesimal(argv[1], value, 'D'))
        WriteText(ResultLine(value));
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    StopOnUncaughtExceptions("sexadec");
    try {
        return ConvertSexagesimal(argc, argv);
    } catch (...) {
        StopOnException("sexadec");
    }
}
