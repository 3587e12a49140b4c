// The frame buffer of the screen layer: one colour number (0 to 15) per
// pixel, row by row from the top.  Internal to the screen layer.
#pragma once
#include <cstdint>

#include "screen.h"

extern uint8_t FrameBuffer[ScreenHeight][ScreenWidth];
