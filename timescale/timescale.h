// Times of observation on the heliocentric and barycentric scales, by the
// fundamental-astronomy routines of ERFA.  Dates are reduced Julian dates
// (Julian date - 2400000) as doubles; the conversions keep well within a
// microday of the full two-part chain.  Every function may be called from
// several threads at once.
#pragma once
#include <string>

// Reads a right ascension in hours, sexagesimal ("22:29:10.27") or decimal
// ("22.486"), 0 <= hours < 24.  False when the text is no such value.
bool ReadRightAscension(const std::string &text, double &hours);

// Reads a declination in degrees, sexagesimal ("+58:24:54.7", "-0:30") or
// decimal, -90 <= degrees <= 90.  False when the text is no such value.
bool ReadDeclination(const std::string &text, double &degrees);

// The unit vector toward a star at right ascension 'hours' and declination
// 'degrees' (equatorial frame of J2000, as ERFA's ephemeris).
void StarDirection(double hours, double degrees, double direction[3]);

// Terrestrial time of a UTC reduced Julian date (leap seconds as ERFA's
// table has them; TAI - UTC taken as 0 before 1960).  Returns 0, 1 for a
// date outside the table's years (a warning), -1 for an unusable date.
int UtcToTt(double utc, double &tt);

// Barycentric dynamical time of a UTC reduced Julian date, for an observer
// at the geocentre.  Status as UtcToTt.
int UtcToTdb(double utc, double &tdb);

// The heliocentric Julian date (UTC) of a UTC reduced Julian date: the time
// light from the star passes the Sun's centre.  Status as UtcToTt; 1 also
// for dates outside 1900..2100, where the ephemeris is less accurate.
int HeliocentricJulianDate(double utc, const double direction[3], double &hjd);

// The barycentric Julian date in TDB (BJD_TDB) of a UTC reduced Julian
// date: the time light from the star passes the solar system's barycentre.
// Status as HeliocentricJulianDate.
int BarycentricJulianDate(double utc, const double direction[3], double &bjd);
