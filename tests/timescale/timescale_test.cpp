// Heliocentric and barycentric times against values worked out without
// ERFA: the Earth and the Sun from the approximate Keplerian elements of the
// planets (Earth-Moon barycentre, Venus, Jupiter to Neptune, with the Moon's
// pull on the Earth from its mean orbit), TT from the table of leap
// seconds, TDB - TT from its leading periodic term.  That chain is good to
// a few tenths of a second, hence the tolerance.
#include <gtest/gtest.h>

#include <erfa.h>
#include <erfam.h>

#include <algorithm>
#include <cmath>

#include "timescale.h"

namespace {

const double Tolerance = 1e-6; // days

struct Star {
    const char *name;
    const char *ra;
    const char *dec;
};

struct Expected {
    int star;
    double utc;
    double hjd;
    double bjd;
};

const Star Stars[] = {
    {"delta Cep", "22:29:10.27", "+58:24:54.7"},
    {"SS Cyg", "21:42:42.8", "43:35:09.90"},
    {"south of the ecliptic", "6.5", "-30.25"},
};

TEST(TimeScale, HeliocentricAndBarycentricDatesAcrossAYear)
{
    const Expected cases[] = {
        {0, 53000.2292, 53000.22985426, 53000.23060377}, {0, 53100.75, 53100.74707238, 53100.74782349},
        {0, 53300.125, 53300.12786138, 53300.12861482},  {0, 57093.5, 57093.49740216, 57093.49818730},
        {1, 53000.2292, 53000.22836593, 53000.22912194}, {1, 53100.75, 53100.74683033, 53100.74758722},
        {1, 53300.125, 53300.12774656, 53300.12850403},  {1, 57093.5, 57093.49651952, 57093.49730746},
        {2, 53000.2292, 53000.23256495, 53000.23329616}, {2, 53100.75, 53100.74970947, 53100.75044278},
        {2, 53300.125, 53300.12603577, 53300.12677357},  {2, 57093.5, 57093.50117115, 57093.50194580},
    };
    for (const Expected &c : cases) {
        const Star &star = Stars[c.star];
        double hours = 0, degrees = 0, direction[3];
        ASSERT_TRUE(ReadRightAscension(star.ra, hours)) << star.ra;
        ASSERT_TRUE(ReadDeclination(star.dec, degrees)) << star.dec;
        StarDirection(hours, degrees, direction);
        double hjd = 0, bjd = 0;
        EXPECT_EQ(HeliocentricJulianDate(c.utc, direction, hjd), 0);
        EXPECT_EQ(BarycentricJulianDate(c.utc, direction, bjd), 0);
        EXPECT_NEAR(hjd, c.hjd, Tolerance) << star.name << " at " << c.utc << " HJD diff " << (hjd - c.hjd) * 86400 << " s";
        EXPECT_NEAR(bjd, c.bjd, Tolerance) << star.name << " at " << c.utc << " BJD diff " << (bjd - c.bjd) * 86400 << " s";
    }
}

}

namespace {

TEST(TimeScale, CoordinatesSexagesimalOrDecimal)
{
    struct Case {
        const char *text;
        bool rightAscension;
        bool accepted;
        double value;
    };
    const Case cases[] = {
        {"22:29:10.27", true, true, 22 + 29 / 60.0 + 10.27 / 3600}, {"22.486", true, true, 22.486},
        {"21:42:42.8", true, true, 21 + 42 / 60.0 + 42.8 / 3600},    {"0:0:10.273", true, true, 10.27 / 3600},
        {"24:00:00", true, false, 0},                                {"-1", true, false, 0},
        {"12h30m", true, true, 12.5},                                {"abc", true, false, 0},
        {"+58:24:54.7", false, true, 58 + 24 / 60.0 + 54.7 / 3600}, {"-0:30", false, true, -0.5},
        {"-30.25", false, true, -30.25},                             {"90:00:01", false, false, 0},
        {"", false, false, 0},
    };
    for (const Case &c : cases) {
        double value = 0;
        const bool accepted = c.rightAscension ? ReadRightAscension(c.text, value) : ReadDeclination(c.text, value);
        EXPECT_EQ(accepted, c.accepted) << c.text;
        if (c.accepted) {
            EXPECT_NEAR(value, c.value, 1e-12) << c.text;
        }
    }
}

// TT - UTC is 32.184 s plus the leap seconds: 61.184 s in 1995, 68.184 s
// in 2016 and 69.184 s after the leap second at the start of 2017 (reduced
// JD 57754.5).  On the day that ends with a leap second, UTC Julian dates
// are stretched over 86401 s, as ERFA counts them.
TEST(TimeScale, TerrestrialTimeAcrossALeapSecond)
{
    const struct {
        double utc;
        double seconds;
    } cases[] = {{57753.4, 68.184}, {57754.0, 68.684}, {57754.6, 69.184}, {50000.0, 61.184}};
    for (const auto &c : cases) {
        double tt = 0;
        EXPECT_EQ(UtcToTt(c.utc, tt), 0);
        EXPECT_NEAR((tt - c.utc) * 86400, c.seconds, 1e-4) << c.utc;
    }
}

} // namespace

namespace {

// The full ERFA chain for one date, every series evaluated at the date
// itself: UTC -> TAI -> TT -> TDB, the Earth's position at TDB.
void FullChain(double utc, const double direction[3], double &hjd, double &bjd)
{
    double tai1, tai2, tt1, tt2, tdb1, tdb2, pvh[2][3], pvb[2][3];
    eraUtctai(2400000.5, utc - 0.5, &tai1, &tai2);
    eraTaitt(tai1, tai2, &tt1, &tt2);
    const double fraction = utc + 0.5 - std::floor(utc + 0.5);
    eraTttdb(tt1, tt2, eraDtdb(tt1, tt2, fraction, 0, 0, 0), &tdb1, &tdb2);
    eraEpv00(tdb1, tdb2, pvh, pvb);
    double s[3] = {direction[0], direction[1], direction[2]};
    const double light = ERFA_AULT / ERFA_DAYSEC;
    hjd = utc + eraPdp(pvh[0], s) * light;
    bjd = (tdb1 - 2400000) + tdb2 + eraPdp(pvb[0], s) * light;
}

// Over a decade at uneven times, back and forth, the conversions keep
// within a few microseconds of the full chain.
TEST(TimeScale, AsTheFullChain)
{
    double direction[3];
    StarDirection(22.486, 58.415, direction);
    double worst = 0;
    for (int i = 0; i < 4000; ++i) {
        const double utc = 53000 + std::fmod(i * 912.7317, 3650.0);
        double hjd, bjd, fullHjd, fullBjd;
        ASSERT_EQ(HeliocentricJulianDate(utc, direction, hjd), 0);
        ASSERT_EQ(BarycentricJulianDate(utc, direction, bjd), 0);
        FullChain(utc, direction, fullHjd, fullBjd);
        worst = std::max({worst, std::fabs(hjd - fullHjd), std::fabs(bjd - fullBjd)});
    }
    EXPECT_LT(worst, 5e-11) << worst * 86400 << " s";
}

} // namespace
