// File-name and number-to-text helpers of kalidor.
#include <cmath>

#include "kalidor.h"
#include "numformat.h"
#include "text.h"

namespace {

// x with exactly three decimals, rounded; "NaN", "Inf" or "-Inf" when x is
// not a finite number (texts without a point).  Like every text it keeps at
// most 255 characters.
std::string BaseText(double x)
{
    if (std::isnan(x))
        return "NaN";
    if (std::isinf(x))
        return x < 0 ? "-Inf" : "Inf";
    return CutText(FixedText(x, 2, 3));
}

} // namespace

std::string FileStem(const std::string &name) { return Copy(name, 1, PositionOf('.', name) - 1); }

std::string FileExtension(const std::string &name)
{
    const long point = PositionOf('.', name);
    return point == 0 ? name : Copy(name, point, static_cast<long>(name.size()));
}

std::string FormatFixed(double x, int decimals)
{
    const std::string base = BaseText(x);
    return Copy(base, 1, PositionOf('.', base) + decimals);
}

bool FitsFormatFixed(double x) { return ThreeDecimalTextFits(x); }

std::string FormatWhole(double x)
{
    const std::string base = BaseText(x);
    return Copy(base, 1, PositionOf('.', base) - 1);
}
