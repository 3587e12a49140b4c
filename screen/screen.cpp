// The graphics screen: its state, opening and closing, and drawing into the
// frame buffer.
#include "screen.h"

#include <cstdio>
#include <cstring>
#include <utility>

#include "display.h"
#include "font8x8.h"
#include "framebuffer.h"
#include "runerror.h"

uint8_t FrameBuffer[ScreenHeight][ScreenWidth];

namespace {

// The standard 16-colour palette.
const RgbColour Palette[ScreenColours] = {
    {0, 0, 0},       {0, 0, 168},     {0, 168, 0},     {0, 168, 168},
    {168, 0, 0},     {168, 0, 168},   {168, 84, 0},    {168, 168, 168},
    {84, 84, 84},    {84, 84, 252},   {84, 252, 84},   {84, 252, 252},
    {252, 84, 84},   {252, 84, 252},  {252, 252, 84},  {252, 252, 252},
};

// A graphics mode that detection can choose.
struct GraphMode {
    int driver;
    int mode;
    int width;
    int height;
    int colours;
};

const int MaxGraphModes = 4;

struct {
    bool ready = false;
    DisplayChoice choice = {DisplayOffscreen, false};
    GraphMode modes[MaxGraphModes];
    int modeCount = 0;
    int result = GraphNotInitialised;
    bool open = false;
    int shownKind = DisplayOffscreen;
    int colour = White;
    int backColour = Black;
} graph;

void CloseGraphAtExit()
{
    if (graph.open)
        CloseGraph();
    NoSound();
}

// Drawing needs an open screen; without one the program ends here.
void RequireGraphics()
{
    InitGraphicsLayer();
    if (graph.open)
        return;
    std::fflush(stdout);
    std::fputs("Error: Not in graphics mode (use InitGraph and test GraphResult afterwards)\n", stderr);
    std::fflush(stderr);
    EndProgram(1);
}

bool OnScreen(long long x, long long y) { return x >= 0 && x < ScreenWidth && y >= 0 && y < ScreenHeight; }

void Plot(long long x, long long y, int colour)
{
    if (OnScreen(x, y))
        FrameBuffer[y][x] = static_cast<uint8_t>(colour);
}

// Rounds numerator / denominator to the nearest whole number, halves up;
// both are non-negative, the denominator positive.
long long RoundedQuotient(__int128 numerator, __int128 denominator)
{
    return static_cast<long long>((2 * numerator + denominator) / (2 * denominator));
}

// The steps i (0 to length) of a run from 'start' in direction 'step'
// (+1, -1 or 0) whose coordinate start + step * i lies in [0, limit).
void StepsInside(long long start, int step, long long length, long long limit, long long &first, long long &last)
{
    if (step > 0) {
        first = start < 0 ? -start : 0;
        last = limit - 1 - start;
    } else if (step < 0) {
        first = start >= limit ? start - (limit - 1) : 0;
        last = start;
    } else {
        first = 0;
        last = start >= 0 && start < limit ? length : -1;
    }
    if (last > length)
        last = length;
}

// A line by its pixel rule: along the longer axis one pixel per step, the
// other coordinate rounded to the nearest pixel.  The ends are ordered so
// that the same pixels result in both directions, and only the steps that
// land on the screen are visited.
void DrawLine(long long x1, long long y1, long long x2, long long y2, int colour)
{
    const bool alongX = (x2 > x1 ? x2 - x1 : x1 - x2) >= (y2 > y1 ? y2 - y1 : y1 - y2);
    if ((alongX && x2 < x1) || (!alongX && y2 < y1)) {
        std::swap(x1, x2);
        std::swap(y1, y2);
    }
    const long long major = alongX ? x2 - x1 : y2 - y1;
    const long long minorDelta = alongX ? y2 - y1 : x2 - x1;
    const long long minor = minorDelta < 0 ? -minorDelta : minorDelta;
    const int minorStep = minorDelta < 0 ? -1 : 1;
    long long first, last;
    StepsInside(alongX ? x1 : y1, major > 0 ? 1 : 0, major, alongX ? ScreenWidth : ScreenHeight, first, last);
    for (long long i = first; i <= last; ++i) {
        const long long offset = major == 0 ? 0 : minorStep * RoundedQuotient(static_cast<__int128>(i) * minor, major);
        if (alongX)
            Plot(x1 + i, y1 + offset, colour);
        else
            Plot(x1 + offset, y1 + i, colour);
    }
}

void PlotOctants(long long cx, long long cy, long long x, long long y, int colour)
{
    Plot(cx + x, cy + y, colour);
    Plot(cx - x, cy + y, colour);
    Plot(cx + x, cy - y, colour);
    Plot(cx - x, cy - y, colour);
    Plot(cx + y, cy + x, colour);
    Plot(cx - y, cy + x, colour);
    Plot(cx + y, cy - x, colour);
    Plot(cx - y, cy - x, colour);
}

// True when no pixel of the outline can touch the screen: the circle lies
// beside it, or the whole screen lies well inside it.
bool CircleMissesScreen(long long cx, long long cy, long long radius)
{
    if (cx + radius < 0 || cx - radius >= ScreenWidth || cy + radius < 0 || cy - radius >= ScreenHeight)
        return true;
    const long long farX = cx < ScreenWidth / 2 ? ScreenWidth - 1 - cx : cx;
    const long long farY = cy < ScreenHeight / 2 ? ScreenHeight - 1 - cy : cy;
    return static_cast<__int128>(farX) * farX + static_cast<__int128>(farY) * farY <
           static_cast<__int128>(radius - 2) * (radius - 2);
}

// The midpoint circle: one octant stepped along x, mirrored eight ways.
void DrawCircle(long long cx, long long cy, long long radius, int colour)
{
    if (radius <= 0)
        return;
    if (radius == 1) {
        Plot(cx, cy, colour);
        return;
    }
    if (CircleMissesScreen(cx, cy, radius))
        return;
    long long x = 0, y = radius, decision = 1 - radius;
    while (x <= y) {
        PlotOctants(cx, cy, x, y, colour);
        ++x;
        if (decision < 0) {
            decision += 2 * x + 1;
        } else {
            --y;
            decision += 2 * (x - y) + 1;
        }
    }
}

void DrawText(long long x, long long y, const std::string &text, int colour)
{
    for (std::size_t k = 0; k < text.size(); ++k) {
        const long long left = x + static_cast<long long>(k) * FontCellSize;
        if (left >= ScreenWidth)
            break;
        if (left + FontCellSize <= 0)
            continue;
        const uint8_t *glyph = GlyphOf(static_cast<unsigned char>(text[k]));
        for (int row = 0; row < FontCellSize; ++row)
            for (int column = 0; column < FontCellSize; ++column)
                if (glyph[row] & (0x80 >> column))
                    Plot(left + column, y + row, colour);
    }
}

// The mode detection picks: the most colours, then the most pixels.
const GraphMode *BestMode()
{
    const GraphMode *best = nullptr;
    for (int i = 0; i < graph.modeCount; ++i) {
        const GraphMode &m = graph.modes[i];
        if (best == nullptr || m.colours > best->colours ||
            (m.colours == best->colours && m.width * m.height > best->width * best->height))
            best = &m;
    }
    return best;
}

const GraphMode *FindMode(int driver, int mode)
{
    for (int i = 0; i < graph.modeCount; ++i)
        if (graph.modes[i].driver == driver && graph.modes[i].mode == mode)
            return &graph.modes[i];
    return nullptr;
}

bool KnownDriver(int driver)
{
    for (int i = 0; i < graph.modeCount; ++i)
        if (graph.modes[i].driver == driver)
            return true;
    return false;
}

} // namespace

