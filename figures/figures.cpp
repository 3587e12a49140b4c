// The spectrum and phase figures, drawn with cairo: one drawing for the
// three file forms, anti-aliased, with text.  Page coordinates are pixels
// (PNG), CSS pixels (SVG) or points (PDF); every length below is scaled
// with the page so that a figure looks the same at any size.
#include "figures.h"

#include <cairo-pdf.h>
#include <cairo-svg.h>
#include <cairo.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>

namespace {

const double TwoPi = 6.283185307179586476925286766559;

// The proportions a figure was designed at; other sizes scale from it.
const double DesignWidth = 1600, DesignHeight = 1000;

struct Colour {
    double r, g, b;
};
const Colour Black = {0, 0, 0};
const Colour Grey = {0.45, 0.45, 0.45};
const Colour SpectrumBlue = {0.08, 0.28, 0.72};
const Colour LevelRed = {0.82, 0.1, 0.1};
const Colour PeakOrange = {0.9, 0.45, 0.0};
const Colour PointBlue = {0.1, 0.25, 0.6};
const Colour CurveRed = {0.85, 0.1, 0.1};
const Colour LineGreen = {0.1, 0.55, 0.2};

// The length that stands for 'design' units of the 1600 x 1000 design.
double Scaled(FigureSize size, double design)
{
    return design * std::min(size.width / DesignWidth, size.height / DesignHeight);
}

void SetColour(cairo_t *cr, Colour c) { cairo_set_source_rgb(cr, c.r, c.g, c.b); }

// Text with its anchor at (x, y): alignX 0 left, 0.5 centre, 1 right;
// alignY 0 top, 0.5 middle, 1 baseline.
void ShowText(cairo_t *cr, const std::string &text, double x, double y, double alignX, double alignY)
{
    cairo_text_extents_t e;
    cairo_text_extents(cr, text.c_str(), &e);
    cairo_move_to(cr, x - e.x_bearing - e.width * alignX, y - e.y_bearing - e.height * alignY);
    cairo_show_text(cr, text.c_str());
}

void SetFont(cairo_t *cr, FigureSize size, double design, bool bold = false)
{
    cairo_select_font_face(cr, "sans-serif", CAIRO_FONT_SLANT_NORMAL,
                           bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, Scaled(size, design));
}

double PageX(const FigurePanel &p, double value)
{
    return p.left + (value - p.valueLeft) / (p.valueRight - p.valueLeft) * (p.right - p.left);
}

double PageY(const FigurePanel &p, double value)
{
    return p.top + (value - p.valueTop) / (p.valueBottom - p.valueTop) * (p.bottom - p.top);
}

double TickStep(const std::vector<double> &ticks)
{
    return ticks.size() >= 2 ? ticks[1] - ticks[0] : 1;
}

// The frame of a panel, its ticks on both axes, the tick labels (those of
// x only when labelX) and the axis titles.
void DrawAxes(cairo_t *cr, FigureSize size, const FigurePanel &p, const std::string &xTitle,
              const std::string &yTitle, bool labelX)
{
    const double tick = Scaled(size, 12), gap = Scaled(size, 8);
    SetColour(cr, Black);
    cairo_set_line_width(cr, Scaled(size, 2));
    cairo_rectangle(cr, p.left, p.top, p.right - p.left, p.bottom - p.top);
    cairo_stroke(cr);

    SetFont(cr, size, 24);
    const std::vector<double> xs = RoundTicks(std::min(p.valueLeft, p.valueRight),
                                              std::max(p.valueLeft, p.valueRight), 8);
    for (double v : xs) {
        const double x = PageX(p, v);
        cairo_move_to(cr, x, p.bottom);
        cairo_line_to(cr, x, p.bottom - tick);
        cairo_move_to(cr, x, p.top);
        cairo_line_to(cr, x, p.top + tick);
        if (labelX)
            ShowText(cr, TickLabel(v, TickStep(xs)), x, p.bottom + gap, 0.5, 0);
    }
    const std::vector<double> ys = RoundTicks(std::min(p.valueTop, p.valueBottom),
                                              std::max(p.valueTop, p.valueBottom), 6);
    double widest = 0;
    for (double v : ys) {
        const double y = PageY(p, v);
        cairo_move_to(cr, p.left, y);
        cairo_line_to(cr, p.left + tick, y);
        cairo_move_to(cr, p.right, y);
        cairo_line_to(cr, p.right - tick, y);
        const std::string label = TickLabel(v, TickStep(ys));
        cairo_text_extents_t e;
        cairo_text_extents(cr, label.c_str(), &e);
        widest = std::max(widest, e.width);
        ShowText(cr, label, p.left - gap, y, 1, 0.5);
    }
    cairo_stroke(cr);

    SetFont(cr, size, 28);
    if (labelX)
        ShowText(cr, xTitle, (p.left + p.right) / 2, p.bottom + gap + Scaled(size, 38), 0.5, 0);
    cairo_save(cr);
    cairo_translate(cr, p.left - gap - widest - Scaled(size, 16), (p.top + p.bottom) / 2);
    cairo_rotate(cr, -TwoPi / 4);
    ShowText(cr, yTitle, 0, 0, 0.5, 1);
    cairo_restore(cr);
}

void DrawTitle(cairo_t *cr, FigureSize size, const std::string &title)
{
    SetColour(cr, Black);
    SetFont(cr, size, 32, true);
    ShowText(cr, title, size.width / 2.0, Scaled(size, 24), 0.5, 0);
}

void ClipToPanel(cairo_t *cr, const FigurePanel &p)
{
    cairo_rectangle(cr, p.left, p.top, p.right - p.left, p.bottom - p.top);
    cairo_clip(cr);
}

// A joined line through (periods[i], values[i]).  Where many grid points
// share a page column only the first, lowest, highest and last of the
// column are joined, which draws the same line with far fewer segments.
void DrawJoinedLine(cairo_t *cr, const FigurePanel &p, const std::vector<double> &periods,
                    const std::vector<double> &values)
{
    const std::size_t n = std::min(periods.size(), values.size());
    std::size_t i = 0;
    bool started = false;
    while (i < n) {
        const long column = std::lround(std::floor(PageX(p, periods[i])));
        std::size_t end = i + 1;
        std::size_t low = i, high = i;
        while (end < n && std::lround(std::floor(PageX(p, periods[end]))) == column) {
            if (values[end] < values[low])
                low = end;
            if (values[end] > values[high])
                high = end;
            ++end;
        }
        std::size_t chosen[4] = {i, std::min(low, high), std::max(low, high), end - 1};
        for (std::size_t k : chosen) {
            const double x = PageX(p, periods[k]), y = PageY(p, values[k]);
            if (started)
                cairo_line_to(cr, x, y);
            else
                cairo_move_to(cr, x, y);
            started = true;
        }
        i = end;
    }
    cairo_stroke(cr);
}

// Decimals that show a period finely enough to tell neighbouring grid points apart.
int PeriodDecimals(const std::vector<double> &periods)
{
    if (periods.size() < 2)
        return 4;
    const double step = std::fabs(periods.back() - periods.front()) / (periods.size() - 1);
    if (!(step > 0))
        return 4;
    return std::clamp(static_cast<int>(std::ceil(-std::log10(step) - 1e-9)), 1, 9);
}

std::string Fixed(double value, int decimals)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

void DrawLevel(cairo_t *cr, FigureSize size, const FigurePanel &p, double level)
{
    const double y = PageY(p, level);
    SetColour(cr, LevelRed);
    cairo_set_line_width(cr, Scaled(size, 2.5));
    const double dash[2] = {Scaled(size, 16), Scaled(size, 10)};
    cairo_set_dash(cr, dash, 2, 0);
    cairo_move_to(cr, p.left, y);
    cairo_line_to(cr, p.right, y);
    cairo_stroke(cr);
    cairo_set_dash(cr, nullptr, 0, 0);
    SetFont(cr, size, 22);
    ShowText(cr, "95 % level " + Fixed(level, 3), p.right - Scaled(size, 10), y - Scaled(size, 6), 1, 1);
}

struct Box {
    double left, top, right, bottom;
};

bool Overlaps(const Box &a, const Box &b)
{
    return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

// Each peak gets a mark and a label of its period; labels are placed
// strongest peak first, and one that finds no free place is left out.
void DrawPeaks(cairo_t *cr, FigureSize size, const FigurePanel &p, const SpectrumFigure &figure)
{
    const int decimals = PeriodDecimals(figure.periods);
    const double r = Scaled(size, 9), gap = Scaled(size, 6);
    SetFont(cr, size, 22);
    std::vector<Box> labels;
    for (const SpectrumPeak &peak : figure.peaks) {
        const double x = PageX(p, peak.period), y = PageY(p, peak.power) - gap;
        SetColour(cr, PeakOrange);
        cairo_move_to(cr, x, y);
        cairo_line_to(cr, x - r, y - 1.6 * r);
        cairo_line_to(cr, x + r, y - 1.6 * r);
        cairo_close_path(cr);
        cairo_fill(cr);

        const std::string text = Fixed(peak.period, decimals) + " d";
        cairo_text_extents_t e;
        cairo_text_extents(cr, text.c_str(), &e);
        const double left = std::clamp(x - e.width / 2, p.left + gap, p.right - gap - e.width);
        // A label that would cover another one moves up a line, a few times at most.
        double bottom = y - 1.6 * r - gap;
        for (int tries = 0; tries < 5; ++tries, bottom -= e.height + 2 * gap) {
            const Box box = {left - gap, bottom - e.height - gap, left + e.width + gap, bottom + gap};
            if (std::none_of(labels.begin(), labels.end(), [&](const Box &b) { return Overlaps(box, b); })) {
                labels.push_back(box);
                SetColour(cr, Black);
                ShowText(cr, text, left, bottom, 0, 1);
                if (tries > 0) {
                    // A thin line leads from a moved label to its mark.
                    SetColour(cr, Grey);
                    cairo_set_line_width(cr, Scaled(size, 1));
                    cairo_move_to(cr, left + e.width / 2, bottom + gap / 2);
                    cairo_line_to(cr, x, y - 1.6 * r);
                    cairo_stroke(cr);
                }
                break;
            }
        }
    }
}

double LargestFinite(const std::vector<double> &values)
{
    double largest = 0;
    for (double v : values)
        if (std::isfinite(v))
            largest = std::max(largest, v);
    return largest;
}

// Where cairo's output goes: a descriptor, and the error of a write that
// failed.
struct DescriptorSink {
    int fd;
    int error;
};

// cairo's write function: every byte into the descriptor, continuing after
// an interrupted or partial write; a write that makes no progress counts
// as a full disk.
cairo_status_t WriteToDescriptor(void *closure, const unsigned char *data, unsigned int length)
{
    DescriptorSink *sink = static_cast<DescriptorSink *>(closure);
    while (length > 0) {
        const ssize_t done = write(sink->fd, data, length);
        if (done < 0 && errno == EINTR)
            continue;
        if (done <= 0) {
            sink->error = done < 0 ? errno : ENOSPC;
            return CAIRO_STATUS_WRITE_ERROR;
        }
        data += done;
        length -= static_cast<unsigned int>(done);
    }
    return CAIRO_STATUS_SUCCESS;
}

// The page is drawn by 'draw' on a surface of the asked form and written
// into the descriptor fd; the text of a failure (after 'name'), empty on
// success.
std::string RenderFigure(int fd, const std::string &name, FigureFormat format, FigureSize size,
                         const std::function<void(cairo_t *)> &draw)
{
    DescriptorSink sink = {fd, 0};
    cairo_surface_t *surface = nullptr;
    if (format == FigurePng) {
        surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, size.width, size.height);
    } else if (format == FigureSvg) {
        surface = cairo_svg_surface_create_for_stream(WriteToDescriptor, &sink, size.width, size.height);
        cairo_svg_surface_set_document_unit(surface, CAIRO_SVG_UNIT_PX);
    } else {
        surface = cairo_pdf_surface_create_for_stream(WriteToDescriptor, &sink, size.width, size.height);
    }
    cairo_t *cr = cairo_create(surface);
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_paint(cr);
    draw(cr);
    cairo_status_t status = cairo_status(cr);
    cairo_destroy(cr);
    if (status == CAIRO_STATUS_SUCCESS && format == FigurePng)
        status = cairo_surface_write_to_png_stream(surface, WriteToDescriptor, &sink);
    cairo_surface_finish(surface);
    if (status == CAIRO_STATUS_SUCCESS)
        status = cairo_surface_status(surface);
    cairo_surface_destroy(surface);
    // A PDF surface over a stream does not always pass a failed write on
    // to its status; the sink remembers it.
    if (status == CAIRO_STATUS_SUCCESS && sink.error != 0)
        status = CAIRO_STATUS_WRITE_ERROR;
    if (status == CAIRO_STATUS_SUCCESS)
        return std::string();
    return name + ": " + cairo_status_to_string(status);
}

// A figure drawn by 'render' into the file fileName, created or emptied;
// a file that is not completed is removed.
std::string RenderFigureFile(const std::string &fileName, const std::function<std::string(int)> &render)
{
    const int fd = open(fileName.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0)
        return fileName + ": " + std::strerror(errno);
    std::string failure = render(fd);
    if (close(fd) != 0 && failure.empty())
        failure = fileName + ": " + std::strerror(errno);
    // No half-written figure is left behind.
    if (!failure.empty())
        std::remove(fileName.c_str());
    return failure;
}

} // namespace

