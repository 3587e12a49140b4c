// The graphics screen and console operations of kalidor.
//
// The screen is a frame buffer of 640 x 480 pixels holding colour numbers
// 0 to 15 of the standard 16-colour palette.  Every drawing operation writes
// into it and GetPixel reads from it, so pictures and hard copies are the
// same whether or not the screen is shown.  It is shown through SDL2: in a
// window on a desktop (X11 or Wayland), full screen at a Linux text console
// (KMS/DRM), or not at all (off-screen).  KALIDOR_DISPLAY=offscreen, window
// or console forces one of them.
//
// Coordinates are pixels, (0, 0) at the top left, x to the right, y down.
// Everything drawn outside the screen is clipped.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

const int ScreenWidth = 640;
const int ScreenHeight = 480;
const int ScreenColours = 16;

// Driver and mode numbers of InitGraph.
const int DetectDriver = 0;
const int VgaDriver = 9;
const int VgaHighMode = 2; // 640 x 480, 16 colours

// GraphResult codes.
const int GraphOk = 0;
const int GraphNotInitialised = -1;
const int GraphNotDetected = -2;
const int GraphInvalidMode = -10;

// The colour numbers that the programs use.
const int Black = 0;
const int Green = 2;
const int LightGray = 7;
const int Yellow = 14;
const int White = 15;

struct RgbColour {
    uint8_t red, green, blue;
};

// Sets the layer up once, before the program's first output: decides how
// the screen will be shown and takes the list of modes that detection
// chooses from.  Registers an exit hook that closes a shown screen.  Calling
// it again does nothing.  The operations below call it when it has not run.
void InitGraphicsLayer();

// Opens the graphics screen.  Driver DetectDriver picks the best mode of
// the list (the only one: VgaDriver, VgaHighMode) and writes both back;
// those two reopen it.  On success the screen is black, the drawing colour
// is White, the background colour Black and GraphResult is GraphOk.  The
// path plays no part.  When the display cannot be opened, or the driver or
// mode is unknown, GraphResult tells why, and the first drawing or palette
// operation then ends the program with a message.
void InitGraph(int &driver, int &mode, const char *path);
// The result of the last InitGraph (GraphNotInitialised before any).
int GraphResult();
// Closes the graphics screen; the frame buffer keeps its content but the
// display shows text again.
void CloseGraph();
// The name of the display in use while open: "offscreen", "window" or
// "console"; "" when closed.
const char *DisplayKind();

// Fills the whole screen with the background colour (number 0).
void ClearDevice();
// Largest x and y of the screen (639 and 479).
int GetMaxX();
int GetMaxY();
// Colour for lines, circles and text from now on (its low four bits).
void SetColor(int colour);
int GetColor();
// Background colour: the palette entry 0 is shown as this colour; pixels
// keep their numbers, so the background stays colour 0.
void SetBkColor(int colour);
int GetBkColor();
// The colour that a pixel of this number is shown in (the background
// colour for number 0).
RgbColour ShownColour(int colour);

// Solid line in the drawing colour, both end points included.
void Line(int x1, int y1, int x2, int y2);
// One pixel in the given colour.
void PutPixel(int x, int y, int colour);
// Colour number of the pixel; 0 outside the screen.
int GetPixel(int x, int y);
// Circle outline in the drawing colour; radius 1 sets the centre pixel
// only, radius 0 or less draws nothing.
void Circle(int x, int y, int radius);
// Text in the drawing colour with the 8 x 8 font; the top left corner of
// the first character cell at (x, y), each character 8 pixels further
// right.  Only the dots of the characters are drawn.
void OutTextXY(int x, int y, const std::string &text);

// Console beeper on at the frequency, and off; only when standard output
// is a terminal, and a refusal of the terminal is ignored.  A frequency of
// 0 or less, or one too high for the tone divisor, is silence.
void Sound(int hertz);
void NoSound();
// Sleeps for the milliseconds given; a shown screen stays responsive.
void Delay(int milliseconds);

// True when a byte is waiting on standard input or a key press is waiting
// in the display's queue; takes neither.
bool KeyPressed();
// Reads one line without its end from standard input or, while the screen
// is shown in a window or at the console, from the keys typed into it as
// well (Enter ends the line, Backspace takes back a character).  At most
// maxLength characters are kept, the rest of the line is dropped.  At the
// end of standard input the characters gathered so far are returned.
std::string ReadInputLine(std::size_t maxLength);
