// The two pictures of kalidor: the spectrum plot of a pass and the phase
// diagram of a fold, drawn on the graphics screen.
#include "hardcopy.h"

#include <cerrno>
#include <climits>
#include <cmath>

#include "kalidor.h"
#include "runerror.h"
#include "screen.h"
#include "textinput.h"

namespace {

const char *const FontPath = "c:\\s\\tp\\bgi";

// The detected screen of the latest spectrum plot, reopened by the phase
// diagram.
int plotMaxX = 639, plotMaxY = 479;
int plotDriver = 0, plotMode = 0;

// Cuts toward zero and keeps the result inside the range of int, so that a
// coordinate far off the screen is still a number (the screen clips it).
int Trunc(long double v)
{
    if (std::isnan(v))
        return INT_MIN;
    if (v >= static_cast<long double>(INT_MAX))
        return INT_MAX;
    if (v <= static_cast<long double>(INT_MIN))
        return INT_MIN;
    return static_cast<int>(v);
}

void DrawFrame(int maxX, int maxY)
{
    Line(30, 20, 30, maxY - 20);
    Line(30, 20, maxX - 20, 20);
    Line(30, maxY - 20, maxX - 20, maxY - 20);
    Line(maxX - 20, 20, maxX - 20, maxY - 20);
}

struct PlotScale {
    double pmin, xs, ys;
    int maxY;
};

int PlotX(const PlotScale &s, double p, int offset) { return Trunc((static_cast<long double>(p) - s.pmin) * s.xs + offset); }

int PlotY(const PlotScale &s, double a) { return (s.maxY - 25) - Trunc(static_cast<long double>(a) * s.ys); }

// The ticks of the period axis for a range width: the step, the decimals of
// the label (-1: the whole number) and the label's offset from the range start.
struct PeriodTicks {
    double above, step;
    int decimals, labelOffset;
};

PeriodTicks PeriodTicksFor(double range)
{
    const PeriodTicks table[] = {
        {200, 50, -1, 32},  {100, 20, -1, 32},  {50, 10, -1, 32},  {25, 5, -1, 32},
        {10, 2, -1, 32},    {5, 1, -1, 32},     {2.5, 0.5, 1, 30}, {1, 0.2, 1, 30},
        {0.5, 0.1, 1, 30},  {0.25, 0.05, 2, 28}, {0.1, 0.02, 2, 28},
    };
    for (const PeriodTicks &row : table)
        if (range > row.above)
            return row;
    return {0, 0.01, 2, 28};
}

std::string PeriodLabel(double t, const PeriodTicks &ticks)
{
    return ticks.decimals < 0 ? FormatWhole(t) : FormatFixed(t, ticks.decimals);
}

// A range of more steps than this would pack the ticks and labels many to
// a pixel; the step then grows tenfold until the range holds no more, so
// that any range is drawn at once.  Up to this count the table's step stays.
const double MostPeriodTicks = 10000;

double PeriodTickStep(double range, double step)
{
    while (range / step > MostPeriodTicks)
        step *= 10;
    return step;
}

void DrawPeriodTicks(const PlotScale &s, double pmin, double pmax)
{
    const PeriodTicks ticks = PeriodTicksFor(pmax - pmin);
    const double step = PeriodTickStep(pmax - pmin, ticks.step);
    double t = 0;
    // Ticks stand at multiples of the step counted from 0.  Far from 0 the
    // count starts near the range, so that a period range of millions of
    // days does not take millions of additions.
    if (pmin / step > 1e6)
        t = std::floor(pmin / step - 1) * step;
    while (!(t > pmax)) {
        if (t >= pmin) {
            const int x = PlotX(s, t, 35);
            Line(x, s.maxY - 20, x, s.maxY - 17);
            OutTextXY(PlotX(s, t, ticks.labelOffset), s.maxY - 10, PeriodLabel(t, ticks));
        }
        const double next = t + step;
        if (next == t)
            break;
        t = next;
    }
}

void DrawPowerTicks(const PlotScale &s, double amax)
{
    double a = 0;
    do {
        const int y = PlotY(s, a);
        Line(30, y, 27, y);
        OutTextXY(0, y - 3, FormatFixed(a, 1));
        a += 0.1;
    } while (a < amax);
}

void DrawSignificanceMark(const PlotScale &s, int maxX, bool scaled)
{
    if (scaled && Spectrum.maximumPower > Spectrum.threshold) {
        SetColor(LightGray);
        const int y = PlotY(s, Spectrum.threshold);
        Line(30, y, maxX - 20, y);
        SetColor(Green);
        OutTextXY(maxX - 50, y - 18, "95");
    } else {
        Line(45, 30, 40, 45);
        Line(40, 45, 50, 45);
        Line(50, 45, 45, 30);
    }
}

void PlotSpectrumPoints(TextInput &in, const PlotScale &s, bool scaled)
{
    for (long k = 0; k <= Intervals; ++k) {
        const double p = ReadReal(in);
        const double a = ReadReal(in);
        SkipLine(in);
        if (scaled)
            PutPixel(PlotX(s, p, 35), PlotY(s, a), White);
    }
}

} // namespace