bool FigureFormatOf(const std::string &name, FigureFormat &format)
{
    if (name == "png")
        format = FigurePng;
    else if (name == "svg")
        format = FigureSvg;
    else if (name == "pdf")
        format = FigurePdf;
    else
        return false;
    return true;
}

const char *FigureExtension(FigureFormat format)
{
    return format == FigurePng ? ".png" : format == FigureSvg ? ".svg" : ".pdf";
}

std::vector<double> RoundTicks(double low, double high, int wanted)
{
    std::vector<double> ticks;
    if (!std::isfinite(low) || !std::isfinite(high) || !(high > low) || wanted < 1)
        return ticks;
    const double raw = (high - low) / wanted;
    const double magnitude = std::pow(10.0, std::floor(std::log10(raw)));
    const double ratio = raw / magnitude;
    const double step = (ratio < 1.5 ? 1 : ratio < 3.5 ? 2 : ratio < 7.5 ? 5 : 10) * magnitude;
    const double first = std::ceil(low / step - 1e-9);
    for (int i = 0; i < 100; ++i) {
        const double v = (first + i) * step;
        if (v > high + 1e-9 * step)
            break;
        // Values that are zero but for rounding are zero.
        ticks.push_back(std::fabs(v) < 1e-9 * step ? 0 : v);
    }
    return ticks;
}

