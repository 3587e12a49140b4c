#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <set>
#include <string>
#include <unistd.h>
#include <utility>
#include <vector>

#include "font8x8.h"
#include "screen.h"
#include "stdin_pipe.h"
#include "textinput.h"

namespace {

using Pixels = std::set<std::pair<int, int>>;

// Opens the screen off-screen (the test runs with KALIDOR_DISPLAY=offscreen).
class ScreenTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        int driver = DetectDriver, mode = 0;
        InitGraph(driver, mode, "");
        ASSERT_EQ(GraphResult(), GraphOk);
    }
    void TearDown() override { CloseGraph(); }
};

Pixels LitPixels()
{
    Pixels lit;
    for (int y = 0; y <= GetMaxY(); ++y)
        for (int x = 0; x <= GetMaxX(); ++x)
            if (GetPixel(x, y) != 0)
                lit.insert({x, y});
    return lit;
}

Pixels Shifted(const Pixels &pixels, int dx, int dy)
{
    Pixels moved;
    for (const auto &p : pixels) {
        const int x = p.first + dx, y = p.second + dy;
        if (x >= 0 && x < ScreenWidth && y >= 0 && y < ScreenHeight)
            moved.insert({x, y});
    }
    return moved;
}

Pixels LineAlone(int x1, int y1, int x2, int y2)
{
    ClearDevice();
    Line(x1, y1, x2, y2);
    return LitPixels();
}

Pixels CircleAlone(int x, int y, int radius)
{
    ClearDevice();
    Circle(x, y, radius);
    return LitPixels();
}

} // namespace

TEST_F(ScreenTest, OpenedScreenIsBlackWithItsSizeAndDefaults)
{
    EXPECT_EQ(GetMaxX(), 639);
    EXPECT_EQ(GetMaxY(), 479);
    EXPECT_TRUE(LitPixels().empty());
    EXPECT_EQ(GetColor(), White);
    EXPECT_EQ(GetBkColor(), Black);
    EXPECT_STREQ(DisplayKind(), "offscreen");
}

TEST_F(ScreenTest, DetectionWritesBackWhatReopensTheSameMode)
{
    int driver = DetectDriver, mode = 0;
    InitGraph(driver, mode, "no/such/font/path");
    ASSERT_EQ(GraphResult(), GraphOk);
    EXPECT_EQ(driver, VgaDriver);
    EXPECT_EQ(mode, VgaHighMode);
    PutPixel(3, 4, Yellow);
    CloseGraph();
    InitGraph(driver, mode, "");
    EXPECT_EQ(GraphResult(), GraphOk);
    EXPECT_EQ(GetMaxX(), 639);
    EXPECT_EQ(GetMaxY(), 479);
    EXPECT_EQ(GetPixel(3, 4), 0) << "a reopened screen starts black";
}

TEST_F(ScreenTest, UnknownDriverOrModeIsRefused)
{
    struct Case {
        int driver, mode, result;
    } cases[] = {
        {VgaDriver, 0, GraphInvalidMode},
        {VgaDriver, 7, GraphInvalidMode},
        {3, VgaHighMode, GraphNotDetected},
        {-1, 0, GraphNotDetected},
    };
    for (const Case &c : cases) {
        int driver = c.driver, mode = c.mode;
        InitGraph(driver, mode, "");
        EXPECT_EQ(GraphResult(), c.result) << c.driver << "/" << c.mode;
        EXPECT_EQ(driver, c.driver) << "nothing written back on failure";
        EXPECT_EQ(mode, c.mode);
    }
}

TEST_F(ScreenTest, LinesOnKnownCases)
{
    struct Case {
        int x1, y1, x2, y2;
        Pixels expected;
    } cases[] = {
        {5, 5, 5, 5, {{5, 5}}},
        {2, 3, 6, 3, {{2, 3}, {3, 3}, {4, 3}, {5, 3}, {6, 3}}},
        {7, 1, 7, 4, {{7, 1}, {7, 2}, {7, 3}, {7, 4}}},
        {0, 0, 3, 3, {{0, 0}, {1, 1}, {2, 2}, {3, 3}}},
        {3, 0, 0, 3, {{3, 0}, {2, 1}, {1, 2}, {0, 3}}},
        {0, 0, 4, 2, {{0, 0}, {1, 1}, {2, 1}, {3, 2}, {4, 2}}},
        {10, 10, 11, 14, {{10, 10}, {10, 11}, {11, 12}, {11, 13}, {11, 14}}},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(LineAlone(c.x1, c.y1, c.x2, c.y2), c.expected) << c.x1 << "," << c.y1 << " " << c.x2 << "," << c.y2;
        EXPECT_EQ(LineAlone(c.x2, c.y2, c.x1, c.y1), c.expected) << "reversed";
    }
}

