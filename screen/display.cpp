#include "display.h"

#include <SDL.h>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

#include "framebuffer.h"
#include "signalend.h"

namespace {

// The window never grows beyond this factor, nor beyond nine tenths of
// the usable desktop.
const int MaxWindowScale = 4;
// Changes are shown at least this often while drawing goes on.
const Uint32 PresentInterval = 30;

struct {
    SDL_Window *window = nullptr;
    SDL_Renderer *renderer = nullptr;
    SDL_Texture *texture = nullptr;
    bool videoStarted = false;
    bool changed = false;
    Uint32 lastPresent = 0;
    std::string pendingText; // typed characters not yet taken
    bool signalsDeferred = false; // an ending signal waits for the text screen
} display;

bool EnvironmentSet(const char *name)
{
    const char *value = std::getenv(name);
    return value != nullptr && *value != '\0';
}

// A virtual console (/dev/ttyN or /dev/console) on standard output.
bool StandardOutputIsConsole()
{
    if (!isatty(1))
        return false;
    const char *name = ttyname(1);
    if (name == nullptr)
        return false;
    if (std::strcmp(name, "/dev/console") == 0)
        return true;
    if (std::strncmp(name, "/dev/tty", 8) != 0 || name[8] == '\0')
        return false;
    for (const char *c = name + 8; *c != '\0'; ++c)
        if (*c < '0' || *c > '9')
            return false;
    return true;
}

bool DrmDeviceUsable()
{
    for (int card = 0; card < 8; ++card) {
        const std::string path = "/dev/dri/card" + std::to_string(card);
        if (access(path.c_str(), R_OK | W_OK) == 0)
            return true;
    }
    return false;
}

// The desktop video drivers worth trying: only those whose display is
// named, so that a missing one is not tried (and does not complain).
std::string DesktopDrivers()
{
    std::string drivers;
    if (EnvironmentSet("DISPLAY"))
        drivers = "x11";
    if (EnvironmentSet("WAYLAND_DISPLAY"))
        drivers += drivers.empty() ? "wayland" : ",wayland";
    return drivers;
}

int WindowScale()
{
    SDL_Rect usable;
    if (SDL_GetDisplayUsableBounds(0, &usable) != 0)
        return 1;
    int scale = usable.w * 9 / 10 / ScreenWidth;
    const int byHeight = usable.h * 9 / 10 / ScreenHeight;
    if (byHeight < scale)
        scale = byHeight;
    if (scale > MaxWindowScale)
        scale = MaxWindowScale;
    return scale < 1 ? 1 : scale;
}

bool CreateWindowAndRenderer(int kind)
{
    Uint32 flags = SDL_WINDOW_SHOWN;
    int width = ScreenWidth, height = ScreenHeight;
    if (kind == DisplayConsole) {
        flags |= SDL_WINDOW_FULLSCREEN_DESKTOP;
    } else {
        const int scale = WindowScale();
        width *= scale;
        height *= scale;
    }
    display.window = SDL_CreateWindow("kalidor", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, width, height, flags);
    if (display.window == nullptr)
        return false;
    display.renderer = SDL_CreateRenderer(display.window, -1, 0);
    if (display.renderer == nullptr)
        return false;
    // Whole-factor scaling with black borders keeps every screen pixel a
    // square block of equal size.
    SDL_RenderSetLogicalSize(display.renderer, ScreenWidth, ScreenHeight);
    SDL_RenderSetIntegerScale(display.renderer, SDL_TRUE);
    display.texture = SDL_CreateTexture(display.renderer, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STREAMING,
                                        ScreenWidth, ScreenHeight);
    if (display.texture == nullptr)
        return false;
    if (kind == DisplayConsole)
        SDL_ShowCursor(SDL_DISABLE);
    SDL_StartTextInput();
    return true;
}

void PresentFrameBuffer()
{
    Uint32 colours[ScreenColours];
    for (int c = 0; c < ScreenColours; ++c) {
        const RgbColour rgb = ShownColour(c);
        colours[c] = 0xFF000000u | Uint32(rgb.red) << 16 | Uint32(rgb.green) << 8 | rgb.blue;
    }
    void *pixels;
    int pitch;
    if (SDL_LockTexture(display.texture, nullptr, &pixels, &pitch) == 0) {
        for (int y = 0; y < ScreenHeight; ++y) {
            Uint32 *row = reinterpret_cast<Uint32 *>(static_cast<unsigned char *>(pixels) + y * pitch);
            for (int x = 0; x < ScreenWidth; ++x)
                row[x] = colours[FrameBuffer[y][x]];
        }
        SDL_UnlockTexture(display.texture);
    }
    SDL_SetRenderDrawColor(display.renderer, 0, 0, 0, 255);
    SDL_RenderClear(display.renderer);
    SDL_RenderCopy(display.renderer, display.texture, nullptr, nullptr);
    SDL_RenderPresent(display.renderer);
    display.changed = false;
    display.lastPresent = SDL_GetTicks();
}

// Handles the window system's events and drops those of no use (mouse,
// key releases, ...), leaving key presses and typed text queued.
void HandleWindowEvents()
{
    EndOnHeldSignal();
    SDL_PumpEvents();
    SDL_Event event;
    while (SDL_PeepEvents(&event, 1, SDL_GETEVENT, SDL_WINDOWEVENT, SDL_WINDOWEVENT) == 1) {
        const Uint8 what = event.window.event;
        if (what == SDL_WINDOWEVENT_EXPOSED || what == SDL_WINDOWEVENT_SIZE_CHANGED ||
            what == SDL_WINDOWEVENT_RESTORED || what == SDL_WINDOWEVENT_SHOWN)
            display.changed = true;
    }
    // A request to close the window is passed over: the picture stays until
    // the program closes the graphics screen.
    SDL_FlushEvents(SDL_FIRSTEVENT, SDL_KEYDOWN - 1);
    SDL_FlushEvents(SDL_KEYUP, SDL_TEXTEDITING);
    SDL_FlushEvents(SDL_TEXTINPUT + 1, SDL_LASTEVENT);
}

bool IsModifierKey(SDL_Keycode key)
{
    switch (key) {
    case SDLK_LSHIFT: case SDLK_RSHIFT: case SDLK_LCTRL: case SDLK_RCTRL:
    case SDLK_LALT: case SDLK_RALT: case SDLK_LGUI: case SDLK_RGUI:
    case SDLK_CAPSLOCK: case SDLK_NUMLOCKCLEAR: case SDLK_SCROLLLOCK: case SDLK_MODE:
        return true;
    default:
        return false;
    }
}

} // namespace