std::string TickLabel(double value, double step)
{
    int decimals = 0;
    if (step > 0 && step < 1)
        decimals = static_cast<int>(std::ceil(-std::log10(step) - 1e-9));
    const std::string text = Fixed(value, std::min(decimals, 12));
    return text.find_first_not_of("-0.") == std::string::npos ? Fixed(0, std::min(decimals, 12)) : text;
}

std::string PeriodWithError(double period, double error)
{
    if (!(std::isfinite(error) && error > 0)) {
        char text[64];
        std::snprintf(text, sizeof text, "%.6g", period);
        return text;
    }
    const int decimals = std::clamp(1 - static_cast<int>(std::floor(std::log10(error))), 0, 12);
    return Fixed(period, decimals) + " \u00b1 " + Fixed(error, decimals);
}

FigurePanel SpectrumPanel(const SpectrumFigure &figure, FigureSize size, int panel)
{
    const bool window = !figure.windowPowers.empty();
    FigurePanel p;
    p.left = Scaled(size, 150);
    p.right = size.width - Scaled(size, 50);
    const double top = Scaled(size, 90), bottom = size.height - Scaled(size, 110);
    const double split = window ? top + 0.66 * (bottom - top) : bottom;
    p.top = panel == 0 ? top : split + Scaled(size, 20);
    p.bottom = panel == 0 ? split : bottom;
    p.valueLeft = figure.periods.empty() ? 0 : figure.periods.front();
    p.valueRight = figure.periods.empty() ? 1 : figure.periods.back();
    if (!(p.valueRight > p.valueLeft)) {
        p.valueLeft -= 0.5;
        p.valueRight = p.valueLeft + 1;
    }
    const double largest = panel == 0 ? std::max(LargestFinite(figure.powers), figure.level)
                                      : LargestFinite(figure.windowPowers);
    // Room above the highest peak for its mark and label.
    p.valueTop = largest > 0 ? largest * (panel == 0 ? 1.18 : 1.08) : 1;
    p.valueBottom = 0;
    return p;
}