TEST_F(ScreenTest, LineUsesTheDrawingColour)
{
    SetColor(Green);
    Line(0, 0, 9, 0);
    for (int x = 0; x <= 9; ++x)
        EXPECT_EQ(GetPixel(x, 0), Green);
    EXPECT_EQ(GetPixel(10, 0), 0);
}

// A line that leaves the screen lights exactly the on-screen part of the
// same line drawn fully inside it and moved back.
TEST_F(ScreenTest, LinesAreClippedAtEveryEdge)
{
    struct Case {
        int x1, y1, x2, y2, dx, dy; // (dx, dy) moves the line inside
    } cases[] = {
        {-30, 7, 20, 19, 100, 0},      // left
        {600, 100, 700, 120, -100, 0}, // right
        {50, -40, 61, 30, 0, 100},     // top
        {300, 450, 290, 530, 0, -100}, // bottom
        {-10, -10, 10, 10, 50, 50},    // top left corner
        {630, 470, 650, 490, -50, -50}, // bottom right corner
        {-7, 200, 30, 190, 10, 0},     // shallow, leaving at the left
        {610, 3, 660, -9, -30, 20},    // shallow, leaving right and top
    };
    for (const Case &c : cases) {
        const Pixels clipped = LineAlone(c.x1, c.y1, c.x2, c.y2);
        const Pixels inside = LineAlone(c.x1 + c.dx, c.y1 + c.dy, c.x2 + c.dx, c.y2 + c.dy);
        EXPECT_FALSE(clipped.empty());
        EXPECT_EQ(clipped, Shifted(inside, -c.dx, -c.dy)) << c.x1 << "," << c.y1 << " " << c.x2 << "," << c.y2;
    }
    EXPECT_EQ(LineAlone(-5, 300, 700, 310).size(), 640u);
    EXPECT_EQ(LineAlone(320, -20, 330, 500).size(), 480u);
}

TEST_F(ScreenTest, FarAwayEndsAreClippedQuickly)
{
    EXPECT_EQ(LineAlone(-2000000000, 5, 2000000000, 5).size(), 640u);
    EXPECT_EQ(LineAlone(7, -2147483647, 7, 2147483647).size(), 480u);
    EXPECT_TRUE(LineAlone(-2000000000, -5, 2000000000, -5).empty());
    const Pixels steep = LineAlone(-2147483647, -2147483647, 2147483647, 2147483647);
    EXPECT_EQ(steep.size(), 480u);
    EXPECT_TRUE(steep.count({0, 0}) && steep.count({479, 479}));
}

TEST_F(ScreenTest, CircleOutlines)
{
    EXPECT_TRUE(CircleAlone(50, 50, 0).empty());
    EXPECT_TRUE(CircleAlone(50, 50, -3).empty());
    EXPECT_EQ(CircleAlone(50, 50, 1), (Pixels{{50, 50}}));
    const Pixels two = {{50, 48}, {50, 52}, {48, 50}, {52, 50}, {49, 48}, {51, 48}, {49, 52}, {51, 52},
                        {48, 49}, {48, 51}, {52, 49}, {52, 51}};
    EXPECT_EQ(CircleAlone(50, 50, 2), two);
    for (int radius : {3, 5, 10, 37, 100}) {
        const Pixels ring = CircleAlone(200, 200, radius);
        for (const auto &p : ring) {
            const int x = p.first - 200, y = p.second - 200;
            EXPECT_LT(std::fabs(std::hypot(x, y) - radius), 1.0) << radius;
            // Eight-fold symmetric.
            for (auto q : std::vector<std::pair<int, int>>{{-x, y}, {x, -y}, {y, x}, {-y, -x}})
                EXPECT_TRUE(ring.count({200 + q.first, 200 + q.second})) << radius;
            // Closed: every pixel has a neighbour on the outline.
            int neighbours = 0;
            for (int ny = -1; ny <= 1; ++ny)
                for (int nx = -1; nx <= 1; ++nx)
                    neighbours += (nx || ny) && ring.count({p.first + nx, p.second + ny});
            EXPECT_GE(neighbours, 2) << radius;
        }
        EXPECT_FALSE(ring.count({200, 200}));
    }
}