DisplayChoice ChooseDisplay()
{
    const char *forced = std::getenv("KALIDOR_DISPLAY");
    if (forced != nullptr) {
        if (std::strcmp(forced, "offscreen") == 0)
            return {DisplayOffscreen, true};
        if (std::strcmp(forced, "window") == 0)
            return {DisplayWindow, true};
        if (std::strcmp(forced, "console") == 0)
            return {DisplayConsole, true};
    }
    if (EnvironmentSet("DISPLAY") || EnvironmentSet("WAYLAND_DISPLAY"))
        return {DisplayWindow, false};
    if (StandardOutputIsConsole() && DrmDeviceUsable())
        return {DisplayConsole, false};
    return {DisplayOffscreen, false};
}

bool OpenDisplay(int kind)
{
    if (display.videoStarted)
        CloseDisplay();
    if (kind != DisplayWindow && kind != DisplayConsole)
        return false;
    // A window needs a desktop; without one SDL would try other drivers.
    if (kind == DisplayWindow && !EnvironmentSet("DISPLAY") && !EnvironmentSet("WAYLAND_DISPLAY"))
        return false;
    // Ctrl+C at the terminal ends the program as usual instead of becoming
    // an SDL quit event.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "nearest");
    SDL_SetHint(SDL_HINT_VIDEODRIVER, kind == DisplayConsole ? "kmsdrm" : DesktopDrivers().c_str());
    // While the display is open an ending signal waits until the text
    // screen is given back (closing SDL is no work for a signal handler).
    DeferEndingSignals();
    display.signalsDeferred = true;
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        CloseDisplay();
        return false;
    }
    display.videoStarted = true;
    if (!CreateWindowAndRenderer(kind)) {
        CloseDisplay();
        return false;
    }
    display.pendingText.clear();
    PresentFrameBuffer();
    HandleWindowEvents();
    return true;
}

void CloseDisplay()
{
    if (display.texture != nullptr)
        SDL_DestroyTexture(display.texture);
    if (display.renderer != nullptr)
        SDL_DestroyRenderer(display.renderer);
    if (display.window != nullptr)
        SDL_DestroyWindow(display.window);
    display.texture = nullptr;
    display.renderer = nullptr;
    display.window = nullptr;
    display.pendingText.clear();
    if (display.videoStarted) {
        // Quitting the video subsystem gives the console back (DRM master,
        // keyboard mode) and drops queued events.
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        display.videoStarted = false;
    }
    if (display.signalsDeferred) {
        display.signalsDeferred = false;
        ResumeEndingSignals(); // a signal held meanwhile ends the program here
    }
}

bool DisplayShown() { return display.texture != nullptr; }

void MarkScreenChanged()
{
    display.changed = true;
    if (DisplayShown() && SDL_GetTicks() - display.lastPresent >= PresentInterval)
        ServiceDisplay();
}

void ServiceDisplay()
{
    if (!DisplayShown())
        return;
    HandleWindowEvents();
    if (display.changed)
        PresentFrameBuffer();
}

bool DisplayKeyWaiting()
{
    if (!DisplayShown())
        return false;
    if (!display.pendingText.empty())
        return true;
    HandleWindowEvents();
    SDL_Event events[64];
    const int count = SDL_PeepEvents(events, 64, SDL_PEEKEVENT, SDL_KEYDOWN, SDL_TEXTINPUT);
    for (int i = 0; i < count; ++i) {
        if (events[i].type == SDL_TEXTINPUT)
            return true;
        if (events[i].type == SDL_KEYDOWN && !IsModifierKey(events[i].key.keysym.sym))
            return true;
    }
    return false;
}

int NextDisplayKey()
{
    if (!DisplayShown())
        return -1;
    for (;;) {
        if (!display.pendingText.empty()) {
            const unsigned char c = display.pendingText[0];
            display.pendingText.erase(0, 1);
            return c;
        }
        SDL_Event event;
        if (SDL_PeepEvents(&event, 1, SDL_GETEVENT, SDL_KEYDOWN, SDL_TEXTINPUT) != 1)
            return -1;
        if (event.type == SDL_TEXTINPUT) {
            // Only printable ASCII: the font and the dialogue know no more.
            for (const char *c = event.text.text; *c != '\0'; ++c)
                if (*c >= 32 && *c < 127)
                    display.pendingText.push_back(*c);
            continue;
        }
        if (event.type != SDL_KEYDOWN)
            continue;
        const SDL_Keycode key = event.key.keysym.sym;
        if (key == SDLK_RETURN || key == SDLK_KP_ENTER)
            return '\n';
        if (key == SDLK_BACKSPACE)
            return '\b';
        // At the console the keyboard belongs to the display while the
        // picture is shown, so Ctrl+C must still reach the program.
        if (key == SDLK_c && (event.key.keysym.mod & KMOD_CTRL) != 0)
            std::raise(SIGINT);
    }
}