void InitGraphicsLayer()
{
    if (graph.ready)
        return;
    graph.ready = true;
    graph.choice = ChooseDisplay();
    // The frame buffer offers one mode.
    graph.modes[0] = {VgaDriver, VgaHighMode, ScreenWidth, ScreenHeight, ScreenColours};
    graph.modeCount = 1;
    AddExitHook(CloseGraphAtExit);
}

void InitGraph(int &driver, int &mode, const char *path)
{
    (void)path;
    InitGraphicsLayer();
    if (graph.open)
        CloseGraph();
    const GraphMode *chosen = driver == DetectDriver ? BestMode() : FindMode(driver, mode);
    if (chosen == nullptr) {
        graph.result = driver != DetectDriver && KnownDriver(driver) ? GraphInvalidMode : GraphNotDetected;
        return;
    }
    int shown = graph.choice.kind;
    if (shown != DisplayOffscreen && !OpenDisplay(shown)) {
        if (graph.choice.forced) {
            graph.result = GraphNotDetected;
            return;
        }
        // Whatever display was guessed, the picture can still be drawn and
        // copied without one.
        shown = DisplayOffscreen;
    }
    std::memset(FrameBuffer, 0, sizeof FrameBuffer);
    graph.colour = White;
    graph.backColour = Black;
    graph.open = true;
    graph.shownKind = shown;
    graph.result = GraphOk;
    driver = chosen->driver;
    mode = chosen->mode;
    MarkScreenChanged();
    ServiceDisplay();
}

int GraphResult() { return graph.result; }

void CloseGraph()
{
    if (!graph.open)
        return;
    CloseDisplay();
    graph.open = false;
}

const char *DisplayKind()
{
    if (!graph.open)
        return "";
    if (graph.shownKind == DisplayWindow)
        return "window";
    if (graph.shownKind == DisplayConsole)
        return "console";
    return "offscreen";
}

void ClearDevice()
{
    RequireGraphics();
    std::memset(FrameBuffer, 0, sizeof FrameBuffer);
    MarkScreenChanged();
}

int GetMaxX() { return ScreenWidth - 1; }

int GetMaxY() { return ScreenHeight - 1; }

void SetColor(int colour)
{
    RequireGraphics();
    graph.colour = colour & (ScreenColours - 1);
}

int GetColor() { return graph.colour; }

void SetBkColor(int colour)
{
    RequireGraphics();
    graph.backColour = colour & (ScreenColours - 1);
    MarkScreenChanged();
}

int GetBkColor() { return graph.backColour; }

RgbColour ShownColour(int colour)
{
    colour &= ScreenColours - 1;
    return Palette[colour == 0 ? graph.backColour : colour];
}

void Line(int x1, int y1, int x2, int y2)
{
    RequireGraphics();
    DrawLine(x1, y1, x2, y2, graph.colour);
    MarkScreenChanged();
}

void PutPixel(int x, int y, int colour)
{
    RequireGraphics();
    Plot(x, y, colour & (ScreenColours - 1));
    MarkScreenChanged();
}

int GetPixel(int x, int y)
{
    RequireGraphics();
    return OnScreen(x, y) ? FrameBuffer[y][x] : 0;
}

void Circle(int x, int y, int radius)
{
    RequireGraphics();
    DrawCircle(x, y, radius, graph.colour);
    MarkScreenChanged();
}

void OutTextXY(int x, int y, const std::string &text)
{
    RequireGraphics();
    DrawText(x, y, text, graph.colour);
    MarkScreenChanged();
}