TEST_F(ScreenTest, CirclesAreClippedAtEveryEdge)
{
    const Pixels whole = CircleAlone(300, 200, 40);
    struct Case {
        int x, y;
    } centres[] = {{10, 200}, {630, 200}, {300, 5}, {300, 470}, {0, 0}, {639, 479}, {-39, 100}};
    for (const Case &c : centres)
        EXPECT_EQ(CircleAlone(c.x, c.y, 40), Shifted(whole, c.x - 300, c.y - 200)) << c.x << "," << c.y;
    EXPECT_TRUE(CircleAlone(320, 240, 2000000000).empty());
    EXPECT_TRUE(CircleAlone(-100, -100, 50).empty());
}

TEST_F(ScreenTest, PixelsKeepTheirColourAndOutsideIsBlank)
{
    for (int colour = 0; colour < ScreenColours; ++colour) {
        PutPixel(colour, 0, colour);
        EXPECT_EQ(GetPixel(colour, 0), colour);
    }
    PutPixel(0, 1, 17); // the low four bits count
    EXPECT_EQ(GetPixel(0, 1), 1);
    PutPixel(-1, 0, White);
    PutPixel(640, 0, White);
    PutPixel(0, -1, White);
    PutPixel(0, 480, White);
    EXPECT_EQ(GetPixel(-1, 0), 0);
    EXPECT_EQ(GetPixel(640, 479), 0);
    EXPECT_EQ(GetPixel(0, 480), 0);
    EXPECT_EQ(LitPixels().size(), 16u); // colours 1 to 15 and the one at (0, 1)
}

TEST_F(ScreenTest, TextFillsItsCellsWithTheGlyphs)
{
    SetColor(Yellow);
    OutTextXY(16, 24, "Ab");
    for (int k = 0; k < 2; ++k) {
        const uint8_t *glyph = GlyphOf(static_cast<unsigned char>("Ab"[k]));
        for (int row = 0; row < 8; ++row)
            for (int column = 0; column < 8; ++column) {
                const bool dot = glyph[row] & (0x80 >> column);
                EXPECT_EQ(GetPixel(16 + 8 * k + column, 24 + row), dot ? Yellow : 0) << k << " " << row << " " << column;
            }
    }
    Pixels lit = LitPixels();
    for (const auto &p : lit) {
        EXPECT_GE(p.first, 16);
        EXPECT_LT(p.first, 32);
        EXPECT_GE(p.second, 24);
        EXPECT_LT(p.second, 32);
    }
}

TEST_F(ScreenTest, TextDrawsOnlyItsDotsAndIsClipped)
{
    SetColor(Green);
    Line(0, 100, 639, 100);
    SetColor(White);
    OutTextXY(0, 96, "H\x01H");
    // The background of the cells stays as it was.
    EXPECT_EQ(GetPixel(2, 100), Green);
    // A character without a glyph draws nothing but takes its cell.
    for (int x = 8; x < 16; ++x)
        EXPECT_EQ(GetPixel(x, 97), 0);
    ClearDevice();
    OutTextXY(-4, -3, "M");
    OutTextXY(636, 477, "M");
    const uint8_t *m = GlyphOf('M');
    for (int row = 0; row < 8; ++row)
        for (int column = 0; column < 8; ++column) {
            const bool dot = m[row] & (0x80 >> column);
            const int x = column - 4, y = row - 3;
            if (x >= 0 && y >= 0) {
                EXPECT_EQ(GetPixel(x, y), dot ? White : 0);
            }
            if (636 + column < 640 && 477 + row < 480) {
                EXPECT_EQ(GetPixel(636 + column, 477 + row), dot ? White : 0);
            }
        }
    OutTextXY(2000000000, 5, std::string(300, 'W'));
    OutTextXY(-2000000000, 5, std::string(300, 'W'));
}