void DrawSpectrumPlot()
{
    TextInput in;
    if (!OpenTextInput(in, SpectrumFileName.c_str()))
        RunErrorFromErrno(errno);
    plotDriver = 0;
    InitGraph(plotDriver, plotMode, FontPath);
    ClearDevice();
    plotMaxX = GetMaxX();
    plotMaxY = GetMaxY();
    SetColor(Yellow);
    SetBkColor(0);
    DrawFrame(plotMaxX, plotMaxY);

    SetColor(Green);
    OutTextXY(30, 5, "Perioda: " + FormatFixed(Spectrum.periodOfMaximum + 0.00005, 4));
    OutTextXY(plotMaxX - 160, 5, "Zmackni ENTER ...");

    const double range = MaximumPeriod - MinimumPeriod;
    PlotScale s;
    s.pmin = MinimumPeriod;
    s.xs = (plotMaxX - 60) / range;
    s.ys = (plotMaxY - 50) / Spectrum.maximumPower;
    s.maxY = plotMaxY;
    // An empty period range or a power of 0 everywhere leaves no scale:
    // the frame and the texts are drawn, the points and ticks are not.
    const bool periodScaled = range > 0 && std::isfinite(s.xs);
    const bool powerScaled = Spectrum.maximumPower > 0 && std::isfinite(s.ys);

    DrawSignificanceMark(s, plotMaxX, powerScaled);
    SetColor(Yellow);
    PlotSpectrumPoints(in, s, periodScaled && powerScaled);
    CloseTextInput(in);
    if (periodScaled)
        DrawPeriodTicks(s, MinimumPeriod, MaximumPeriod);
    if (powerScaled)
        DrawPowerTicks(s, Spectrum.maximumPower);
}

void DrawPhaseDiagram(double period, double epoch)
{
    InitGraph(plotDriver, plotMode, FontPath);
    SetColor(Yellow);
    SetBkColor(0);
    const int maxX = plotMaxX, maxY = plotMaxY;
    DrawFrame(maxX, maxY);

    const double xs = (maxX - 60) / 1.5;
    Line(35, maxY - 20, 35, maxY - 15);
    for (double phase : {0.5, 1.0, 1.5}) {
        const int x = Trunc(static_cast<long double>(phase) * xs + 35);
        Line(x, maxY - 20, x, maxY - 15);
    }
    OutTextXY(30, 5, "Epocha: " + FormatFixed(epoch + 0.00005, 4));
    OutTextXY(maxX - 145, 5, "Perioda: " + FormatFixed(period + 0.00005, 4));

    SetColor(Green);
    const double spread = GreatestCentred - LeastCentred;
    const double ys = (maxY - 80) / spread;
    for (int i = 1; i <= ObservationCount; ++i) {
        const long double cycles = (static_cast<long double>(JulianDates[i]) - epoch) / period;
        const double phase = static_cast<double>(cycles - std::trunc(cycles));
        if (!std::isfinite(phase))
            continue; // a period of 0 folds nothing
        // With all magnitudes equal there is no vertical scale: the points
        // lie on the middle line.
        const int y = spread > 0 ? Trunc((static_cast<long double>(Magnitudes[i]) - LeastCentred) * ys + 40) : maxY / 2;
        const int x1 = Trunc(static_cast<long double>(phase) * xs + 35);
        const int x2 = Trunc(static_cast<long double>(phase) * xs + 35 + xs);
        if (x1 >= 32 && x1 <= maxX - 22)
            Circle(x1, y, 2);
        if (x2 >= 32 && x2 <= maxX - 22)
            Circle(x2, y, 2);
    }
}

namespace {

// Three short beeps at 880 Hz announce the picture.
void Beep(int gapAfter)
{
    Sound(880);
    Delay(80);
    NoSound();
    if (gapAfter > 0)
        Delay(gapAfter);
}

} // namespace

void ShowSpectrumPicture()
{
    Beep(30);
    Beep(30);
    Beep(0);
    DrawSpectrumPlot();
    HardCopyPrompt();
    CloseGraph();
}

void ShowPhasePicture(double period, double epoch)
{
    DrawPhaseDiagram(period, epoch);
    HardCopyPrompt();
    CloseGraph();
}
