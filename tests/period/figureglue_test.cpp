// The phases of the phase figure.
#include <gtest/gtest.h>

#include <cmath>

#include "figureglue.h"

TEST(FoldFigure, PhasesOfTimesBeforeAndAfterTheEpoch)
{
    struct Case {
        double date, period, epoch, phase;
    };
    const Case cases[] = {
        {50010.0, 4, 50000, 0.5}, {49999.0, 4, 50000, 0.75}, {50000.0, 4, 50000, 0},
        {50008.0, 4, 50000, 0},   {50001.0, -4, 50000, 0.75},
    };
    for (const Case &c : cases)
        EXPECT_NEAR(PhaseOf(c.date, c.period, c.epoch), c.phase, 1e-12) << c.date << " " << c.period;
    EXPECT_TRUE(std::isnan(PhaseOf(50001, 0, 50000)));
}