TEST(Font, EveryPrintableCharacterHasItsOwnGlyph)
{
    std::set<std::vector<uint8_t>> seen;
    for (int c = 33; c < 127; ++c) {
        const uint8_t *glyph = GlyphOf(static_cast<unsigned char>(c));
        std::vector<uint8_t> rows(glyph, glyph + 8);
        EXPECT_NE(rows, std::vector<uint8_t>(8, 0)) << char(c);
        EXPECT_TRUE(seen.insert(rows).second) << "glyph of " << char(c) << " repeats another";
    }
    const uint8_t *blank = GlyphOf(' ');
    for (int row = 0; row < 8; ++row)
        EXPECT_EQ(blank[row], 0);
}

TEST_F(ScreenTest, PaletteColours)
{
    struct Case {
        int colour;
        RgbColour rgb;
    } cases[] = {
        {Black, {0, 0, 0}},           {Green, {0, 168, 0}},         {LightGray, {168, 168, 168}},
        {Yellow, {252, 252, 84}},     {White, {252, 252, 252}},     {1, {0, 0, 168}},
        {4, {168, 0, 0}},             {6, {168, 84, 0}},            {8, {84, 84, 84}},
    };
    for (const Case &c : cases) {
        const RgbColour shown = ShownColour(c.colour);
        EXPECT_EQ(shown.red, c.rgb.red) << c.colour;
        EXPECT_EQ(shown.green, c.rgb.green) << c.colour;
        EXPECT_EQ(shown.blue, c.rgb.blue) << c.colour;
    }
}

TEST_F(ScreenTest, BackgroundColourChangesTheShownBackgroundOnly)
{
    PutPixel(1, 1, White);
    SetBkColor(1);
    EXPECT_EQ(ShownColour(0).blue, 168);
    EXPECT_EQ(GetPixel(0, 0), 0) << "the background stays colour 0";
    ClearDevice();
    EXPECT_EQ(GetPixel(1, 1), 0);
    SetBkColor(Black);
    EXPECT_EQ(ShownColour(0).blue, 0);
}

// Line input and the key test over a pipe on standard input.
class StandardInputTest : public ::testing::Test {
protected:
    StandardInputPipe input;
    void SetUp() override { ASSERT_TRUE(OpenStandardInputPipe(input)); }
    void TearDown() override { CloseStandardInputPipe(input); }
    void Type(const std::string &text)
    {
        ASSERT_EQ(write(input.writer, text.data(), text.size()), ssize_t(text.size()));
    }
    void EndInput()
    {
        close(input.writer);
        input.writer = -1;
    }
};

TEST_F(StandardInputTest, KeyPressedLooksWithoutTaking)
{
    EXPECT_FALSE(KeyPressed());
    Type("p\n");
    EXPECT_TRUE(KeyPressed());
    EXPECT_TRUE(KeyPressed());
    EXPECT_EQ(ReadInputLine(3), "p");
    EXPECT_FALSE(KeyPressed());
    EndInput();
    EXPECT_FALSE(KeyPressed()) << "the end of input is no key";
}

TEST_F(StandardInputTest, LinesAreCutAndTheirEndsDropped)
{
    Type("f12345\nab\r\n\nlast");
    EndInput();
    EXPECT_EQ(ReadInputLine(3), "f12");
    EXPECT_EQ(ReadInputLine(3), "ab");
    EXPECT_EQ(ReadInputLine(3), "");
    EXPECT_EQ(ReadInputLine(3), "las");
    EXPECT_EQ(ReadInputLine(3), "");
}

TEST_F(StandardInputTest, LineInputSharesTheNumberReadersBuffer)
{
    Type("12.5 7\np\n");
    EndInput();
    EXPECT_DOUBLE_EQ(ReadReal(StandardInput), 12.5);
    EXPECT_EQ(ReadInteger(StandardInput), 7);
    SkipLine(StandardInput);
    EXPECT_TRUE(KeyPressed());
    EXPECT_EQ(ReadInputLine(255), "p");
}

TEST(Delay, SleepsAboutThatLong)
{
    // Only a lower bound: a loaded machine may sleep longer.
    const auto start = std::chrono::steady_clock::now();
    Delay(30);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(29));
    Delay(0);
    Delay(-5);
}