double FittedMagnitude(const PhaseFigure &figure, double phase)
{
    double m = figure.constant;
    for (std::size_t k = 0; k < figure.cosines.size() && k < figure.sines.size(); ++k) {
        const double angle = TwoPi * (k + 1) * phase;
        m += figure.cosines[k] * std::cos(angle) + figure.sines[k] * std::sin(angle);
    }
    return m;
}

FigurePanel PhasePanel(const PhaseFigure &figure, FigureSize size)
{
    FigurePanel p;
    p.left = Scaled(size, 150);
    p.right = size.width - Scaled(size, 50);
    p.top = Scaled(size, 90);
    p.bottom = size.height - Scaled(size, 110);
    p.valueLeft = -0.5;
    p.valueRight = 1.5;
    double brightest = INFINITY, faintest = -INFINITY;
    for (double m : figure.magnitudes)
        if (std::isfinite(m)) {
            brightest = std::min(brightest, m);
            faintest = std::max(faintest, m);
        }
    for (int i = 0; i <= 200 && figure.hasCurve; ++i) {
        const double m = FittedMagnitude(figure, i / 200.0);
        if (std::isfinite(m)) {
            brightest = std::min(brightest, m);
            faintest = std::max(faintest, m);
        }
    }
    if (!(faintest >= brightest)) {
        brightest = 0;
        faintest = 1;
    }
    const double margin = faintest > brightest ? 0.08 * (faintest - brightest) : 0.5;
    // Brighter (smaller magnitude) is up.
    p.valueTop = brightest - margin;
    p.valueBottom = faintest + margin;
    return p;
}

