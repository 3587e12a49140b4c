// A picture with every colour, lines, circles, text and the four corner
// pixels, drawn by the display check's program and by its screenshot
// reader alike.
#pragma once
#include "screen.h"

inline void DrawTestPicture()
{
    for (int colour = 1; colour < ScreenColours; ++colour) {
        SetColor(colour);
        Line(20 + 30 * colour, 20, 20 + 30 * colour, 120);
        Line(20, 130 + 5 * colour, 620, 140 + 5 * colour);
        Circle(40 * colour, 300, colour + 4);
    }
    SetColor(Yellow);
    OutTextXY(100, 400, "Perioda: 12.345 d");
    SetColor(Green);
    OutTextXY(100, 420, "{[(~`'\"@#$%^&*)]}|\\/?!");
    PutPixel(0, 0, 1);
    PutPixel(639, 0, 4);
    PutPixel(0, 479, LightGray);
    PutPixel(639, 479, White);
}
