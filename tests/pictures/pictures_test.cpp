// The spectrum plot and the phase diagram as a user gets them: the built
// kalidor runs in a scratch directory on a prepared observation file and a
// prepared dialogue, stores its pictures with f answers in the hard-copy
// file, and the pictures are read back from that file dot by dot.
//
// Every picture is checked two ways: each element that must be drawn has
// its dots (frame lines, texts, points, ticks, circles), and no dot lies
// anywhere else on the screen.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <ostream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "banddecode.h"
#include "kalidor.h"

namespace {

namespace fs = std::filesystem;

// ---------------------------------------------------------------------------
// Running kalidor

// A scratch directory, removed with everything in it at the end of a case.
struct ScratchDirectory {
    fs::path path;
    ScratchDirectory()
    {
        char name[] = "/tmp/kalidor-pictures-XXXXXX";
        if (mkdtemp(name) != nullptr)
            path = name;
    }
    ~ScratchDirectory()
    {
        std::error_code ignored;
        if (!path.empty())
            fs::remove_all(path, ignored);
    }
};

void WriteFile(const fs::path &path, const std::string &content)
{
    std::ofstream out(path, std::ios::binary);
    out << content;
}

std::string ReadFile(const fs::path &path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Runs kalidor in dir with the one parameter, the given standard input and
// no display; returns its exit status (-1 when it did not exit normally).
int RunKalidor(const fs::path &dir, const std::string &parameter, const std::string &input)
{
    WriteFile(dir / "input.txt", input);
    const pid_t child = fork();
    if (child == 0) {
        if (chdir(dir.c_str()) != 0)
            _exit(126);
        const int in = open("input.txt", O_RDONLY);
        const int out = open("output.txt", O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (in < 0 || out < 0)
            _exit(126);
        dup2(in, 0);
        dup2(out, 1);
        dup2(out, 2);
        setenv("KALIDOR_DISPLAY", "offscreen", 1);
        setenv("PATH", "/usr/bin:/bin", 1);
        unsetenv("TEMP"); // the hard-copy file then lands in dir
        alarm(30);        // a hung run fails the case instead of the suite
        execl(KALIDOR, "kalidor", parameter.c_str(), static_cast<char *>(nullptr));
        _exit(127);
    }
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

// The pictures stored in a hard-copy file, slot by slot.
std::vector<BandImage> ReadHardCopies(const fs::path &path)
{
    const std::string bytes = ReadFile(path);
    std::vector<BandImage> pictures;
    StreamFault fault;
    if (!DecodeBandStream(std::vector<unsigned char>(bytes.begin(), bytes.end()), false, 0, 0, pictures, fault))
        ADD_FAILURE() << path << ": " << fault.text << " at byte " << fault.offset;
    return pictures;
}

struct SpectrumPoint {
    double period, power;
};

// The points of a spectrum file, period and power per line.
std::vector<SpectrumPoint> ReadSpectrumFile(const fs::path &path)
{
    std::vector<SpectrumPoint> points;
    std::istringstream lines(ReadFile(path));
    std::string line;
    while (std::getline(lines, line)) {
        char *rest = nullptr;
        const double period = std::strtod(line.c_str(), &rest);
        const double power = std::strtod(rest, nullptr);
        points.push_back({period, power});
    }
    return points;
}

// ---------------------------------------------------------------------------
// Looking at a picture

const int CellSize = 8; // the text font's character cell

bool Dot(const BandImage &picture, int x, int y)
{
    return x >= 0 && y >= 0 && x < picture.width && y < picture.height && picture.dots[y * picture.width + x] != 0;
}

bool AnyDotIn(const BandImage &picture, int left, int top, int right, int bottom)
{
    for (int y = top; y <= bottom; ++y)
        for (int x = left; x <= right; ++x)
            if (Dot(picture, x, y))
                return true;
    return false;
}

// The places where a picture may have dots.
struct AllowedDots {
    int width = 0, height = 0;
    std::vector<unsigned char> allowed;
};

AllowedDots NothingAllowed(const BandImage &picture)
{
    return {picture.width, picture.height,
            std::vector<unsigned char>(static_cast<size_t>(picture.width) * picture.height, 0)};
}

void AllowBox(AllowedDots &mask, int left, int top, int right, int bottom)
{
    for (int y = std::max(top, 0); y <= std::min(bottom, mask.height - 1); ++y)
        for (int x = std::max(left, 0); x <= std::min(right, mask.width - 1); ++x)
            mask.allowed[y * mask.width + x] = 1;
}

// A straight line, with one pixel of leeway on each side so that the
// checks do not depend on how the screen steps along a slanted line.
void AllowLineNear(AllowedDots &mask, int x0, int y0, int x1, int y1)
{
    const int steps = std::max(std::abs(x1 - x0), std::abs(y1 - y0));
    for (int i = 0; i <= steps; ++i) {
        const double x = x0 + (x1 - x0) * static_cast<double>(i) / std::max(steps, 1);
        const double y = y0 + (y1 - y0) * static_cast<double>(i) / std::max(steps, 1);
        AllowBox(mask, static_cast<int>(std::floor(x)) - 1, static_cast<int>(std::floor(y)) - 1,
                 static_cast<int>(std::ceil(x)) + 1, static_cast<int>(std::ceil(y)) + 1);
    }
}

// Only the cells of the characters that show something; a blank stays
// blank paper.
void AllowText(AllowedDots &mask, int x, int y, const std::string &text)
{
    for (size_t k = 0; k < text.size(); ++k)
        if (text[k] != ' ')
            AllowBox(mask, x + static_cast<int>(k) * CellSize, y, x + static_cast<int>(k) * CellSize + CellSize - 1,
                     y + CellSize - 1);
}

void ExpectOnlyAllowedDots(const BandImage &picture, const AllowedDots &mask, const std::string &what)
{
    int stray = 0;
    for (int y = 0; y < picture.height; ++y)
        for (int x = 0; x < picture.width; ++x)
            if (Dot(picture, x, y) && !mask.allowed[y * mask.width + x] && ++stray <= 10)
                ADD_FAILURE() << what << ": stray dot at (" << x << ", " << y << ")";
    EXPECT_EQ(stray, 0) << what << ": dots where nothing is drawn";
}

void ExpectText(const BandImage &picture, int x, int y, const std::string &text)
{
    for (size_t k = 0; k < text.size(); ++k) {
        const int left = x + static_cast<int>(k) * CellSize;
        // A text running off the screen is cut there.
        if (text[k] != ' ' && left + CellSize <= picture.width) {
            EXPECT_TRUE(AnyDotIn(picture, left, y, left + CellSize - 1, y + CellSize - 1))
                << "no dot in the cell of '" << text[k] << "' of \"" << text << "\" at (" << left << ", " << y << ")";
        }
    }
}

void ExpectHorizontalLine(const BandImage &picture, int x0, int x1, int y)
{
    for (int x = x0; x <= x1; ++x)
        if (!Dot(picture, x, y)) {
            ADD_FAILURE() << "line y = " << y << " from x = " << x0 << " to " << x1 << " misses (" << x << ", " << y
                          << ")";
            return;
        }
}

void ExpectVerticalLine(const BandImage &picture, int x, int y0, int y1)
{
    for (int y = y0; y <= y1; ++y)
        if (!Dot(picture, x, y)) {
            ADD_FAILURE() << "line x = " << x << " from y = " << y0 << " to " << y1 << " misses (" << x << ", " << y
                          << ")";
            return;
        }
}

// The frame of both pictures: x = 30, x = MaxX - 20, y = 20, y = MaxY - 20.
void ExpectFrame(const BandImage &picture, AllowedDots &mask)
{
    const int maxX = picture.width - 1, maxY = picture.height - 1;
    ExpectVerticalLine(picture, 30, 20, maxY - 20);
    ExpectVerticalLine(picture, maxX - 20, 20, maxY - 20);
    ExpectHorizontalLine(picture, 30, maxX - 20, 20);
    ExpectHorizontalLine(picture, 30, maxX - 20, maxY - 20);
    AllowBox(mask, 30, 20, 30, maxY - 20);
    AllowBox(mask, maxX - 20, 20, maxX - 20, maxY - 20);
    AllowBox(mask, 30, 20, maxX - 20, 20);
    AllowBox(mask, 30, maxY - 20, maxX - 20, maxY - 20);
}

// The columns of a row that hold dots.
std::vector<int> DotColumns(const BandImage &picture, int y)
{
    std::vector<int> columns;
    for (int x = 0; x < picture.width; ++x)
        if (Dot(picture, x, y))
            columns.push_back(x);
    return columns;
}

int Truncated(long double v) { return static_cast<int>(v); }

// ---------------------------------------------------------------------------
// Observation files

// One line of a Julian-date file.
std::string JulianDateLine(double date, double magnitude)
{
    char line[64];
    std::snprintf(line, sizeof line, "%.3f %.3f\n", date, magnitude);
    return line;
}

// 40 observations 0.77 days apart with a sine wave of period 3.3 days and a
// little regular scatter: a strong, significant peak at 3.3.
std::string SineObservations()
{
    std::string text;
    for (int i = 0; i < 40; ++i) {
        const double date = 48000 + 0.77 * i;
        const double magnitude = 10 + 0.5 * std::sin(2 * M_PI * (date - 48000) / 3.3) + 0.05 * ((i * 7) % 5 - 2);
        text += JulianDateLine(date, magnitude);
    }
    return text;
}

// Six scattered observations: with so few, the significance threshold lies
// near 1 and no power reaches it.
std::string FewObservations()
{
    return "48000.000 10.100\n48001.300 10.700\n48002.100 10.300\n"
           "48003.700 10.900\n48004.200 10.200\n48006.000 10.500\n";
}

// ---------------------------------------------------------------------------
// Spectrum plot

struct Range {
    const char *minimum, *maximum;
    int intervals;
};

struct SpectrumCase {
    const char *name;
    std::string (*observations)();
    Range range;
    // Labels of the period ticks, left to right.  The ticks stand where a
    // sum of steps from 0 lands, so rounding can drop the ends of a range.
    std::vector<std::string> labels;
    enum Mark { Line, Triangle, Either } mark;
    // When set, a first pass over this range comes before (no hard copy),
    // and the picture checked is that of the recomputed spectrum.
    Range earlier;
};

// Cases are named by their name in test reports.
void PrintTo(const SpectrumCase &c, std::ostream *out) { *out << c.name; }

std::string RangeAnswers(const Range &r)
{
    return std::string(r.minimum) + "\n" + r.maximum + "\n" + std::to_string(r.intervals) + "\n";
}

// The dialogue of one run: an optional first pass, the pass that is kept in
// slot 1, no folding.
std::string SpectrumDialogue(const SpectrumCase &c)
{
    if (c.earlier.minimum == nullptr)
        return RangeAnswers(c.range) + "f1\nn\nn\n";
    return RangeAnswers(c.earlier) + "\na\n" + RangeAnswers(c.range) + "f1\nn\nn\n";
}

class SpectrumPlot : public ::testing::TestWithParam<SpectrumCase> {};

TEST_P(SpectrumPlot, ShowsWhatTheSpectrumFileHolds)
{
    const SpectrumCase &c = GetParam();
    ScratchDirectory dir;
    ASSERT_FALSE(dir.path.empty());
    WriteFile(dir.path / "kpic.jud", c.observations());
    ASSERT_EQ(RunKalidor(dir.path, "kpic.jud", SpectrumDialogue(c)), 1) << ReadFile(dir.path / "output.txt");

    const std::vector<BandImage> pictures = ReadHardCopies(dir.path / "kpic.prn");
    ASSERT_EQ(pictures.size(), 1u);
    const BandImage &picture = pictures[0];
    ASSERT_EQ(picture.width, 640);
    ASSERT_EQ(picture.height, 480);
    const int maxX = picture.width - 1, maxY = picture.height - 1;

    const std::vector<SpectrumPoint> points = ReadSpectrumFile(dir.path / "kpic.ven");
    ASSERT_EQ(points.size(), static_cast<size_t>(c.range.intervals) + 1);
    double amax = 0, pbest = 0;
    for (const SpectrumPoint &p : points)
        if (p.power > amax) {
            amax = p.power;
            pbest = p.period;
        }
    ASSERT_GT(amax, 0);

    const double pmin = std::strtod(c.range.minimum, nullptr), pmax = std::strtod(c.range.maximum, nullptr);
    // The scales are stored values (doubles); the positions are worked out
    // from them in extended precision.
    const double xs = (maxX - 60) / (pmax - pmin);
    const double ys = (maxY - 50) / amax;
    auto X = [&](double p, int offset) {
        return Truncated((static_cast<long double>(p) - pmin) * static_cast<long double>(xs) + offset);
    };
    // The rows a power may land on.  The plot scales by the maximum power
    // it holds in memory, the test by the maximum as the spectrum file
    // gives it to 16 digits; where the position lies on a pixel boundary
    // within that precision (as the maximum itself does), either row of the
    // boundary is right.
    auto Y = [&](double a) {
        const long double v = static_cast<long double>(a) * ys;
        const long double nearest = std::round(v);
        if (std::fabs(v - nearest) < 1e-9L)
            return std::vector<int>{(maxY - 25) - static_cast<int>(nearest), (maxY - 25) - static_cast<int>(nearest) + 1};
        return std::vector<int>{(maxY - 25) - Truncated(v)};
    };
    // The one of those rows that holds a full line from x0 to x1.
    auto LineRow = [&](const std::vector<int> &rows, int x0, int x1) {
        for (int y : rows) {
            bool full = true;
            for (int x = x0; x <= x1; ++x)
                full = full && Dot(picture, x, y);
            if (full)
                return y;
        }
        return rows.front();
    };

    AllowedDots mask = NothingAllowed(picture);
    ExpectFrame(picture, mask);

    // Title and the request to press Enter.
    const std::string title = "Perioda: " + FormatFixed(pbest + 0.00005, 4);
    ExpectText(picture, 30, 5, title);
    AllowText(mask, 30, 5, title);
    ExpectText(picture, maxX - 160, 5, "Zmackni ENTER ...");
    AllowText(mask, maxX - 160, 5, "Zmackni ENTER ...");

    // Every grid point of the spectrum file is a dot of its own.
    for (const SpectrumPoint &p : points) {
        const int x = X(p.period, 35);
        const std::vector<int> rows = Y(p.power);
        EXPECT_TRUE(Dot(picture, x, rows.front()) || Dot(picture, x, rows.back()))
            << "no dot for period " << p.period << " power " << p.power << " at (" << x << ", " << rows.front()
            << ")";
        AllowBox(mask, x, rows.front(), x, rows.back());
    }

    // The significance line across the frame, or the triangle.
    int dt = 0;
    const std::string dates = ReadFile(dir.path / "kpic.jud");
    std::istringstream dateLines(dates);
    double first = 0, last = 0, date = 0, magnitude = 0;
    while (dateLines >> date >> magnitude) {
        if (dt++ == 0)
            first = date;
        last = date;
    }
    const double threshold = SignificanceThreshold(dt, first, last, pmin, pmax);
    const bool lineDrawn = amax > threshold;
    if (c.mark != SpectrumCase::Either) {
        EXPECT_EQ(lineDrawn, c.mark == SpectrumCase::Line) << "maximum " << amax << ", threshold " << threshold;
    }
    if (lineDrawn) {
        const int y = LineRow(Y(threshold), 30, maxX - 20);
        ExpectHorizontalLine(picture, 30, maxX - 20, y);
        AllowBox(mask, 30, y, maxX - 20, y);
        ExpectText(picture, maxX - 50, y - 18, "95");
        AllowText(mask, maxX - 50, y - 18, "95");
    } else {
        for (const auto &corner : {std::make_pair(45, 30), std::make_pair(40, 45), std::make_pair(50, 45)})
            EXPECT_TRUE(Dot(picture, corner.first, corner.second))
                << "triangle corner (" << corner.first << ", " << corner.second << ")";
        ExpectHorizontalLine(picture, 40, 50, 45);
        // Each row of the slanted sides has a dot within a pixel of them.
        for (int y = 30; y <= 45; ++y) {
            const double side = (y - 30) / 3.0;
            EXPECT_TRUE(AnyDotIn(picture, static_cast<int>(std::floor(45 - side)), y,
                                 static_cast<int>(std::ceil(45 - side)), y))
                << "left side of the triangle, row " << y;
            EXPECT_TRUE(AnyDotIn(picture, static_cast<int>(std::floor(45 + side)), y,
                                 static_cast<int>(std::ceil(45 + side)), y))
                << "right side of the triangle, row " << y;
        }
        AllowLineNear(mask, 45, 30, 40, 45);
        AllowLineNear(mask, 40, 45, 50, 45);
        AllowLineNear(mask, 50, 45, 45, 30);
    }

    // Period ticks below the frame at the multiples of the step in the
    // range; rows MaxY - 19 to MaxY - 17 hold nothing else.
    const double range = pmax - pmin;
    double step = 0.01;
    const double above[] = {200, 100, 50, 25, 10, 5, 2.5, 1, 0.5, 0.25, 0.1};
    const double steps[] = {50, 20, 10, 5, 2, 1, 0.5, 0.2, 0.1, 0.05, 0.02};
    for (int k = 10; k >= 0; --k)
        if (range > above[k])
            step = steps[k];
    std::vector<double> ticks;
    for (double t = 0; !(t > pmax); t += step)
        if (t >= pmin)
            ticks.push_back(t);
    ASSERT_EQ(ticks.size(), c.labels.size()) << "period ticks";
    std::vector<int> tickColumns;
    const int labelOffset = step >= 1 ? 32 : step >= 0.1 ? 30 : 28;
    for (size_t k = 0; k < ticks.size(); ++k) {
        const int x = X(ticks[k], 35);
        tickColumns.push_back(x);
        AllowBox(mask, x, maxY - 20, x, maxY - 17);
        const std::string label = step >= 1 ? FormatWhole(ticks[k]) : FormatFixed(ticks[k], step >= 0.1 ? 1 : 2);
        EXPECT_EQ(label, c.labels[k]);
        ExpectText(picture, X(ticks[k], labelOffset), maxY - 10, label);
        AllowText(mask, X(ticks[k], labelOffset), maxY - 10, label);
    }
    for (int y = maxY - 19; y <= maxY - 17; ++y)
        EXPECT_EQ(DotColumns(picture, y), tickColumns) << "period ticks in row " << y;

    // Power ticks left of the frame from 0 by 0.1 below the maximum.
    double a = 0;
    do {
        const int y = LineRow(Y(a), 27, 30);
        ExpectHorizontalLine(picture, 27, 30, y);
        AllowBox(mask, 27, y, 30, y);
        ExpectText(picture, 0, y - 3, FormatFixed(a, 1));
        AllowText(mask, 0, y - 3, FormatFixed(a, 1));
        a += 0.1;
    } while (a < amax);

    ExpectOnlyAllowedDots(picture, mask, c.name);
}

const SpectrumCase SpectrumCases[] = {
    {"WholeSteps", SineObservations, {"2", "12", 100},
     {"2", "3", "4", "5", "6", "7", "8", "9", "10", "11", "12"}, SpectrumCase::Line, {}},
    {"TenthsOfADay", SineObservations, {"0.3", "0.9", 60},
     {"0.3", "0.4", "0.5", "0.6", "0.7", "0.8", "0.9"}, SpectrumCase::Either, {}},
    // About 2000 additions of 0.05 land just below 100.5, so the first tick
    // is the one at 100.55.
    {"FarFromZero", SineObservations, {"100.5", "101", 50},
     {"100.55", "100.60", "100.65", "100.70", "100.75", "100.80", "100.85", "100.90", "100.95", "101.00"},
     SpectrumCase::Either, {}},
    {"TwoDaySteps", SineObservations, {"1", "20", 190},
     {"2", "4", "6", "8", "10", "12", "14", "16", "18", "20"}, SpectrumCase::Line, {}},
    {"FiftyDaySteps", SineObservations, {"10", "300", 290}, {"50", "100", "150", "200", "250", "300"},
     SpectrumCase::Either, {}},
    // R = 5 is the upper end of the half-day class; the sum of steps passes
    // 3 before reaching it, so the tick at 3.0 is missing.
    {"HalfDayStepsAtTheirEnd", SineObservations, {"3", "8", 100},
     {"3.0", "3.5", "4.0", "4.5", "5.0", "5.5", "6.0", "6.5", "7.0", "7.5", "8.0"}, SpectrumCase::Line, {}},
    {"FifthsOfADay", SineObservations, {"0.5", "3", 250},
     {"0.6", "0.8", "1.0", "1.2", "1.4", "1.6", "1.8", "2.0", "2.2", "2.4", "2.6", "2.8"}, SpectrumCase::Line, {}},
    {"HundredthsOfADay", SineObservations, {"0.05", "0.12", 70},
     {"0.05", "0.06", "0.07", "0.08", "0.09", "0.10", "0.11", "0.12"}, SpectrumCase::Either, {}},
    {"NoPowerAboveTheThreshold", FewObservations, {"2", "12", 100},
     {"2", "3", "4", "5", "6", "7", "8", "9", "10", "11", "12"}, SpectrumCase::Triangle, {}},
    // The recomputed plot replaces the first one completely.
    {"Recomputed", SineObservations, {"20", "120", 100},
     {"20", "30", "40", "50", "60", "70", "80", "90", "100", "110", "120"}, SpectrumCase::Either,
     {"2", "12", 100}},
};

INSTANTIATE_TEST_SUITE_P(Ranges, SpectrumPlot, ::testing::ValuesIn(SpectrumCases),
                         [](const ::testing::TestParamInfo<SpectrumCase> &info) { return info.param.name; });

// A range of a trillion days: the step of 50 days would give 2e10 ticks, so
// it grows tenfold until at most 10000 fit (5e8 days, 2000 ticks).  The
// picture comes at once and holds exactly those ticks.
TEST(SpectrumPlotRange, WideRangeTicksAtTheGrownStep)
{
    ScratchDirectory dir;
    ASSERT_FALSE(dir.path.empty());
    WriteFile(dir.path / "kpic.jud", SineObservations());
    ASSERT_EQ(RunKalidor(dir.path, "kpic.jud", "1\n1e12\n1\nf1\nn\nn\n"), 1) << ReadFile(dir.path / "output.txt");
    const std::vector<BandImage> pictures = ReadHardCopies(dir.path / "kpic.prn");
    ASSERT_EQ(pictures.size(), 1u);
    const BandImage &picture = pictures[0];
    const int maxY = picture.height - 1;
    const double xs = (picture.width - 1 - 60) / (1e12 - 1);
    std::vector<int> columns;
    for (double t = 5e8; t <= 1e12; t += 5e8)
        columns.push_back(Truncated((static_cast<long double>(t) - 1) * static_cast<long double>(xs) + 35));
    columns.erase(std::unique(columns.begin(), columns.end()), columns.end());
    EXPECT_EQ(DotColumns(picture, maxY - 19), columns);
}

// ---------------------------------------------------------------------------
// Phase diagram

// Observations placed around the epoch 48000 for the period 4 days, and
// where their circles go on the 640x480 screen (xs = 386 per cycle).
struct FoldedObservation {
    const char *note;
    double date, magnitude;
    std::vector<int> columns; // centres of the circles drawn
};

const FoldedObservation FoldedObservations[] = {
    {"0.3 periods before the epoch", 47998.8, 10.6, {305}},
    {"at the epoch", 48000.0, 10.3, {35, 421}},
    {"just before the epoch, seen left of phase 0", 47999.98, 10.45, {33, 419}},
    {"before the epoch, too far left for phase 0", 47999.96, 10.55, {417}},
    {"phase 0.25, seen twice", 48001.0, 10.8, {131, 517}},
    {"phase 0.52, its repeat beyond the frame", 48002.08, 10.4, {235}},
    {"phase 0.75, the brightest", 48003.0, 9.9, {324}},
    {"phase 0.9", 48003.6, 10.5, {382}},
    {"phase 1.5 folds to 0.5, the faintest", 48006.0, 11.0, {228, 614}},
};

std::string FoldedObservationFile()
{
    std::string text;
    for (const FoldedObservation &o : FoldedObservations)
        text += JulianDateLine(o.date, o.magnitude);
    return text;
}

// Frame, phase ticks and the two texts: what every phase diagram shows.
void ExpectPhaseDiagramFrame(const BandImage &picture, AllowedDots &mask, const std::string &epoch,
                             const std::string &period)
{
    const int maxX = picture.width - 1, maxY = picture.height - 1;
    ExpectFrame(picture, mask);
    const std::vector<int> ticks = {35, 228, 421, 614};
    for (int y = maxY - 19; y <= maxY - 15; ++y)
        EXPECT_EQ(DotColumns(picture, y), ticks) << "phase ticks in row " << y;
    for (int x : ticks)
        AllowBox(mask, x, maxY - 20, x, maxY - 15);
    ExpectText(picture, 30, 5, "Epocha: " + epoch);
    AllowText(mask, 30, 5, "Epocha: " + epoch);
    ExpectText(picture, maxX - 145, 5, "Perioda: " + period);
    AllowText(mask, maxX - 145, 5, "Perioda: " + period);
}

// A circle of radius 2: its four extreme points are dots, its centre is not.
void ExpectCircle(const BandImage &picture, int x, int y, const std::string &what)
{
    EXPECT_TRUE(Dot(picture, x - 2, y) && Dot(picture, x + 2, y) && Dot(picture, x, y - 2) && Dot(picture, x, y + 2))
        << what << ": no circle around (" << x << ", " << y << ")";
    EXPECT_FALSE(Dot(picture, x, y)) << what << ": circle around (" << x << ", " << y << ") is filled";
}

class PhaseDiagram : public ::testing::Test {
protected:
    // One run: a spectrum pass, then folds with the period 4 and with the
    // period 0, all three pictures stored in slots 1 to 3.
    static void SetUpTestSuite()
    {
        dir = new ScratchDirectory;
        WriteFile(dir->path / "kpic.jud", FoldedObservationFile());
        status = RunKalidor(dir->path, "kpic.jud", "1\n5\n50\nf1\nn\na\n4\n48000\nf2\na\n0\n48000\nf3\nn\n");
        pictures = ReadHardCopies(dir->path / "kpic.prn");
    }
    static void TearDownTestSuite()
    {
        delete dir;
        dir = nullptr;
    }
    void SetUp() override
    {
        ASSERT_EQ(status, 0) << ReadFile(dir->path / "output.txt");
        ASSERT_EQ(pictures.size(), 3u);
    }
    static ScratchDirectory *dir;
    static int status;
    static std::vector<BandImage> pictures;
};

ScratchDirectory *PhaseDiagram::dir = nullptr;
int PhaseDiagram::status = -1;
std::vector<BandImage> PhaseDiagram::pictures;

TEST_F(PhaseDiagram, DrawsEachObservationWhereItsPhaseFalls)
{
    const BandImage &picture = pictures[1];
    const int maxY = picture.height - 1;
    AllowedDots mask = NothingAllowed(picture);
    ExpectPhaseDiagramFrame(picture, mask, "48000.000", "4.000");

    // Magnitudes centred on their mean; the brightest maps to y = 40 and
    // the faintest near MaxY - 40.
    double sum = 0;
    for (const FoldedObservation &o : FoldedObservations)
        sum += o.magnitude;
    const double mean = sum / std::size(FoldedObservations);
    double least = 0, greatest = 0;
    for (const FoldedObservation &o : FoldedObservations) {
        least = std::min(least, o.magnitude - mean);
        greatest = std::max(greatest, o.magnitude - mean);
    }
    const double ys = (maxY - 80) / (greatest - least);
    for (const FoldedObservation &o : FoldedObservations) {
        const double centred = o.magnitude - mean;
        const int y = Truncated((static_cast<long double>(centred) - least) * ys + 40);
        if (centred == least) {
            EXPECT_EQ(y, 40) << o.note;
        }
        EXPECT_GE(y, 40) << o.note;
        EXPECT_LE(y, maxY - 40) << o.note;
        for (int x : o.columns) {
            ExpectCircle(picture, x, y, o.note);
            AllowBox(mask, x - 2, y - 2, x + 2, y + 2);
        }
    }
    // A circle not listed (one left of x = 32 or right of MaxX - 22) shows
    // up as stray dots.
    ExpectOnlyAllowedDots(picture, mask, "phase diagram");
}

TEST_F(PhaseDiagram, PeriodZeroDrawsNoCircles)
{
    const BandImage &picture = pictures[2];
    AllowedDots mask = NothingAllowed(picture);
    ExpectPhaseDiagramFrame(picture, mask, "48000.000", "0.000");
    ExpectOnlyAllowedDots(picture, mask, "fold with period 0");
}

} // namespace