std::string WriteSpectrumFigureTo(const SpectrumFigure &figure, int fd, const std::string &name, FigureFormat format,
                                  FigureSize size)
{
    return RenderFigure(fd, name, format, size, [&](cairo_t *cr) {
        const bool window = !figure.windowPowers.empty();
        const FigurePanel p = SpectrumPanel(figure, size, 0);
        DrawTitle(cr, size, figure.title);
        DrawAxes(cr, size, p, "Period [d]", figure.valueTitle, !window);
        cairo_save(cr);
        ClipToPanel(cr, p);
        cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
        SetColour(cr, SpectrumBlue);
        cairo_set_line_width(cr, Scaled(size, 2));
        DrawJoinedLine(cr, p, figure.periods, figure.powers);
        if (figure.level > 0 && std::isfinite(figure.level))
            DrawLevel(cr, size, p, figure.level);
        DrawPeaks(cr, size, p, figure);
        cairo_restore(cr);
        if (!window)
            return;
        const FigurePanel w = SpectrumPanel(figure, size, 1);
        DrawAxes(cr, size, w, "Period [d]", "Window", true);
        cairo_save(cr);
        ClipToPanel(cr, w);
        SetColour(cr, Grey);
        cairo_set_line_width(cr, Scaled(size, 2));
        DrawJoinedLine(cr, w, figure.periods, figure.windowPowers);
        cairo_restore(cr);
    });
}

std::string WritePhaseFigureTo(const PhaseFigure &figure, int fd, const std::string &name, FigureFormat format,
                               FigureSize size)
{
    return RenderFigure(fd, name, format, size, [&](cairo_t *cr) {
        const FigurePanel p = PhasePanel(figure, size);
        char epoch[64];
        std::snprintf(epoch, sizeof epoch, "%.4f", figure.epoch);
        DrawTitle(cr, size, figure.title + ":  P = " + PeriodWithError(figure.period, figure.periodError) +
                                " d,  epoch " + epoch);
        DrawAxes(cr, size, p, "Phase", "Magnitude", true);
        cairo_save(cr);
        ClipToPanel(cr, p);
        // Every observation twice: at its phase and one cycle before or after.
        const double r = Scaled(size, 4);
        cairo_set_source_rgba(cr, PointBlue.r, PointBlue.g, PointBlue.b, 0.55);
        const std::size_t n = std::min(figure.phases.size(), figure.magnitudes.size());
        for (std::size_t i = 0; i < n; ++i) {
            const double phase = figure.phases[i];
            for (double shown : {phase, phase < 0.5 ? phase + 1 : phase - 1}) {
                cairo_new_sub_path(cr);
                cairo_arc(cr, PageX(p, shown), PageY(p, figure.magnitudes[i]), r, 0, TwoPi);
            }
        }
        cairo_fill(cr);
        if (!figure.hasCurve) {
            cairo_restore(cr);
            return;
        }
        SetColour(cr, CurveRed);
        cairo_set_line_width(cr, Scaled(size, 3.5));
        const int samples = 1000;
        for (int i = 0; i <= samples; ++i) {
            const double phase = -0.5 + 2.0 * i / samples;
            cairo_line_to(cr, PageX(p, phase), PageY(p, FittedMagnitude(figure, phase)));
        }
        cairo_stroke(cr);
        cairo_restore(cr);
    });
}

