// Heliocentric and barycentric times by ERFA.
#include "timescale.h"

#include <cmath>
#include <erfa.h>
#include <erfam.h>

#include "numparam.h"

namespace {

// A reduced Julian date d is the ERFA two-part date (ReducedStart, d - 0.5):
// the first part a day boundary, the second small and exact.
const double ReducedStart = 2400000.5;

double SecondPart(double reduced) { return reduced - 0.5; }
double Reduced(double first, double second) { return (first - 2400000.0) + second; }

// The worse of two statuses: -1 before 1 before 0.
int WorseStatus(int a, int b) { return a < 0 || b < 0 ? -1 : (a > 0 || b > 0 ? 1 : 0); }

// Seconds of a sexagesimal text as the reader takes them: whole seconds and
// exactly two digits of hundredths ("10.5" becomes "10.50", "10.273"
// becomes "10.27").  Decimal values and texts without seconds stay.
std::string TwoDigitHundredths(const std::string &text)
{
    const std::size_t colon = text.rfind(':');
    if (colon == std::string::npos)
        return text;
    const std::size_t point = text.find('.', colon);
    if (point == std::string::npos)
        return text;
    std::string digits = text.substr(point + 1);
    if (digits.empty() || digits.find_first_not_of("0123456789") != std::string::npos)
        return text;
    digits.resize(2, '0');
    return text.substr(0, point + 1) + digits;
}

// Light time for the star-ward projection of a position in au, in days.
double LightDays(const double position[3], const double direction[3])
{
    double p[3] = {position[0], position[1], position[2]};
    double s[3] = {direction[0], direction[1], direction[2]};
    return eraPdp(p, s) * ERFA_AULT / ERFA_DAYSEC;
}

} // namespace

bool ReadRightAscension(const std::string &text, double &hours)
{
    double value = 0;
    if (!ReadSexagesimal(TwoDigitHundredths(text), value, 'H') || value < 0 || value >= 24)
        return false;
    hours = value;
    return true;
}

bool ReadDeclination(const std::string &text, double &degrees)
{
    double value = 0;
    if (!ReadSexagesimal(TwoDigitHundredths(text), value, 'D') || value < -90 || value > 90)
        return false;
    degrees = value;
    return true;
}

void StarDirection(double hours, double degrees, double direction[3])
{
    eraS2c(hours * 15 * ERFA_DD2R, degrees * ERFA_DD2R, direction);
}

int UtcToTt(double utc, double &tt)
{
    double tai1 = 0, tai2 = 0, tt1 = 0, tt2 = 0;
    const int status = eraUtctai(ReducedStart, SecondPart(utc), &tai1, &tai2);
    if (status < 0)
        return -1;
    eraTaitt(tai1, tai2, &tt1, &tt2);
    tt = Reduced(tt1, tt2);
    return status;
}

int UtcToTdb(double utc, double &tdb)
{
    double tt = 0;
    const int status = UtcToTt(utc, tt);
    if (status < 0)
        return -1;
    // TDB - TT at the geocentre; the day fraction of UTC stands for UT1.
    const double dayFraction = utc + 0.5 - std::floor(utc + 0.5);
    const double difference = eraDtdb(ReducedStart, SecondPart(tt), dayFraction, 0, 0, 0);
    double tdb1 = 0, tdb2 = 0;
    eraTttdb(ReducedStart, SecondPart(tt), difference, &tdb1, &tdb2);
    tdb = Reduced(tdb1, tdb2);
    return status;
}

int HeliocentricJulianDate(double utc, const double direction[3], double &hjd)
{
    double tdb = 0;
    const int status = UtcToTdb(utc, tdb);
    if (status < 0)
        return -1;
    double heliocentric[2][3], barycentric[2][3];
    const int ephemeris = eraEpv00(ReducedStart, SecondPart(tdb), heliocentric, barycentric);
    hjd = utc + LightDays(heliocentric[0], direction);
    return WorseStatus(status, ephemeris);
}

int BarycentricJulianDate(double utc, const double direction[3], double &bjd)
{
    double tdb = 0;
    const int status = UtcToTdb(utc, tdb);
    if (status < 0)
        return -1;
    double heliocentric[2][3], barycentric[2][3];
    const int ephemeris = eraEpv00(ReducedStart, SecondPart(tdb), heliocentric, barycentric);
    bjd = tdb + LightDays(barycentric[0], direction);
    return WorseStatus(status, ephemeris);
}
