// Publication figures of a period analysis: the power spectrum and the
// phase diagram as PNG, SVG or PDF files, drawn with cairo.  The module
// knows only the plain structs below; the program fills them from its own
// data.
#pragma once
#include <string>
#include <vector>

enum FigureFormat { FigurePng, FigureSvg, FigurePdf };

// The size of a figure: pixels for PNG, CSS pixels for SVG, points for PDF.
struct FigureSize {
    int width = 1600;
    int height = 1000;
};

struct SpectrumPeak {
    double period;
    double power;
};

// A power spectrum over a grid of trial periods, in increasing period.
struct SpectrumFigure {
    std::string title;                 // e.g. the file name and the band
    std::vector<double> periods;       // every grid point, days
    std::vector<double> powers;        // one per period
    double level = 0;                  // the 95 % significance level; <= 0: none
    std::vector<SpectrumPeak> peaks;   // marked and labelled with their periods
    std::vector<double> windowPowers;  // the spectral window on the same grid; empty: no panel
    std::string valueTitle = "Power";  // the title of the spectrum's y-axis: what the values are
};

// Observations folded with a period, and the curve fitted to them:
// constant + sum over k of cosines[k-1] cos(2 pi k phase) + sines[k-1] sin(2 pi k phase).
struct PhaseFigure {
    std::string title;                 // e.g. the file name and the band
    std::vector<double> phases;        // 0 <= phase < 1
    std::vector<double> magnitudes;    // one per phase
    bool hasCurve = true;              // false: the points alone
    double constant = 0;
    std::vector<double> cosines;
    std::vector<double> sines;
    double period = 0;                 // days
    double periodError = 0;            // days; <= 0 or not finite: not shown
    double epoch = 0;                  // the epoch of phase 0, as the file gives it
};

// An O-C diagram: the O-C of timed extrema against their cycle numbers E,
// with error bars, and the fits O-C = a + b E and a + b E + c E^2.
struct OCFigure {
    std::string title;                 // e.g. the file name and the kind of extremum
    std::vector<double> cycles;        // E
    std::vector<double> oc;            // days, one per cycle
    std::vector<double> errors;        // days, one per cycle; <= 0 or not finite: no bar
    bool hasLinear = false;
    double linearA = 0, linearB = 0;
    bool hasQuadratic = false;
    double quadraticA = 0, quadraticB = 0, quadraticC = 0;
    // dP/dt of the quadratic fit, days per day, with its error; shown in
    // the title (also in seconds per year) when hasQuadratic.
    double periodChange = 0, periodChangeError = 0;
    bool hasFTest = false;
    double probability = 1;            // of the F test of the quadratic term, shown as p
};

// Where a panel of a figure lies on the page and which values its edges stand for.
// y grows downward on the page: valueTop is the value at the top edge.
struct FigurePanel {
    double left, top, right, bottom;       // page coordinates of the plot area
    double valueLeft, valueRight;           // x values at the left and right edge
    double valueTop, valueBottom;           // y values at the top and bottom edge
};

// "png", "svg" or "pdf" as a format; false for any other name.
bool FigureFormatOf(const std::string &name, FigureFormat &format);

// The file-name extension of a format, with its point.
const char *FigureExtension(FigureFormat format);

// Round tick values covering [low, high]: multiples of 1, 2 or 5 times a
// power of ten, about 'wanted' of them, those inside the closed range.
std::vector<double> RoundTicks(double low, double high, int wanted);

// The label of a tick value with the decimals that its step needs.
std::string TickLabel(double value, double step);

// A period with as many decimals as its error needs for two significant
// digits of the error ("5.36634 ± 0.00012"); the period alone with six
// significant digits when the error is not usable.
std::string PeriodWithError(double period, double error);

// The panels of a spectrum figure: 0 the spectrum, 1 the window (when the
// figure has one).
FigurePanel SpectrumPanel(const SpectrumFigure &figure, FigureSize size, int panel);

// The panel of a phase figure (x: phase -0.5 to 1.5, y: magnitude, brighter up).
FigurePanel PhasePanel(const PhaseFigure &figure, FigureSize size);

// The fitted magnitude at a phase.
double FittedMagnitude(const PhaseFigure &figure, double phase);

// Draw the figure into the open descriptor fd, from where it stands; the
// descriptor is left open (the caller completes or discards the file).
// 'name' is the file's name as the text of a failure gives it.  Return an
// empty text on success, else "name: " and what went wrong.
std::string WriteSpectrumFigureTo(const SpectrumFigure &figure, int fd, const std::string &name, FigureFormat format,
                                  FigureSize size);
std::string WritePhaseFigureTo(const PhaseFigure &figure, int fd, const std::string &name, FigureFormat format,
                               FigureSize size);
std::string WriteOCFigureTo(const OCFigure &figure, int fd, const std::string &name, FigureFormat format,
                            FigureSize size);

// Write the figure into fileName, created or emptied in place (through a
// symbolic link there); a file that is not completed is removed.  Return
// an empty text on success, else what went wrong.  A program that must keep
// an earlier figure until the new one is complete draws into a file of its
// own with the functions above.

// The panel of an O-C figure (x: E with a margin, y: O-C in days, later
// up; the points with their bars and both fits inside it).
FigurePanel OCPanel(const OCFigure &figure, FigureSize size);

// The title of an O-C figure: the title, then when there is a quadratic
// fit "dP/dt = 1.25e-09 ± 2.3e-11 d/d (0.0394 ± 0.00073 s/yr)" and, with
// an F test, ", p = 0.0012".
std::string OCTitle(const OCFigure &figure);

// Write the figure into fileName.  Return an empty text on success, else
// what went wrong.
std::string WriteSpectrumFigure(const SpectrumFigure &figure, const std::string &fileName, FigureFormat format,
                                FigureSize size);
std::string WritePhaseFigure(const PhaseFigure &figure, const std::string &fileName, FigureFormat format,
                             FigureSize size);
std::string WriteOCFigure(const OCFigure &figure, const std::string &fileName, FigureFormat format,
                          FigureSize size);