std::string WriteSpectrumFigure(const SpectrumFigure &figure, const std::string &fileName, FigureFormat format,
                                FigureSize size)
{
    return RenderFigureFile(
        fileName, [&](int fd) { return WriteSpectrumFigureTo(figure, fd, fileName, format, size); });
}

std::string WritePhaseFigure(const PhaseFigure &figure, const std::string &fileName, FigureFormat format,
                             FigureSize size)
{
    return RenderFigureFile(fileName,
                            [&](int fd) { return WritePhaseFigureTo(figure, fd, fileName, format, size); });
}

namespace {

double QuadraticAt(const OCFigure &f, double e) { return f.quadraticA + f.quadraticB * e + f.quadraticC * e * e; }
double LinearAt(const OCFigure &f, double e) { return f.linearA + f.linearB * e; }

bool UsableError(double e) { return std::isfinite(e) && e > 0; }

// The title, its font made smaller as far as needed to fit the page.
void DrawFittingTitle(cairo_t *cr, FigureSize size, const std::string &title)
{
    SetColour(cr, Black);
    double design = 32;
    for (; design > 16; design -= 2) {
        SetFont(cr, size, design, true);
        cairo_text_extents_t e;
        cairo_text_extents(cr, title.c_str(), &e);
        if (e.width <= size.width - Scaled(size, 40))
            break;
    }
    SetFont(cr, size, design, true);
    ShowText(cr, title, size.width / 2.0, Scaled(size, 24), 0.5, 0);
}

// A fit drawn as a line over the panel's E range.
void DrawFit(cairo_t *cr, const FigurePanel &p, const std::function<double(double)> &at)
{
    const int samples = 400;
    for (int i = 0; i <= samples; ++i) {
        const double e = p.valueLeft + (p.valueRight - p.valueLeft) * i / samples;
        cairo_line_to(cr, PageX(p, e), PageY(p, at(e)));
    }
    cairo_stroke(cr);
}

} // namespace

FigurePanel OCPanel(const OCFigure &figure, FigureSize size)
{
    FigurePanel p;
    p.left = Scaled(size, 170);
    p.right = size.width - Scaled(size, 50);
    p.top = Scaled(size, 90);
    p.bottom = size.height - Scaled(size, 110);
    double first = INFINITY, last = -INFINITY, low = INFINITY, high = -INFINITY;
    const std::size_t n = std::min(figure.cycles.size(), figure.oc.size());
    for (std::size_t i = 0; i < n; ++i) {
        if (!std::isfinite(figure.cycles[i]) || !std::isfinite(figure.oc[i]))
            continue;
        first = std::min(first, figure.cycles[i]);
        last = std::max(last, figure.cycles[i]);
        const double bar = i < figure.errors.size() && UsableError(figure.errors[i]) ? figure.errors[i] : 0;
        low = std::min(low, figure.oc[i] - bar);
        high = std::max(high, figure.oc[i] + bar);
    }
    if (!(last >= first)) {
        first = 0;
        last = 1;
    }
    const double xMargin = last > first ? 0.05 * (last - first) : 1;
    p.valueLeft = first - xMargin;
    p.valueRight = last + xMargin;
    for (int i = 0; i <= 100 && high >= low; ++i) {
        const double e = p.valueLeft + (p.valueRight - p.valueLeft) * i / 100;
        if (figure.hasLinear) {
            low = std::min(low, LinearAt(figure, e));
            high = std::max(high, LinearAt(figure, e));
        }
        if (figure.hasQuadratic) {
            low = std::min(low, QuadraticAt(figure, e));
            high = std::max(high, QuadraticAt(figure, e));
        }
    }
    if (!(high >= low) || !std::isfinite(high - low)) {
        low = -1;
        high = 1;
    }
    const double yMargin = high > low ? 0.08 * (high - low) : std::max(1e-6, 0.5 * std::fabs(high));
    // A later extremum (larger O-C) is up.
    p.valueTop = high + yMargin;
    p.valueBottom = low - yMargin;
    return p;
}

