// The fold behind the phase figure: phases, the fitted constant plus sine
// and the period error from the fit's scatter and amplitude.
#include <gtest/gtest.h>

#include <cmath>

#include "figureglue.h"
#include "kalidor.h"

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

TEST(FoldFigure, FitsTheSineOfKnownDataAndItsPeriodError)
{
    // 12 + 0.3 cos + 0.4 sin of the phase at 5 d, plus alternating 0.01 noise,
    // stored centred as the spectrum pass leaves it.
    ObservationCount = 200;
    MagnitudeSum = 0;
    for (int i = 1; i <= ObservationCount; ++i) {
        JulianDates[i] = 50000 + i * 0.737;
        const double angle = 2 * M_PI * (JulianDates[i] - 50000) / 5;
        Magnitudes[i] = 12 + 0.3 * std::cos(angle) + 0.4 * std::sin(angle) + (i % 2 ? 0.01 : -0.01);
        MagnitudeSum += Magnitudes[i];
    }
    CentreMagnitudes(MagnitudeSum / ObservationCount);

    const FoldFit fit = FitFold(5, 50000);
    EXPECT_NEAR(fit.constant, 12, 2e-3);
    EXPECT_NEAR(fit.cosine, 0.3, 2e-3);
    EXPECT_NEAR(fit.sine, 0.4, 2e-3);
    EXPECT_NEAR(fit.amplitude, 0.5, 2e-3);
    EXPECT_NEAR(fit.residualScatter, 0.01, 1e-3);
    const double span = JulianDates[ObservationCount] - JulianDates[1];
    const double expected = std::sqrt(6.0) * fit.residualScatter / (M_PI * std::sqrt(200.0) * fit.amplitude * span) * 25;
    EXPECT_NEAR(PeriodErrorOf(fit, 5), expected, expected * 1e-9);
}
