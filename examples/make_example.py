#!/usr/bin/env python3
"""Writes example.dat: synthetic brightness estimates of a pulsating star.

The star pulsates with the period TRUE_PERIOD days and an amplitude of about
0.7 magnitude.  Its light rises slowly to maximum, over about 0.7 of the
period, and falls quickly, over the other 0.3: the magnitude, larger for
fainter light, falls slowly and rises quickly.  An observer estimates it on 150
random nights of 1994 and 1995, between 19 h and 3 h UT, with a scatter of
about 0.1 magnitude, and writes one line per estimate:

    YYMMDD  hh.mm  magnitude

The random numbers come from a fixed seed, so running this script again
gives the same file byte for byte:

    python3 make_example.py > example.dat

kalidor finds the period again: a spectrum from 1 to 20 days in 2000
intervals has its highest peak within one grid step of TRUE_PERIOD.
"""

import datetime
import math
import random

TRUE_PERIOD = 4.2713          # days
EPOCH = 49350.25              # phase 0, reduced Julian date
MEAN_MAGNITUDE = 6.35
SCATTER = 0.10                # standard deviation of one estimate
ESTIMATES = 150
FIRST_NIGHT = datetime.date(1994, 1, 1)
NIGHTS = 730


def reduced_julian_date(day, hours, minutes):
    """Julian date minus 2 400 000 of a calendar day and a UT time."""
    # date.toordinal() is 1 for 1 January of the year 1; that day began at
    # the Julian date 1721424.5.
    return day.toordinal() + 1721424.5 - 2400000 + (hours + minutes / 60) / 24


def light_curve(phase):
    """Magnitude at a phase: the light rises slowly from its minimum at phase
    0.36 to its maximum at phase 1.06 and falls quickly back to the minimum."""
    shape = (0.30 * math.cos(2 * math.pi * phase)
             + 0.11 * math.cos(4 * math.pi * phase - 0.9)
             + 0.04 * math.cos(6 * math.pi * phase - 1.8))
    return MEAN_MAGNITUDE - shape


def main():
    rng = random.Random(42713)
    nights = sorted(rng.sample(range(NIGHTS), ESTIMATES))
    for night in nights:
        evening = FIRST_NIGHT + datetime.timedelta(days=night)
        # From 19:00 to 26:59, i.e. up to 3 h UT of the next calendar day.
        minute_of_night = rng.randrange(19 * 60, 27 * 60)
        day = evening + datetime.timedelta(days=minute_of_night // (24 * 60))
        hours = (minute_of_night // 60) % 24
        minutes = minute_of_night % 60
        t = reduced_julian_date(day, hours, minutes)
        phase = ((t - EPOCH) / TRUE_PERIOD) % 1.0
        magnitude = light_curve(phase) + rng.gauss(0, SCATTER)
        print("%02d%02d%02d  %2d.%02d  %.2f"
              % (day.year % 100, day.month, day.day, hours, minutes, magnitude))


if __name__ == "__main__":
    main()