std::string OCTitle(const OCFigure &figure)
{
    std::string title = figure.title;
    if (!figure.hasQuadratic)
        return title;
    const double secondsPerYear = 86400.0 * 365.25;
    char text[160];
    std::snprintf(text, sizeof text, "dP/dt = %.3g \u00b1 %.2g d/d (%.3g \u00b1 %.2g s/yr)", figure.periodChange,
                  figure.periodChangeError, figure.periodChange * secondsPerYear,
                  figure.periodChangeError * secondsPerYear);
    title += (title.empty() ? "" : ":  ") + std::string(text);
    if (figure.hasFTest) {
        std::snprintf(text, sizeof text, ", p = %.2g", figure.probability);
        title += text;
    }
    return title;
}

std::string WriteOCFigureTo(const OCFigure &figure, int fd, const std::string &name, FigureFormat format,
                            FigureSize size)
{
    return RenderFigure(fd, name, format, size, [&](cairo_t *cr) {
        const FigurePanel p = OCPanel(figure, size);
        DrawFittingTitle(cr, size, OCTitle(figure));
        DrawAxes(cr, size, p, "Cycle E", "O-C [d]", true);
        cairo_save(cr);
        ClipToPanel(cr, p);
        cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
        if (figure.hasLinear) {
            SetColour(cr, LineGreen);
            cairo_set_line_width(cr, Scaled(size, 3));
            const double dash[2] = {Scaled(size, 18), Scaled(size, 10)};
            cairo_set_dash(cr, dash, 2, 0);
            DrawFit(cr, p, [&](double e) { return LinearAt(figure, e); });
            cairo_set_dash(cr, nullptr, 0, 0);
        }
        if (figure.hasQuadratic) {
            SetColour(cr, CurveRed);
            cairo_set_line_width(cr, Scaled(size, 3));
            DrawFit(cr, p, [&](double e) { return QuadraticAt(figure, e); });
        }
        // The error bars with short caps, then the points over them.
        const std::size_t n = std::min(figure.cycles.size(), figure.oc.size());
        const double cap = Scaled(size, 7), r = Scaled(size, 6);
        SetColour(cr, PointBlue);
        cairo_set_line_width(cr, Scaled(size, 2));
        for (std::size_t i = 0; i < n && i < figure.errors.size(); ++i) {
            if (!UsableError(figure.errors[i]))
                continue;
            const double x = PageX(p, figure.cycles[i]);
            const double top = PageY(p, figure.oc[i] + figure.errors[i]);
            const double bottom = PageY(p, figure.oc[i] - figure.errors[i]);
            cairo_move_to(cr, x, top);
            cairo_line_to(cr, x, bottom);
            cairo_move_to(cr, x - cap, top);
            cairo_line_to(cr, x + cap, top);
            cairo_move_to(cr, x - cap, bottom);
            cairo_line_to(cr, x + cap, bottom);
        }
        cairo_stroke(cr);
        for (std::size_t i = 0; i < n; ++i) {
            cairo_new_sub_path(cr);
            cairo_arc(cr, PageX(p, figure.cycles[i]), PageY(p, figure.oc[i]), r, 0, TwoPi);
        }
        cairo_fill(cr);
        cairo_restore(cr);
    });
}

std::string WriteOCFigure(const OCFigure &figure, const std::string &fileName, FigureFormat format, FigureSize size)
{
    return RenderFigureFile(fileName, [&](int fd) { return WriteOCFigureTo(figure, fd, fileName, format, size); });
}
