// The figure files: each form is a valid file of the asked size, and in a
// PNG the spectrum line, the 95 % level and the fitted light curve lie
// where the data put them (a few pixels sampled, no stored images).
#include <gtest/gtest.h>

#include <cairo.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include "figures.h"

namespace {

std::string Scratch(const std::string &name) { return "/tmp/figures-test-" + std::to_string(getpid()) + "-" + name; }

std::string Content(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// A spectrum from 1 to 10 d: a low floor and one narrow peak of 0.6 at 4 d.
SpectrumFigure MadeSpectrum(bool window)
{
    SpectrumFigure f;
    f.title = "made.dat, band V";
    for (int i = 0; i <= 9000; ++i) {
        const double p = 1 + i * 0.001;
        f.periods.push_back(p);
        f.powers.push_back(0.05 + 0.55 * std::exp(-std::pow((p - 4) / 0.02, 2)));
        if (window)
            f.windowPowers.push_back(0.2);
    }
    f.level = 0.3;
    f.peaks = {{4, 0.6}};
    return f;
}

// Magnitudes 10 + 0.5 sin(2 pi phase): brightest (9.5) at phase 0.75.
PhaseFigure MadePhase()
{
    PhaseFigure f;
    f.title = "made.dat";
    for (int i = 0; i < 200; ++i) {
        f.phases.push_back(i / 200.0);
        f.magnitudes.push_back(10 + 0.5 * std::sin(2 * M_PI * i / 200.0));
    }
    f.constant = 10;
    f.cosines = {0};
    f.sines = {0.5};
    f.period = 5.36634;
    f.periodError = 0.00012;
    f.epoch = 50000.25;
    return f;
}

enum Hue { Blue, Red, Green };

// A PNG read back, with a test of the hue of its pixels.
struct Image {
    cairo_surface_t *surface;
    explicit Image(const std::string &path) : surface(cairo_image_surface_create_from_png(path.c_str())) {}
    ~Image() { cairo_surface_destroy(surface); }
    bool Valid() const { return cairo_surface_status(surface) == CAIRO_STATUS_SUCCESS; }
    int Width() const { return cairo_image_surface_get_width(surface); }
    int Height() const { return cairo_image_surface_get_height(surface); }
    bool Is(Hue hue, int x, int y) const
    {
        const unsigned char *row = cairo_image_surface_get_data(surface) + y * cairo_image_surface_get_stride(surface);
        const uint32_t v = reinterpret_cast<const uint32_t *>(row)[x];
        const int r = (v >> 16) & 255, g = (v >> 8) & 255, b = v & 255;
        if (hue == Green)
            return g > 100 && r < 90 && b < 110 && g - r > 50;
        return hue == Blue ? b > 120 && r < 100 && b - r > 60 : r > 150 && g < 90 && b < 90;
    }
    // True when a pixel of the hue lies within 'reach' rows of y in column x.
    bool NearRow(Hue hue, int x, double y, int reach) const
    {
        for (int r = static_cast<int>(std::lround(y)) - reach; r <= std::lround(y) + reach; ++r)
            if (r >= 0 && r < Height() && Is(hue, x, r))
                return true;
        return false;
    }
};

double PageX(const FigurePanel &p, double v) { return p.left + (v - p.valueLeft) / (p.valueRight - p.valueLeft) * (p.right - p.left); }
double PageY(const FigurePanel &p, double v) { return p.top + (v - p.valueTop) / (p.valueBottom - p.valueTop) * (p.bottom - p.top); }

} // namespace

TEST(FigureFiles, EveryFormIsAValidFileOfTheAskedSize)
{
    struct Row {
        FigureFormat format;
        int width, height;
        std::string signature, sizeText;
    };
    const Row rows[] = {
        {FigurePng, 1600, 1000, "\x89PNG\r\n\x1a\n", ""},
        {FigurePng, 333, 200, "\x89PNG\r\n\x1a\n", ""},
        {FigureSvg, 640, 400, "<?xml", "width=\"640px\" height=\"400px\""},
        {FigurePdf, 480, 300, "%PDF-", "/MediaBox [ 0 0 480 300 ]"},
    };
    for (const Row &row : rows) {
        for (int kind = 0; kind < 3; ++kind) {
            SCOPED_TRACE(std::string(FigureExtension(row.format)) + " " + std::to_string(row.width) + " kind " +
                         std::to_string(kind));
            const std::string name = Scratch("size") + FigureExtension(row.format);
            const FigureSize size = {row.width, row.height};
            const std::string failure = kind == 2 ? WritePhaseFigure(MadePhase(), name, row.format, size)
                                                  : WriteSpectrumFigure(MadeSpectrum(kind == 1), name, row.format, size);
            EXPECT_EQ(failure, "");
            const std::string content = Content(name);
            EXPECT_EQ(content.compare(0, row.signature.size(), row.signature), 0);
            if (row.format == FigurePng) {
                const Image image(name);
                ASSERT_TRUE(image.Valid());
                EXPECT_EQ(image.Width(), row.width);
                EXPECT_EQ(image.Height(), row.height);
            } else {
                EXPECT_NE(content.find(row.sizeText), std::string::npos);
            }
            if (row.format == FigurePdf) {
                EXPECT_NE(content.find("%%EOF"), std::string::npos);
            }
            std::remove(name.c_str());
        }
    }
}

TEST(FigureFiles, SpectrumLineAndLevelLieWhereTheDataPutThem)
{
    for (bool window : {false, true}) {
        SCOPED_TRACE(window ? "with window" : "without window");
        const SpectrumFigure figure = MadeSpectrum(window);
        const FigureSize size = {1600, 1000};
        const std::string name = Scratch("spectrum.png");
        ASSERT_EQ(WriteSpectrumFigure(figure, name, FigurePng, size), "");
        const Image image(name);
        ASSERT_TRUE(image.Valid());
        const FigurePanel p = SpectrumPanel(figure, size, 0);
        EXPECT_LE(p.valueTop, 1.0);
        EXPECT_GE(p.valueTop, 0.6);
        EXPECT_EQ(p.valueBottom, 0);

        // The top of the peak, and the floor far from it.
        EXPECT_TRUE(image.NearRow(Blue, std::lround(PageX(p, 4)), PageY(p, 0.6), 3));
        EXPECT_TRUE(image.NearRow(Blue, std::lround(PageX(p, 8)), PageY(p, 0.05), 3));
        EXPECT_FALSE(image.NearRow(Blue, std::lround(PageX(p, 8)), PageY(p, 0.3), 5));
        // The dashed level: most columns have it at 0.3, none far above it.
        int onLevel = 0, aboveLevel = 0;
        for (double period = 1.5; period < 3.5; period += 0.01) {
            const int x = std::lround(PageX(p, period));
            onLevel += image.NearRow(Red, x, PageY(p, 0.3), 2);
            aboveLevel += image.NearRow(Red, x, PageY(p, 0.45), 5);
        }
        EXPECT_GT(onLevel, 100);
        EXPECT_EQ(aboveLevel, 0);
        if (window) {
            const FigurePanel w = SpectrumPanel(figure, size, 1);
            EXPECT_GT(w.top, p.bottom);
            EXPECT_EQ(w.valueLeft, p.valueLeft);
            EXPECT_EQ(w.valueRight, p.valueRight);
        }
        std::remove(name.c_str());
    }
}

TEST(FigureFiles, LightCurveIsBrightSideUpOverTwoCycles)
{
    const PhaseFigure figure = MadePhase();
    const FigureSize size = {1200, 800};
    const std::string name = Scratch("phase.png");
    ASSERT_EQ(WritePhaseFigure(figure, name, FigurePng, size), "");
    const Image image(name);
    ASSERT_TRUE(image.Valid());
    const FigurePanel p = PhasePanel(figure, size);
    EXPECT_LT(PageY(p, 9.5), PageY(p, 10.5));
    EXPECT_EQ(p.valueLeft, -0.5);
    EXPECT_EQ(p.valueRight, 1.5);
    // Brightest at phase 0.75 and one cycle before; faintest at 0.25 and 1.25.
    for (double phase : {-0.25, 0.75})
        EXPECT_TRUE(image.NearRow(Red, std::lround(PageX(p, phase)), PageY(p, 9.5), 3)) << phase;
    for (double phase : {0.25, 1.25})
        EXPECT_TRUE(image.NearRow(Red, std::lround(PageX(p, phase)), PageY(p, 10.5), 3)) << phase;
    EXPECT_FALSE(image.NearRow(Red, std::lround(PageX(p, 0.75)), PageY(p, 10.5), 3));

    // Without a fit the points stand alone.
    PhaseFigure pointsOnly = figure;
    pointsOnly.hasCurve = false;
    ASSERT_EQ(WritePhaseFigure(pointsOnly, name, FigurePng, size), "");
    const Image bare(name);
    EXPECT_FALSE(bare.NearRow(Red, std::lround(PageX(p, 0.75)), PageY(p, 9.5), 3));
    std::remove(name.c_str());
}

TEST(FigureFiles, AFileThatCannotBeWrittenIsToldAndNotLeft)
{
    for (FigureFormat format : {FigurePng, FigureSvg, FigurePdf}) {
        const std::string name = std::string("/nonexistent-folder/x") + FigureExtension(format);
        EXPECT_NE(WriteSpectrumFigure(MadeSpectrum(false), name, format, {}), "");
        EXPECT_NE(access(name.c_str(), F_OK), 0);
    }
}

// Into a descriptor: the figure is written from where the descriptor
// stands, and a write that fails (a full disk) is told for every form,
// with the name the caller gives, also where cairo's own status would not
// tell it.
TEST(FigureFiles, DrawnIntoADescriptorAndAFailedWriteIsTold)
{
    const char *const signatures[] = {"\x89PNG\r\n\x1a\n", "<?xml", "%PDF-"};
    const FigureFormat formats[] = {FigurePng, FigureSvg, FigurePdf};
    for (int f = 0; f < 3; ++f) {
        SCOPED_TRACE(FigureExtension(formats[f]));
        const std::string name = Scratch("descriptor") + FigureExtension(formats[f]);
        const int fd = open(name.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0644);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(write(fd, "head", 4), 4);
        EXPECT_EQ(WriteSpectrumFigureTo(MadeSpectrum(false), fd, "shown.name", formats[f], {}), "");
        EXPECT_EQ(WritePhaseFigureTo(MadePhase(), fd, "shown.name", formats[f], {}), "");
        close(fd);
        const std::string content = Content(name);
        EXPECT_EQ(content.compare(0, 4 + std::strlen(signatures[f]), std::string("head") + signatures[f]), 0);
        std::remove(name.c_str());

        // A full disk from the first byte, and a file size limit met
        // within the figure (in a child, which alone takes the limit).
        const rlim_t within = 4096;
        ASSERT_GT(content.size(), 2 * within);
        for (int kind = 0; kind < 2; ++kind) {
            const auto failure = [&](int fd) {
                return kind == 0 ? WriteSpectrumFigureTo(MadeSpectrum(true), fd, "shown.name", formats[f], {})
                                 : WritePhaseFigureTo(MadePhase(), fd, "shown.name", formats[f], {});
            };
            const int full = open("/dev/full", O_WRONLY);
            ASSERT_GE(full, 0);
            EXPECT_EQ(failure(full), "shown.name: error while writing to output stream") << kind;
            close(full);
            const auto writeUnderLimit = [&] {
                signal(SIGXFSZ, SIG_IGN);
                const rlimit limit = {within, within};
                setrlimit(RLIMIT_FSIZE, &limit);
                const int fd = open(name.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
                std::exit(failure(fd) == "shown.name: error while writing to output stream" ? 0 : 1);
            };
            EXPECT_EXIT(writeUnderLimit(), ::testing::ExitedWithCode(0), "") << kind;
            std::remove(name.c_str());
        }
    }
}

TEST(FigureText, RoundTicksLabelsAndPeriods)
{
    struct TickRow {
        double low, high;
        int wanted;
        std::vector<double> ticks;
    };
    const TickRow ticks[] = {
        {0, 1, 5, {0, 0.2, 0.4, 0.6, 0.8, 1}},
        {2, 10, 8, {2, 3, 4, 5, 6, 7, 8, 9, 10}},
        {-0.5, 1.5, 8, {-0.4, -0.2, 0, 0.2, 0.4, 0.6, 0.8, 1, 1.2, 1.4}},
        {433.7, 441.2, 4, {434, 436, 438, 440}},
        {0.0123, 0.0456, 3, {0.02, 0.03, 0.04}},
        {3, 3, 5, {}},
    };
    for (const TickRow &row : ticks) {
        const std::vector<double> got = RoundTicks(row.low, row.high, row.wanted);
        ASSERT_EQ(got.size(), row.ticks.size()) << row.low << " " << row.high;
        for (std::size_t i = 0; i < got.size(); ++i)
            EXPECT_NEAR(got[i], row.ticks[i], 1e-12);
    }

    EXPECT_EQ(TickLabel(0.4, 0.2), "0.4");
    EXPECT_EQ(TickLabel(-1e-17, 0.2), "0.0");
    EXPECT_EQ(TickLabel(436, 2), "436");
    EXPECT_EQ(TickLabel(0.03, 0.01), "0.03");

    EXPECT_EQ(PeriodWithError(5.366341, 0.000123), "5.36634 \u00b1 0.00012");
    EXPECT_EQ(PeriodWithError(437.2, 3.1), "437.2 \u00b1 3.1");
    EXPECT_EQ(PeriodWithError(437.2, 31), "437 \u00b1 31");
    EXPECT_EQ(PeriodWithError(5.366341, 0), "5.36634");
    EXPECT_EQ(PeriodWithError(5.366341, NAN), "5.36634");
}

// An O-C diagram of a period that grows: the points with their bars, the
// straight fit and the parabola where their values put them, later up.
TEST(FigureFiles, OCDiagramDrawsPointsBarsAndBothFits)
{
    OCFigure figure;
    figure.title = "made.dat, minima";
    for (int e = 0; e <= 1000; e += 100) {
        figure.cycles.push_back(e);
        figure.oc.push_back(1e-8 * e * e);  // 0 .. 0.01 d
        figure.errors.push_back(0.0005);
    }
    figure.hasLinear = true;
    figure.linearA = -0.0015;
    figure.linearB = 1e-5;
    figure.hasQuadratic = true;
    figure.quadraticC = 1e-8;
    figure.periodChange = 2e-8 / 0.8;
    figure.periodChangeError = 1e-10;
    figure.hasFTest = true;
    figure.probability = 1.5e-7;
    EXPECT_EQ(OCTitle(figure),
              "made.dat, minima:  dP/dt = 2.5e-08 \u00b1 1e-10 d/d (0.789 \u00b1 0.0032 s/yr), p = 1.5e-07");

    const FigureSize size = {1600, 1000};
    const std::string name = Scratch("oc.png");
    ASSERT_EQ(WriteOCFigure(figure, name, FigurePng, size), "");
    const Image image(name);
    ASSERT_TRUE(image.Valid());
    const FigurePanel p = OCPanel(figure, size);
    EXPECT_LT(PageY(p, 0.01), PageY(p, 0));
    EXPECT_LT(p.valueLeft, 0);
    EXPECT_GT(p.valueRight, 1000);
    // The parabola between points, the line where it lies far from the parabola.
    for (double e : {150.0, 450.0, 850.0})
        EXPECT_TRUE(image.NearRow(Red, std::lround(PageX(p, e)), PageY(p, 1e-8 * e * e), 3)) << e;
    int onLine = 0;
    for (double e = 20; e < 80; e += 1)
        onLine += image.NearRow(Green, std::lround(PageX(p, e)), PageY(p, -0.0015 + 1e-5 * e), 3);
    EXPECT_GT(onLine, 25) << "dashed: most columns";
    // The bar of the point at E = 500 reaches 0.0005 d above and below it.
    const int x = std::lround(PageX(p, 500));
    EXPECT_TRUE(image.NearRow(Blue, x, PageY(p, 0.0025 + 0.0005), 1));
    EXPECT_TRUE(image.NearRow(Blue, x, PageY(p, 0.0025 - 0.0005), 1));
    EXPECT_FALSE(image.NearRow(Blue, x, PageY(p, 0.0025 + 0.0012), 2));

    // Without the quadratic fit: no parabola and a plain title.
    OCFigure linearOnly = figure;
    linearOnly.hasQuadratic = false;
    EXPECT_EQ(OCTitle(linearOnly), "made.dat, minima");
    ASSERT_EQ(WriteOCFigure(linearOnly, name, FigurePng, size), "");
    const Image bare(name);
    EXPECT_FALSE(bare.NearRow(Red, std::lround(PageX(p, 850)), PageY(p, 1e-8 * 850 * 850), 3));
    for (FigureFormat format : {FigureSvg, FigurePdf}) {
        const std::string other = Scratch("oc") + FigureExtension(format);
        EXPECT_EQ(WriteOCFigure(figure, other, format, {800, 500}), "");
        EXPECT_GT(Content(other).size(), 1000u);
        std::remove(other.c_str());
    }
    std::remove(name.c_str());
}
