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

namespace {

// The ephemeris at whole TT days: the Earth's heliocentric and
// barycentric position (au) and velocity (au/day), and TDB - TT (days).
// Between two such days the Earth's motion is a cubic to far better than a
// microsecond, and TDB - TT a straight line; a conversion interpolates
// them instead of evaluating the full series for every observation.
struct EphemerisDay {
    long day;
    bool filled;
    int status;
    double position[2][3];
    double velocity[2][3];
    double tdbMinusTt;
};

// The days met last, by day number modulo the size; observations near in
// time share their days.  Each thread keeps its own, so that light curves
// read on several threads at once convert their times independently.
const int EphemerisCacheSize = 64;
thread_local EphemerisDay ephemerisCache[EphemerisCacheSize];

const EphemerisDay &EphemerisOfDay(long day)
{
    EphemerisDay &entry = ephemerisCache[static_cast<unsigned long>(day) % EphemerisCacheSize];
    if (entry.filled && entry.day == day)
        return entry;
    entry.day = day;
    entry.filled = true;
    const double second = SecondPart(static_cast<double>(day));
    // TDB - TT at the geocentre; the day fraction stands for UT1 (it only
    // enters the terms of an observer away from the geocentre).
    entry.tdbMinusTt = eraDtdb(ReducedStart, second, 0.5, 0, 0, 0) / ERFA_DAYSEC;
    double heliocentric[2][3], barycentric[2][3];
    entry.status = eraEpv00(ReducedStart, second, heliocentric, barycentric);
    for (int k = 0; k < 3; ++k) {
        entry.position[0][k] = heliocentric[0][k];
        entry.velocity[0][k] = heliocentric[1][k];
        entry.position[1][k] = barycentric[0][k];
        entry.velocity[1][k] = barycentric[1][k];
    }
    return entry;
}

// The star-ward projection of the Earth's position (au) at TT 'tt' by the
// cubic through the whole days around it; 'frame' 0 heliocentric, 1
// barycentric.  Also gives TDB - TT (days) and the ephemeris status.
double ProjectedEarth(double tt, int frame, const double direction[3], double &tdbMinusTt, int &status)
{
    const long day = static_cast<long>(std::floor(tt));
    const double f = tt - static_cast<double>(day);
    const EphemerisDay before = EphemerisOfDay(day);
    const EphemerisDay &after = EphemerisOfDay(day + 1);
    double p0 = 0, p1 = 0, v0 = 0, v1 = 0;
    for (int k = 0; k < 3; ++k) {
        p0 += before.position[frame][k] * direction[k];
        p1 += after.position[frame][k] * direction[k];
        v0 += before.velocity[frame][k] * direction[k];
        v1 += after.velocity[frame][k] * direction[k];
    }
    tdbMinusTt = before.tdbMinusTt + f * (after.tdbMinusTt - before.tdbMinusTt);
    status = before.status > after.status ? before.status : after.status;
    // Cubic Hermite interpolation over one day.
    const double f2 = f * f, f3 = f2 * f;
    return (2 * f3 - 3 * f2 + 1) * p0 + (f3 - 2 * f2 + f) * v0 + (-2 * f3 + 3 * f2) * p1 + (f3 - f2) * v1;
}

// The light time (days) of the Earth's projected position for a UTC date;
// TT and TDB come with it.
int LightTimeOfEarth(double utc, int frame, const double direction[3], double &lightDays, double &tdb)
{
    double tt = 0;
    const int status = UtcToTt(utc, tt);
    if (status < 0 || !(std::fabs(tt) < 1e9))
        return -1;
    double tdbMinusTt = 0;
    int ephemeris = 0;
    lightDays = ProjectedEarth(tt, frame, direction, tdbMinusTt, ephemeris) * ERFA_AULT / ERFA_DAYSEC;
    tdb = tt + tdbMinusTt;
    return WorseStatus(status, ephemeris);
}

} // namespace

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
    double light = 0, tdb = 0;
    const int status = LightTimeOfEarth(utc, 0, direction, light, tdb);
    hjd = utc + light;
    return status;
}

int BarycentricJulianDate(double utc, const double direction[3], double &bjd)
{
    double light = 0, tdb = 0;
    const int status = LightTimeOfEarth(utc, 1, direction, light, tdb);
    bjd = tdb + light;
    return status;
}
