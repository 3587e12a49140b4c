// How the frame buffer is shown: through SDL2 in a window (X11 or
// Wayland), full screen at a Linux text console (KMS/DRM), or not at all.
// Internal to the screen layer.
#pragma once

const int DisplayOffscreen = 0;
const int DisplayWindow = 1;
const int DisplayConsole = 2;

struct DisplayChoice {
    int kind;    // DisplayOffscreen, DisplayWindow or DisplayConsole
    bool forced; // named by KALIDOR_DISPLAY: a failure to open is reported
};

// The display to use, from KALIDOR_DISPLAY (offscreen, window, console) or,
// without it, from the environment: a window when DISPLAY or
// WAYLAND_DISPLAY is set, the console when standard output is a virtual
// console and a DRM device can be opened, off-screen otherwise.
DisplayChoice ChooseDisplay();

// Opens a window or the console (kind DisplayWindow or DisplayConsole);
// false when it cannot be opened, and nothing stays open then.
bool OpenDisplay(int kind);
// Closes what OpenDisplay opened, if anything; the console is given back.
void CloseDisplay();
// True while a window or the console shows the frame buffer.
bool DisplayShown();

// Notes that the frame buffer or the palette changed; the display catches
// up at once when it has not done so for a short while.
void MarkScreenChanged();
// Shows the frame buffer now when it changed, and answers the window
// system's requests (exposure, closing).  Key events stay queued.
void ServiceDisplay();
// True when a key press waits in the display's queue (nothing is taken).
bool DisplayKeyWaiting();
// Takes the next key from the display's queue: a printable character,
// '\n' for Enter, '\b' for Backspace; -1 when no key waits.  Other keys
// are taken and passed over; Ctrl+C interrupts the program as it would at
// the terminal.
int NextDisplayKey();

// When an ending signal is being held back (it is while the display is
// open or the beeper sounds): silences the beeper, closes the display and
// lets the signal end the program.  Called wherever the layer waits.
void EndOnHeldSignal();
